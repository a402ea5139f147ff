#include "SBField.h"

#include <FL/Fl_Group.H>
#include <FL/Fl_Widget.H>

#include "SBEntry.h"
#include "SBTabs.h"

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
