#include "TlctrlStiEvt.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlctrlStiEvt::TlctrlStiEvt()
    : BBindingEvent(TLPROT_REP_STATUS_INFO, true), prVer(0), extraStat(0), totalNrEntries(0) {
  type[0] = softw[0] = special[0] = hardw[0] = '\0';
}

void TlctrlStiEvt::printData(DebugLevel level) const {
  if (!(level & DBG_DATA)) return;
  BDiag::print("virtual void TlctrlStiEvt::printData(DebugLevel) const");
  BDiag::print("stiEvt::prVer    : " + std::to_string(prVer));
  BDiag::print("stiEvt::extraStat: " + std::to_string(extraStat));
  BDiag::print("stiEvt::nrEntries: " + std::to_string(totalNrEntries));
  BDiag::print(std::string("stiEvt::type     : ") + type);
  BDiag::print(std::string("stiEvt::softw    : ") + softw);
  BDiag::print(std::string("stiEvt::special  : ") + special);
  BDiag::print(std::string("stiEvt::hardw    : ") + hardw);
}
