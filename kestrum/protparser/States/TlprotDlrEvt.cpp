#include "TlprotDlrEvt.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlprotDlrEvt::TlprotDlrEvt() : BBindingEvent(TLPROT_DOWNLOAD_REQUEST, true) {}

void TlprotDlrEvt::printData(DebugLevel level) const {
  if (level & DBG_DATA) BDiag::print("virtual void TlprotDlrEvt::printData(DebugLevel) const");
}
