#include "CdrvStrEvt.h"

#include <cstdio>
#include <cstring>

#include "BDiag.h"
#include "TlcdrvSignals.h"

CdrvStrEvt::CdrvStrEvt() : BBindingEvent(CDRV_STRING, true), nrBytes(0) {}

CdrvStrEvt::CdrvStrEvt(const void* bytes, size_t n) : BBindingEvent(CDRV_STRING, true), nrBytes(0) {
  assign(bytes, n);
}

size_t CdrvStrEvt::assign(const void* bytes, size_t n) {
  if (n > MAXDATA) n = MAXDATA;
  if (n && bytes) memcpy(data, bytes, n);
  nrBytes = static_cast<uint16_t>(bytes ? n : 0);
  return nrBytes;
}

void CdrvStrEvt::printData(DebugLevel level) const {
  if (!(level & DBG_DATA)) return;
  BDiag::print("virtual void CdrvStrEvt::printData(DebugLevel) const");
  BDiag::print("nrBytes=" + std::to_string(nrBytes));
  // The rendered line is bounded like the buffer it was made for.
  const size_t maxLine = 8192 - 1;
  std::string line = "data=\"";
  size_t n = nrBytes <= MAXDATA ? nrBytes : MAXDATA;
  for (size_t i = 0; i < n && line.size() + 4 <= maxLine - 1; ++i) {
    uint8_t b = static_cast<uint8_t>(data[i]);
    if (b < 0x20 || b >= 0x80) {
      char hex[8];
      snprintf(hex, sizeof hex, "~%02x~", b);
      line += hex;
    } else {
      line += static_cast<char>(b);
    }
  }
  line += "\"";
  BDiag::print(line);
}
