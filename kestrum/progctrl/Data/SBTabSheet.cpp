#include "SBTabSheet.h"

#include <cstring>

#include "SBTabs.h"

SBTabSheet::SBTabSheet(SBTabs* tabs, const char* name, const char* help)
    : Fl_Group(tabs->x(), tabs->y() + TAB_ROW_H, tabs->w(), tabs->h() - TAB_ROW_H),
      _txtFields(0),
      _numFields(0),
      _help(nullptr) {
  // The fields are added one by one; nothing else may land on the sheet.
  end();
  copy_label(name ? name : "");
  if (!help) help = "";
  _help = new char[strlen(help) + 1];
  strcpy(_help, help);
  tabs->add(this);
  tabs->showHelp(_help);
}

SBTabSheet::~SBTabSheet() { delete[] _help; }

SBTabs* SBTabSheet::tabs() const { return dynamic_cast<SBTabs*>(parent()); }

int SBTabSheet::handle(int event) {
  if (event == FL_SHOW) {
    if (SBTabs* t = tabs()) t->showHelp(_help);
  }
  return Fl_Group::handle(event);
}

int SBTabSheet::nextTxtField(int h) { return y() + 15 + _txtFields++ * h; }

int SBTabSheet::nextNumField(int h) { return y() + 15 + _numFields++ * h; }

void SBTabSheet::placeField(Fl_Widget* field, char list) {
  add(field);
  if (list == 'T')
    field->resize(rightTxtMargin() - TXT_FIELD_W, nextTxtField(field->h()), TXT_FIELD_W,
                  field->h());
  else
    field->resize(rightNumMargin() - NUM_FIELD_W, nextNumField(field->h()), NUM_FIELD_W,
                  field->h());
  field->redraw();
}
