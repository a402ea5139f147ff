#include "CdrvPortSetEvt.h"

#include "BDiag.h"
#include "TlcdrvSignals.h"

CdrvPortSetEvt::CdrvPortSetEvt(const char* comPort)
    : BBindingEvent(CDRV_PORT_SETTINGS, true), _comPort(comPort) {}

void CdrvPortSetEvt::printData(DebugLevel level) const {
  if (!(level & DBG_DATA)) return;
  BDiag::print("virtual void CdrvPortSetEvt::printData(DebugLevel) const");
  BDiag::print(std::string("comPort=\"") + (_comPort ? _comPort : "") + "\"");
}
