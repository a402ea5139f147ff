#ifndef TESTFRAME_H
#define TESTFRAME_H

#include <cstdint>
#include <string>
#include <vector>

#include "TlWire.h"

typedef std::vector<unsigned char> Bytes;

// A frame as the device sends it: SOH type length STX data ETX checksum.
inline Bytes frame(uint8_t type, const std::string& data) {
  Bytes f = {0x01, type, static_cast<unsigned char>(data.size()), 0x02};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(0x03);
  f.push_back(TlWire::checksum(f.data(), f.size()));
  return f;
}

#endif
