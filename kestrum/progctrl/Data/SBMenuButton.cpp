#include "SBMenuButton.h"

#include "SBEntry.h"
#include "SBField.h"
#include "SBTabSheet.h"
#include "SettingBin.h"

SBMenuButton::SBMenuButton(SBEntry* sbEntry, SettingBin* settingBin)
    : Fl_Menu_Button(0, 0, SBField::INIT_W, SBField::INIT_H),
      _sbEntry(sbEntry),
      _settingBin(settingBin) {
  SBField::prepare(this, _sbEntry);
  textsize(SBField::TEXT_SIZE);
  align(FL_ALIGN_LEFT);
  for (int i = 0; i < _sbEntry->nrMenuItems(); i++)
    add(SBField::menuText(_sbEntry->menuItem(i, false)).c_str(), 0, nullptr, nullptr,
        FL_MENU_RADIO);
  if (_settingBin) {
    SettingBin::SettingEntry* e = _settingBin->getEntry(static_cast<uint8_t>(_sbEntry->entry()));
    int index = _sbEntry->menuItem(_sbEntry->list() == 'T' ? e->text : e->tfnr, true);
    if (index < _sbEntry->nrMenuItems()) {
      value(index);
      // A radio item shows its mark only when set. The menu's own setonly
      // stays inside the item array; the item's would look before its start.
      Fl_Menu_Item* item = const_cast<Fl_Menu_Item*>(menu() + index);
      setonly(item);
      copy_tooltip(_sbEntry->menuItem(index, false));
    }
  }
  callback(chosenCb);
}

SBMenuButton::~SBMenuButton() { delete _sbEntry; }

void SBMenuButton::placeOnTabSheet(SBTabSheet* sheet) {
  sheet->placeField(this, _sbEntry->list());
}

int SBMenuButton::handle(int event) {
  if (event == FL_PUSH) SBField::showHelp(this, _sbEntry);
  return Fl_Menu_Button::handle(event);
}

void SBMenuButton::chosenCb(Fl_Widget* w, void*) { static_cast<SBMenuButton*>(w)->chosen(); }

void SBMenuButton::chosen() {
  int index = value();
  copy_tooltip(_sbEntry->menuItem(index, false));
  SBField::storeChoice(_settingBin, _sbEntry, _sbEntry->menuItem(index, true));
}
