#ifndef SBCHOICE_H
#define SBCHOICE_H

#include <FL/Fl_Choice.H>

class SBEntry;
class SBTabSheet;
class SettingBin;

// A settings field that offers the entry's items in a drop-down choice.
class SBChoice : public Fl_Choice {
public:
  // Takes ownership of sbEntry.
  SBChoice(SBEntry* sbEntry, SettingBin* settingBin);
  ~SBChoice() override;

  int handle(int event) override;
  void placeOnTabSheet(SBTabSheet* sheet);

  SBEntry* sbEntry() const { return _sbEntry; }

private:
  static void chosenCb(Fl_Widget* w, void*);
  void chosen();

  SBEntry* _sbEntry;
  SettingBin* _settingBin;
};

#endif
