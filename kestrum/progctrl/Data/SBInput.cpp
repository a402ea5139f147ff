#include "SBInput.h"

#include <cstring>
#include <string>

#include "Language.h"

#include "SBEntry.h"
#include "SBField.h"
#include "SBTabSheet.h"
#include "SettingBin.h"

SBInput::SBInput(SBEntry* sbEntry, SettingBin* settingBin)
    : Fl_Input(0, 0, SBField::INIT_W, SBField::INIT_H), _sbEntry(sbEntry), _settingBin(settingBin) {
  SBField::prepare(this, _sbEntry);
  textsize(SBField::TEXT_SIZE);
  box(FL_PLASTIC_DOWN_BOX);
  if (_sbEntry->entryType() == SBEntry::NUM_INPUT_TYPE) type(FL_INT_INPUT);
  if (_settingBin) {
    SettingBin::SettingEntry* e = _settingBin->getEntry(static_cast<uint8_t>(_sbEntry->entry()));
    // The field shows exactly what is stored, so what is seen is what is
    // saved and programmed. The configured default is named in the tooltip;
    // typing it stores it.
    value(_sbEntry->list() == 'T' ? e->text : e->tfnr);
  }
  if (_sbEntry->defaultEntry()[0] != '\0') {
    _tip = std::string(gettext("Standaard waarde", 0)) + ": " + _sbEntry->defaultEntry();
    tooltip(_tip.c_str());
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
  // The value is copied: setting the input below frees the text typed.
  std::string typed = value();
  int pos = position();
  bool text = _sbEntry->list() == 'T';
  if (text)
    _settingBin->setEntry(nr, typed.c_str(), nullptr, false, _sbEntry->entryType());
  else
    _settingBin->setEntry(nr, nullptr, typed.c_str(), false, _sbEntry->entryType());
  const char* stored = text ? _settingBin->getEntry(nr)->text : _settingBin->getEntry(nr)->tfnr;
  if (typed == stored) return;
  // Refused characters (typed or pasted) vanish at once; the cursor stays
  // behind the characters before it that were kept.
  bool (*allowed)(char) = text ? SettingBin::allowedChar : SettingBin::allowedNumChar;
  int kept = 0;
  for (int i = 0; i < pos && i < static_cast<int>(typed.size()); i++)
    if (allowed(typed[i])) kept++;
  value(stored);
  int len = size();
  position(kept < len ? kept : len);
}
