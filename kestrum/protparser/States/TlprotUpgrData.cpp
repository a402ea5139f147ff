#include "TlprotUpgrData.h"

#include <cstring>

#include "BDiag.h"
#include "TlprotSignals.h"

TlprotUpgrData::TlprotUpgrData() : BBindingEvent(TLPROT_UPGR_DATA, true), _nrBytes(0) {
  memset(_data, 0, sizeof _data);
}

size_t TlprotUpgrData::assign(const void* bytes, size_t n) {
  if (n > MAX || !bytes) n = bytes ? MAX : 0;
  if (n) memcpy(_data, bytes, n);
  _nrBytes = static_cast<uint8_t>(n);
  return n;
}

void TlprotUpgrData::printData(DebugLevel level) const {
  if (level & DBG_DATA)
    BDiag::print("virtual void TlprotUpgrData::printData(DebugLevel) const nrBytes=" +
                 std::to_string(_nrBytes));
}
