#include "RPOut.h"

#include "Language.h"
#include "SBTabSheet.h"

RPOut::RPOut(const char* label) : Fl_Output(0, 0, W, H) {
  copy_label(gettext(label ? label : "", 0));
  align(FL_ALIGN_LEFT);
  box(FL_PLASTIC_DOWN_BOX);
  deactivate();
}

void RPOut::placeOnTabSheet(SBTabSheet* sheet) {
  if (!sheet) return;
  sheet->add(this);
  resize(sheet->w() / 3, sheet->nextTxtField(h()), PLACED_W, h());
  show();
}
