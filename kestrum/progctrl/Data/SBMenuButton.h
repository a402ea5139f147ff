#ifndef SBMENUBUTTON_H
#define SBMENUBUTTON_H

#include <FL/Fl_Menu_Button.H>

class SBEntry;
class SBTabSheet;
class SettingBin;

// A settings field that offers the entry's items as radio items of a menu
// button; the button's tooltip names the chosen item.
class SBMenuButton : public Fl_Menu_Button {
public:
  // Takes ownership of sbEntry.
  SBMenuButton(SBEntry* sbEntry, SettingBin* settingBin);
  ~SBMenuButton() override;

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
