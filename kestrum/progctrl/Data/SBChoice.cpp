#include "SBChoice.h"

#include "SBEntry.h"
#include "SBField.h"
#include "SBTabSheet.h"
#include "SettingBin.h"

SBChoice::SBChoice(SBEntry* sbEntry, SettingBin* settingBin)
    : Fl_Choice(0, 0, SBField::INIT_W, SBField::INIT_H), _sbEntry(sbEntry), _settingBin(settingBin) {
  SBField::prepare(this, _sbEntry);
  textsize(SBField::TEXT_SIZE);
  down_box(FL_PLASTIC_DOWN_BOX);
  for (int i = 0; i < _sbEntry->nrMenuItems(); i++)
    add(SBField::menuText(_sbEntry->menuItem(i, false)).c_str(), 0, nullptr, nullptr, 0);
  if (_settingBin) {
    SettingBin::SettingEntry* e = _settingBin->getEntry(static_cast<uint8_t>(_sbEntry->entry()));
    int index = _sbEntry->menuItem(_sbEntry->list() == 'T' ? e->text : e->tfnr, true);
    if (index < _sbEntry->nrMenuItems()) value(index);
  }
  callback(chosenCb);
}

SBChoice::~SBChoice() { delete _sbEntry; }

void SBChoice::placeOnTabSheet(SBTabSheet* sheet) { sheet->placeField(this, _sbEntry->list()); }

int SBChoice::handle(int event) {
  if (event == FL_PUSH) SBField::showHelp(this, _sbEntry);
  return Fl_Choice::handle(event);
}

void SBChoice::chosenCb(Fl_Widget* w, void*) { static_cast<SBChoice*>(w)->chosen(); }

void SBChoice::chosen() {
  SBField::storeChoice(_settingBin, _sbEntry, _sbEntry->menuItem(value(), true));
}
