#include "TlprotPacknr.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlprotPacknr::TlprotPacknr(uint8_t value) : BBindingEvent(TLPROT_PACKNR, true), _nr(value) {}

void TlprotPacknr::printData(DebugLevel level) const {
  if (level & DBG_DATA)
    BDiag::print("virtual void TlprotPacknr::printData(DebugLevel) const nr=" +
                 std::to_string(_nr));
}
