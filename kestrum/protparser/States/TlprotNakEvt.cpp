#include "TlprotNakEvt.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlprotNakEvt::TlprotNakEvt() : BBindingEvent(TLPROT_NAK, true) {}

void TlprotNakEvt::printData(DebugLevel level) const {
  if (level & DBG_DATA) BDiag::print("virtual void TlprotNakEvt::printData(DebugLevel) const");
}
