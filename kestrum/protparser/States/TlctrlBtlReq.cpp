#include "TlctrlBtlReq.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlctrlBtlReq::TlctrlBtlReq() : BBindingEvent(TLPROT_REP_BTL_REQ, true) {}

void TlctrlBtlReq::printData(DebugLevel level) const {
  if (level & DBG_DATA) BDiag::print("virtual void TlctrlBtlReq::printData(DebugLevel) const");
}
