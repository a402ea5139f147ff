#include "TlctrlBootInf.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlctrlBootInf::TlctrlBootInf() : BBindingEvent(TLPROT_REP_BOOT_INFO, true) {
  type[0] = special[0] = hardw[0] = '\0';
}

void TlctrlBootInf::printData(DebugLevel level) const {
  if (!(level & DBG_DATA)) return;
  BDiag::print("virtual void TlctrlBootInf::printData(DebugLevel) const");
  BDiag::print(std::string("type   : ") + type);
  BDiag::print(std::string("special: ") + special);
  BDiag::print(std::string("hardw  : ") + hardw);
}
