#include "SBInputChoice.h"

#include "SBEntry.h"
#include "SBField.h"
#include "SBTabSheet.h"
#include "SettingBin.h"

SBInputChoice::SBInputChoice(SBEntry* sbEntry, SettingBin* settingBin)
    : KesInputChoice(0, 0, SBField::INIT_W, SBField::INIT_H),
      _sbEntry(sbEntry),
      _settingBin(settingBin) {
  SBField::prepare(this, _sbEntry);
  textsize(SBField::TEXT_SIZE);
  box(FL_PLASTIC_DOWN_BOX);
  for (int i = 0; i < _sbEntry->nrMenuItems(); i++) add(_sbEntry->menuItem(i, false));
  if (_settingBin) {
    SettingBin::SettingEntry* e = _settingBin->getEntry(static_cast<uint8_t>(_sbEntry->entry()));
    int index = _sbEntry->menuItem(_sbEntry->list() == 'T' ? e->text : e->tfnr, true);
    if (index < _sbEntry->nrMenuItems()) value(index);
  }
  callback(chosenCb);
}

SBInputChoice::~SBInputChoice() { delete _sbEntry; }

void SBInputChoice::placeOnTabSheet(SBTabSheet* sheet) {
  sheet->placeField(this, _sbEntry->list());
}

int SBInputChoice::handle(int event) {
  if (event == FL_PUSH || event == FL_FOCUS) SBField::showHelp(this, _sbEntry);
  return KesInputChoice::handle(event);
}

void SBInputChoice::chosenCb(Fl_Widget* w, void*) { static_cast<SBInputChoice*>(w)->chosen(); }

void SBInputChoice::chosen() {
  SBField::storeChoice(_settingBin, _sbEntry, _sbEntry->menuItem(value(), true));
}
