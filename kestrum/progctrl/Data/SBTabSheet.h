#ifndef SBTABSHEET_H
#define SBTABSHEET_H

#include <FL/Fl_Group.H>

class SBTabs;

// One tab of the settings form. Fields are stacked in two columns: the
// entries' texts on the left, their numbers on the right.
class SBTabSheet : public Fl_Group {
public:
  // Fills the tab area below the 25-pixel tab row; adds itself to tabs and
  // shows its help page. name and help are copied.
  SBTabSheet(SBTabs* tabs, const char* name, const char* help);
  ~SBTabSheet() override;

  int handle(int event) override;

  // y of the next field of height h in the text / number column.
  int nextTxtField(int h);
  int nextNumField(int h);
  int rightTxtMargin() const { return (w() - 15) / 2; }
  int leftTxtMargin() const { return x() + 15; }
  int rightNumMargin() const { return w() - 15; }
  int leftNumMargin() const { return w() / 2 + 15; }

  const char* help() const { return _help; }
  int txtFields() const { return _txtFields; }
  int numFields() const { return _numFields; }
  // The form this sheet belongs to; null when it is not on one.
  SBTabs* tabs() const;

  // Places a field of list 'T' or 'N' in its column.
  void placeField(Fl_Widget* field, char list);

  static const int TAB_ROW_H = 25;
  static const int TXT_FIELD_W = 180;
  static const int NUM_FIELD_W = 164;

private:
  int _txtFields;
  int _numFields;
  char* _help;
};

#endif
