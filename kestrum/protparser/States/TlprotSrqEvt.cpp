#include "TlprotSrqEvt.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlprotSrqEvt::TlprotSrqEvt() : BBindingEvent(TLPROT_STATUS_REQUEST, false) {}

void TlprotSrqEvt::printData(DebugLevel level) const {
  if (level & DBG_DATA) BDiag::print("virtual void TlprotSrqEvt::printData(DebugLevel) const");
}
