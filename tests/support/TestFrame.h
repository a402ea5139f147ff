#ifndef TESTFRAME_H
#define TESTFRAME_H

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<unsigned char> Bytes;

// A frame as the device sends it, built from the wire layout alone: SOH type
// length STX data ETX, then the 8-bit sum of all that.
inline Bytes frame(uint8_t type, const std::string& data) {
  Bytes f = {0x01, type, static_cast<unsigned char>(data.size()), 0x02};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(0x03);
  unsigned sum = 0;
  for (unsigned char b : f) sum += b;
  f.push_back(static_cast<unsigned char>(sum));
  return f;
}

#endif
