#include "TlprotChecksum.h"

#include "BDiag.h"
#include "TlprotSignals.h"

TlprotChecksum::TlprotChecksum(uint8_t value) : BBindingEvent(TLPROT_CHECKSUM, true), _checkSum(value) {}

void TlprotChecksum::printData(DebugLevel level) const {
  if (level & DBG_DATA)
    BDiag::print("virtual void TlprotChecksum::printData(DebugLevel) const checksum=" +
                 std::to_string(_checkSum));
}
