#include "CdrvErrorEvt.h"

#include "BDiag.h"
#include "TlcdrvSignals.h"

CdrvErrorEvt::CdrvErrorEvt(CdrvError error) : BBindingEvent(CDRV_ERROR, true), _error(error) {}

void CdrvErrorEvt::printData(DebugLevel level) const {
  if (!(level & DBG_DATA)) return;
  BDiag::print("virtual void CdrvErrorEvt::printData(DebugLevel) const");
  std::string line = "error=" + std::to_string(static_cast<int>(_error));
  if (!_reason.empty()) line += " reason=\"" + _reason + "\"";
  BDiag::print(line);
}
