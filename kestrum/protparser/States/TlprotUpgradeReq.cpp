#include "TlprotUpgradeReq.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlprotUpgradeReq::TlprotUpgradeReq() : BBindingEvent(TLPROT_UPGRADE_REQ, true) {}

void TlprotUpgradeReq::printData(DebugLevel level) const {
  if (level & DBG_DATA) BDiag::print("virtual void TlprotUpgradeReq::printData(DebugLevel) const");
}
