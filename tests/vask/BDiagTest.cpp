#include <gtest/gtest.h>

#include "BDiag.h"
#include "DiagCapture.h"

TEST(BDiag, AssertionLineNamesModuleLineConditionAndMessage) {
  DiagCapture cap;
  int line = __LINE__ + 1;
  B_ASSERT(1 == 2, "sig=" << 7);
  EXPECT_EQ(cap.remote, "tests/vask/BDiagTest " + std::to_string(line) +
                            "\nAssertion failed: 1 == 2 sig=7\n");
  EXPECT_EQ(cap.log, "");
}

TEST(BDiag, ExceptionGoesToBothSinksWithTimeStamp) {
  DiagCapture cap;
  B_FATAL_EXCEPTION("Shadow transition already set");
  EXPECT_NE(cap.remote.find("Fatal Exception: Shadow transition already set\n"), std::string::npos);
  EXPECT_EQ(cap.remote, cap.log);
  EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(cap.remote[0])));
}

TEST(BDiag, TimeStampFormat) {
  std::string ts = BDiag::timeStamp();
  ASSERT_EQ(ts.size(), 19u);
  EXPECT_EQ(ts[4], '/');
  EXPECT_EQ(ts[10], '/');
  EXPECT_EQ(ts[13], ':');
}
