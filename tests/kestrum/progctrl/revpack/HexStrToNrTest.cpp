#include <gtest/gtest.h>

#include "HexStrToNr.h"

// Both cases count; other characters count zero but keep their place.
TEST(HexStrToNrTest, ConvertsHexDigits) {
  HexStrToNr h;
  for (auto c : {std::make_pair("00ab", 0xabu), {"AbcD", 0xABCDu}, {"ffff", 0xffffu}, {"1z", 0x10u},
                 {"1g1", 0x101u}, {"", 0u}})
    EXPECT_EQ(c.second, h.convert(c.first)) << c.first;
  EXPECT_EQ(0u, h.convert(nullptr));
}
