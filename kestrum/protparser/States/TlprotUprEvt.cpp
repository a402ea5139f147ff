#include "TlprotUprEvt.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlprotUprEvt::TlprotUprEvt() : BBindingEvent(TLPROT_UPLOAD_REQUEST, true) {}

void TlprotUprEvt::printData(DebugLevel level) const {
  if (level & DBG_DATA) BDiag::print("virtual void TlprotUprEvt::printData(DebugLevel) const");
}
