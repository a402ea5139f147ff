#include "TlctrlWaitEvt.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlctrlWaitEvt::TlctrlWaitEvt() : BBindingEvent(TLPROT_REP_WAIT, true) {}

void TlctrlWaitEvt::printData(DebugLevel level) const {
  if (level & DBG_DATA) BDiag::print("virtual void TlctrlWaitEvt::printData(DebugLevel) const");
}
