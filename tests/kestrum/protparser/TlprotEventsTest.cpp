#include <gtest/gtest.h>

#include <cstring>

#include "CdrvStrEvt.h"
#include "DiagCapture.h"
#include "TlctrlBootInf.h"
#include "TlctrlBtlReq.h"
#include "TlctrlDldEndEvt.h"
#include "TlctrlStiEvt.h"
#include "TlctrlWaitEvt.h"
#include "TlprotAckEvt.h"
#include "TlprotBootLoadData.h"
#include "TlprotChecksum.h"
#include "TlprotDlrEvt.h"
#include "TlprotNakEvt.h"
#include "TlprotPacknr.h"
#include "TlprotSeeEvt.h"
#include "TlprotSrqEvt.h"
#include "TlprotUpgrData.h"
#include "TlprotUpgradeReq.h"
#include "TlprotUplEndEvt.h"
#include "TlprotUprEvt.h"

// The signal numbers are what the controller and the parser agree on; the
// trace shows an event's values only at the DATA level.
TEST(TlprotEvents, SignalsTraceFlagsAndTracedValues) {
  TlprotSeeEvt* see = new TlprotSeeEvt();
  see->entryNr(7), see->f1data("AB"), see->f2data("0612");
  TlctrlStiEvt* sti = new TlctrlStiEvt();
  sti->prVer = 5, strcpy(sti->softw, "1.23"), strcpy(sti->hardw, "H1.2");
  TlctrlBootInf* inf = new TlctrlBootInf();
  strcpy(inf->type, "TL8888GM-ED");
  const struct { BEvent* e; SignalId sig; bool dbg; const char* traced; } cases[] = {
      {new TlprotAckEvt(), 50, false, ""}, {new TlprotUplEndEvt(), 51, true, ""}, {see, 52, true, "entryNr: 7"},
      {new TlprotDlrEvt(), 53, true, ""}, {new TlprotNakEvt(), 55, true, ""}, {new TlprotSrqEvt(), 56, false, ""},
      {new TlprotUprEvt(), 57, true, ""}, {new TlprotChecksum(200), 58, true, "checksum=200"},
      {new TlprotPacknr(9), 60, true, "nr=9"}, {new TlprotUpgradeReq(), 63, true, ""},
      {new TlprotUpgrData(), 64, true, ""}, {new TlprotBootLoadData(), 65, true, ""},
      {new TlctrlDldEndEvt(), 51, true, ""}, {sti, 54, true, "1.23"}, {new TlctrlWaitEvt(), 56, true, ""},
      {new TlctrlBtlReq(), 57, true, ""}, {inf, 58, true, "TL8888GM-ED"}, {new CdrvStrEvt(), 51, true, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.e->signalId(), c.sig);
    EXPECT_EQ(c.e->evtdbg(), c.dbg) << int(c.sig);
    DiagCapture cap;
    c.e->printData(0x0001);
    EXPECT_EQ(cap.remote, "");
    c.e->printData(0x0002);
    EXPECT_TRUE(cap.has(c.traced)) << cap.remote;
    c.e->destroy();
  }
}

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
