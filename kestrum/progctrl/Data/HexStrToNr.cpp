#include "HexStrToNr.h"

#include <cstring>

const char* HexStrToNr::UPPER = "123456789ABCDEF";
const char* HexStrToNr::LOWER = "123456789abcdef";

int HexStrToNr::digit(char c) {
  if (c == '\0') return 0;
  const char* p = strchr(UPPER, c);
  if (p) return static_cast<int>(p - UPPER) + 1;
  p = strchr(LOWER, c);
  if (p) return static_cast<int>(p - LOWER) + 1;
  return 0;
}

uint32_t HexStrToNr::convert(const char* text) const {
  uint32_t value = 0;
  if (!text) return value;
  // Each character weighs 16 to the power of its distance from the end.
  for (const char* p = text; *p; ++p) value = value * 16u + static_cast<uint32_t>(digit(*p));
  return value;
}
