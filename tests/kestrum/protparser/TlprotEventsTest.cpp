#include <gtest/gtest.h>

#include "CdrvStrEvt.h"
#include "DiagCapture.h"
#include "TlprotBootLoadData.h"
#include "TlprotSeeEvt.h"
#include "TlprotUpgrData.h"

TEST(TlprotEvents, EventsKeepBoundedCopiesOfTheirData) {
  TlprotSeeEvt see;
  see.convertF1('/', '\\');
  EXPECT_EQ(see.f1data(), nullptr);
  char text[] = "abcdef";
  see.f1data(text, 3);
  text[0] = 'X';
  EXPECT_STREQ(see.f1data(), "abc");
  see.f1data("C:/a/b", 10);
  see.convertF1('/', '\\');
  EXPECT_STREQ(see.f1data(), "C:\\a\\b");
  see.f2data(nullptr);
  EXPECT_STREQ(see.f2data(), "");
  std::vector<uint8_t> big(5000, 0x01);
  EXPECT_EQ(TlprotUpgrData().assign(big.data(), big.size()), 128u);
  EXPECT_EQ(TlprotBootLoadData().assign(big.data(), big.size()), 2048u);
  CdrvStrEvt s(big.data(), big.size());
  EXPECT_EQ(s.nrBytes, 2048);
  // Control bytes are traced as hex, within the trace's line.
  DiagCapture cap;
  s.printData(0x0002);
  EXPECT_LT(cap.remote.size(), 8192u + 200u);
  EXPECT_TRUE(cap.has("nrBytes=2048"));
  EXPECT_TRUE(cap.has("data=\"~01~~01~"));
  const unsigned char edges[] = {0x1F, 0x20, 0x7F, 0x80};
  CdrvStrEvt(edges, 4).printData(0x0002);
  EXPECT_TRUE(cap.has("data=\"~1f~ \x7f~80~\"")) << cap.remote;
}
