#include "TlprotPacknr1cmpl.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlprotPacknr1cmpl::TlprotPacknr1cmpl(uint8_t value) : BBindingEvent(TLPROT_PACKNR_1CMPL, true), _nr(value) {}

void TlprotPacknr1cmpl::printData(DebugLevel level) const {
  if (level & DBG_DATA)
    BDiag::print("virtual void TlprotPacknr1cmpl::printData(DebugLevel) const nr=" +
                 std::to_string(_nr));
}
