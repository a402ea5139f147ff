#include "TlprotAckEvt.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlprotAckEvt::TlprotAckEvt() : BBindingEvent(TLPROT_ACK, false) {}

void TlprotAckEvt::printData(DebugLevel level) const {
  if (level & DBG_DATA) BDiag::print("virtual void TlprotAckEvt::printData(DebugLevel) const");
}
