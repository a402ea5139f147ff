#include <gtest/gtest.h>

#include "HexStrToNr.h"

TEST(HexStrToNrTest, BothCasesCount) {
  HexStrToNr h;
  EXPECT_EQ(0x00abu, h.convert("00ab"));
  EXPECT_EQ(0xABCDu, h.convert("AbcD"));
  EXPECT_EQ(0xffffu, h.convert("ffff"));
}

TEST(HexStrToNrTest, OtherCharactersCountZeroButKeepTheirPlace) {
  HexStrToNr h;
  EXPECT_EQ(0x10u, h.convert("1z"));
  EXPECT_EQ(0x101u, h.convert("1g1"));
  EXPECT_EQ(0u, h.convert(""));
  EXPECT_EQ(0u, h.convert(nullptr));
}
