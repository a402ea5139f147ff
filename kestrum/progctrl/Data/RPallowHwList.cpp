#include "RPallowHwList.h"

#include "Language.h"
#include "SBTabSheet.h"
#include "SBTabs.h"

const char* RPallowHwList::HELP_PAGE = "TabRevPacks.html";

RPallowHwList::RPallowHwList() : Fl_Output(0, 0, W, H) {
  copy_label(gettext("Allowed Hardware versions: ", 0));
  align(FL_ALIGN_LEFT);
  box(FL_PLASTIC_DOWN_BOX);
  deactivate();
  callback(rpAllowHwListCb);
}

void RPallowHwList::showHelp(Fl_Widget* w) {
  for (Fl_Widget* p = w ? w->parent() : nullptr; p; p = p->parent())
    if (SBTabs* tabs = dynamic_cast<SBTabs*>(p)) {
      tabs->showHelp(HELP_PAGE);
      return;
    }
}

int RPallowHwList::handle(int event) {
  if (event == FL_PUSH) showHelp(this);
  return Fl_Output::handle(event);
}

void RPallowHwList::placeOnTabSheet(SBTabSheet* sheet) {
  if (!sheet) return;
  sheet->add(this);
  resize(sheet->w() / 3, sheet->nextTxtField(h()), W, h());
  show();
}
