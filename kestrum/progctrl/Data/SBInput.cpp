#include "SBInput.h"

#include <cstring>

#include "SBEntry.h"
#include "SBField.h"
#include "SBTabSheet.h"
#include "SettingBin.h"

SBInput::SBInput(SBEntry* sbEntry, SettingBin* settingBin)
    : Fl_Input(0, 0, SBField::INIT_W, SBField::INIT_H), _sbEntry(sbEntry), _settingBin(settingBin) {
  SBField::prepare(this, _sbEntry);
  textsize(SBField::TEXT_SIZE);
  box(static_cast<Fl_Boxtype>(FL_PLASTIC_UP_BOX + 1));
  if (_sbEntry->entryType() == SBEntry::NUM_INPUT_TYPE) type(FL_INT_INPUT);
  if (_settingBin) {
    SettingBin::SettingEntry* e = _settingBin->getEntry(static_cast<uint8_t>(_sbEntry->entry()));
    const char* v = _sbEntry->list() == 'T' ? e->text : e->tfnr;
    // The default is only shown; the entry stays empty until edited.
    if (v[0] == '\0' && _sbEntry->defaultEntry()[0] != '\0') v = _sbEntry->defaultEntry();
    value(v);
  }
  when(FL_WHEN_CHANGED);
  callback(changedCb);
}

SBInput::~SBInput() { delete _sbEntry; }

void SBInput::placeOnTabSheet(SBTabSheet* sheet) { sheet->placeField(this, _sbEntry->list()); }

int SBInput::handle(int event) {
  if (event == FL_FOCUS) SBField::showHelp(this, _sbEntry);
  return Fl_Input::handle(event);
}

void SBInput::changedCb(Fl_Widget* w, void*) { static_cast<SBInput*>(w)->changed(); }

void SBInput::changed() {
  if (!_settingBin) return;
  uint8_t nr = static_cast<uint8_t>(_sbEntry->entry());
  const char* typed = value();
  int pos = position();
  if (_sbEntry->list() == 'T') {
    _settingBin->setEntry(nr, typed, nullptr, false, _sbEntry->entryType());
    const char* stored = _settingBin->getEntry(nr)->text;
    if (strcmp(stored, typed) == 0) return;
    // The cursor stays behind the characters before it that were kept.
    int kept = 0;
    for (int i = 0; i < pos && typed[i]; i++)
      if (SettingBin::allowedChar(typed[i])) kept++;
    value(stored);
    int len = size();
    position(kept < len ? kept : len);
  } else {
    if (_settingBin->setEntry(nr, nullptr, typed, false, _sbEntry->entryType())) return;
    value(_settingBin->getEntry(nr)->tfnr);
    int len = size();
    position(pos < len ? pos : len);
  }
}
