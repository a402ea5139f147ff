#include "RPbtUpgrade.h"

#include "Language.h"
#include "SBTabSheet.h"
#include "kestrum/progctrl/Forms/FrmKestrumImpl.h"

RPbtUpgrade::RPbtUpgrade(FrmKestrumImpl* frmImpl) : Fl_Button(0, 0, W, H), _frmImpl(frmImpl) {
  copy_label(gettext("Upgrade", 0));
  box(FL_PLASTIC_DOWN_BOX);
  callback(rPbtUpgradeCb, this);
}

void RPbtUpgrade::rPbtUpgradeCb(Fl_Widget*, void* data) {
  RPbtUpgrade* self = static_cast<RPbtUpgrade*>(data);
  if (self && self->_frmImpl) self->_frmImpl->btExecUpgrade();
}

void RPbtUpgrade::placeOnTabSheet(SBTabSheet* sheet) {
  if (!sheet) return;
  sheet->add(this);
  // Three empty rows above the button.
  for (int i = 0; i < 3; ++i) sheet->nextTxtField(h());
  resize(sheet->w() / 3, sheet->nextTxtField(h()), PLACED_W, h());
  show();
}
