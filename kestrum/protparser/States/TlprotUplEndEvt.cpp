#include "TlprotUplEndEvt.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlprotUplEndEvt::TlprotUplEndEvt() : BBindingEvent(TLPROT_UPL_END, true) {}

void TlprotUplEndEvt::printData(DebugLevel level) const {
  if (level & DBG_DATA) BDiag::print("virtual void TlprotUplEndEvt::printData(DebugLevel) const");
}
