#include "TlctrlDldEndEvt.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlctrlDldEndEvt::TlctrlDldEndEvt() : BBindingEvent(TLPROT_REP_DLD_END, true) {}

void TlctrlDldEndEvt::printData(DebugLevel level) const {
  if (level & DBG_DATA) BDiag::print("virtual void TlctrlDldEndEvt::printData(DebugLevel) const");
}
