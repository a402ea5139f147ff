#ifndef HEXSTRTONR_H
#define HEXSTRTONR_H

#include <cstdint>

// Turns a hexadecimal text into a number. Digits of either case count; any
// other character counts as zero but keeps its place, so "1z" is 0x10.
class HexStrToNr {
public:
  HexStrToNr() {}
  virtual ~HexStrToNr() {}

  // The value of text (null is 0). Texts of more than eight characters wrap
  // modulo 2^32; callers that need an exact match check the length first.
  uint32_t convert(const char* text) const;
  // The value of one character: 1..15 for 1-9, A-F, a-f; 0 for anything else.
  static int digit(char c);

  static const char* UPPER;
  static const char* LOWER;
};

#endif
