#ifndef SBINPUT_H
#define SBINPUT_H

#include <FL/Fl_Input.H>

#include <string>

class SBEntry;
class SBTabSheet;
class SettingBin;

// A text, telephone or number field of the settings form. Every change goes
// straight into the settings store; what the store refuses vanishes at once.
class SBInput : public Fl_Input {
public:
  // Takes ownership of sbEntry.
  SBInput(SBEntry* sbEntry, SettingBin* settingBin);
  ~SBInput() override;

  int handle(int event) override;
  void placeOnTabSheet(SBTabSheet* sheet);

  SBEntry* sbEntry() const { return _sbEntry; }

private:
  static void changedCb(Fl_Widget* w, void*);
  void changed();

  SBEntry* _sbEntry;
  SettingBin* _settingBin;
  std::string _tip;
};

#endif
