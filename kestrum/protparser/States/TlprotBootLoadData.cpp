#include "TlprotBootLoadData.h"

#include <cstring>

#include "BDiag.h"
#include "TlprotSignals.h"

TlprotBootLoadData::TlprotBootLoadData() : BBindingEvent(TLPROT_BOOTLOAD_DATA, true), _nrBytes(0) {}

size_t TlprotBootLoadData::assign(const void* bytes, size_t n) {
  if (n > MAX || !bytes) n = bytes ? MAX : 0;
  if (n) memcpy(_data, bytes, n);
  _nrBytes = static_cast<uint16_t>(n);
  return n;
}

void TlprotBootLoadData::printData(DebugLevel level) const {
  if (level & DBG_DATA)
    BDiag::print("virtual void TlprotBootLoadData::printData(DebugLevel) const nrBytes=" +
                 std::to_string(_nrBytes));
}
