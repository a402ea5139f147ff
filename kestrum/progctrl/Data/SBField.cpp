#include "SBField.h"

#include <FL/Fl_Group.H>
#include <FL/Fl_Widget.H>

#include "SBEntry.h"
#include "SBTabs.h"
#include "SettingBin.h"

void SBField::prepare(Fl_Widget* field, const SBEntry* entry) {
  field->copy_label(entry ? entry->name() : "");
  field->labelsize(TEXT_SIZE);
}

SBTabs* SBField::formOf(const Fl_Widget* field) {
  for (Fl_Group* g = field ? field->parent() : nullptr; g; g = g->parent())
    if (SBTabs* tabs = dynamic_cast<SBTabs*>(g)) return tabs;
  return nullptr;
}

void SBField::showHelp(const Fl_Widget* field, const SBEntry* entry) {
  SBTabs* tabs = formOf(field);
  if (tabs && entry) tabs->showHelp(entry->help());
}

std::string SBField::menuText(const char* text) {
  std::string escaped;
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == '/' || *p == '\\' || (*p == '_' && p == text) || *p == '&') escaped += '\\';
    escaped += *p;
  }
  return escaped;
}

void SBField::storeChoice(SettingBin* settings, const SBEntry* entry, const char* value) {
  if (!settings || !entry || !value) return;
  uint8_t nr = static_cast<uint8_t>(entry->entry());
  if (entry->list() == 'T')
    settings->setEntry(nr, value, nullptr, false, entry->entryType());
  else
    settings->setEntry(nr, nullptr, value, false, entry->entryType());
}
