#include <gtest/gtest.h>

#include <memory>

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
#include "TlprotSignals.h"
#include "TlprotSrqEvt.h"
#include "TlprotUpgrData.h"
#include "TlprotUpgradeReq.h"
#include "TlprotUplEndEvt.h"
#include "TlprotUprEvt.h"

namespace {

struct Owned {
  BEvent* e;
  explicit Owned(BEvent* ev) : e(ev) {}
  ~Owned() { e->destroy(); }
};

}  // namespace

TEST(TlprotEvents, SignalsAndDebugFlagsOfTheCatalogue) {
  struct { BEvent* e; SignalId sig; bool dbg; } cases[] = {
      {new TlprotAckEvt(), 50, false},   {new TlprotUplEndEvt(), 51, true},
      {new TlprotSeeEvt(), 52, true},    {new TlprotDlrEvt(), 53, true},
      {new TlprotNakEvt(), 55, true},    {new TlprotSrqEvt(), 56, false},
      {new TlprotUprEvt(), 57, true},    {new TlprotChecksum(), 58, true},
      {new TlprotPacknr(), 60, true},    {new TlprotUpgradeReq(), 63, true},
      {new TlprotUpgrData(), 64, true},  {new TlprotBootLoadData(), 65, true},
      {new TlctrlDldEndEvt(), 51, true}, {new TlctrlStiEvt(), 54, true},
      {new TlctrlWaitEvt(), 56, true},   {new TlctrlBtlReq(), 57, true},
      {new TlctrlBootInf(), 58, true},   {new CdrvStrEvt(), 51, true},
  };
  for (auto& c : cases) {
    Owned o(c.e);
    EXPECT_EQ(c.e->signalId(), c.sig);
    EXPECT_EQ(c.e->evtdbg(), c.dbg) << static_cast<int>(c.sig);
  }
}

TEST(TlprotEvents, SeeEvtOwnsBoundedCopiesOfItsTexts) {
  TlprotSeeEvt* e = new TlprotSeeEvt();
  Owned o(e);
  EXPECT_EQ(e->entryNr(), 0);
  EXPECT_EQ(e->f1data(), nullptr);
  EXPECT_EQ(e->f2data(), nullptr);
  char text[] = "abcdef";
  e->f1data(text, 3);
  text[0] = 'X';
  EXPECT_STREQ(e->f1data(), "abc");
  e->f1data("ab", 10);
  EXPECT_STREQ(e->f1data(), "ab");
  e->f2data("0612345678");
  EXPECT_STREQ(e->f2data(), "0612345678");
  e->f2data(nullptr);
  EXPECT_STREQ(e->f2data(), "");
}

TEST(TlprotEvents, ConvertF1TurnsSlashesBothWays) {
  TlprotSeeEvt* e = new TlprotSeeEvt();
  Owned o(e);
  e->f1data("C:/a/b");
  e->convertF1('/', '\\');
  EXPECT_STREQ(e->f1data(), "C:\\a\\b");
  e->convertF1('\\', '/');
  EXPECT_STREQ(e->f1data(), "C:/a/b");
  TlprotSeeEvt* empty = new TlprotSeeEvt();
  Owned o2(empty);
  empty->convertF1('/', '\\');
}

TEST(TlprotEvents, SeeEvtPrintsItsFieldsOnlyWithData) {
  TlprotSeeEvt* e = new TlprotSeeEvt();
  Owned o(e);
  e->entryNr(7);
  e->f1data("AB");
  e->f2data("1");
  DiagCapture cap;
  e->printData(0x0001);
  EXPECT_EQ(cap.remote, "");
  e->printData(0x0002);
  EXPECT_TRUE(cap.has(";virtual void TlprotSeeEvt::printData(DebugLevel) const\n"));
  EXPECT_TRUE(cap.has(";seeEvt::entryNr: 7\n"));
  EXPECT_TRUE(cap.has(";seeEvt::_f1data : \"AB\"\n"));
  EXPECT_TRUE(cap.has(";seeEvt::_f2data : \"1\"\n"));
}

TEST(TlprotEvents, StiEvtPrintsEveryField) {
  TlctrlStiEvt* e = new TlctrlStiEvt();
  Owned o(e);
  e->prVer = 5;
  strcpy(e->softw, "1.23");
  DiagCapture cap;
  e->printData(0xFFFF);
  EXPECT_TRUE(cap.has(";stiEvt::prVer    : 5\n"));
  EXPECT_TRUE(cap.has(";stiEvt::nrEntries: 0\n"));
  EXPECT_TRUE(cap.has(";stiEvt::softw    : 1.23\n"));
  EXPECT_TRUE(cap.has(";stiEvt::hardw    : \n"));
}

TEST(TlprotEvents, SingleValueEventsPrintTheirValue) {
  DiagCapture cap;
  TlprotPacknr* p = new TlprotPacknr(9);
  Owned o(p);
  p->printData(0x0002);
  EXPECT_TRUE(cap.has("virtual void TlprotPacknr::printData(DebugLevel) const nr=9"));
  TlprotChecksum* c = new TlprotChecksum(200);
  Owned o2(c);
  c->printData(0x0002);
  EXPECT_TRUE(cap.has("checksum=200"));
}

TEST(TlprotEvents, DataEventsKeepAtMostTheirCapacity) {
  std::vector<uint8_t> big(5000, 0x42);
  TlprotUpgrData* u = new TlprotUpgrData();
  Owned o(u);
  EXPECT_EQ(u->assign(big.data(), big.size()), 128u);
  EXPECT_EQ(u->nrBytes(), 128);
  TlprotBootLoadData* b = new TlprotBootLoadData();
  Owned o2(b);
  EXPECT_EQ(b->assign(big.data(), big.size()), 2048u);
  CdrvStrEvt* s = new CdrvStrEvt(big.data(), big.size());
  Owned o3(s);
  EXPECT_EQ(s->nrBytes, 2048);
}

TEST(TlprotEvents, CdrvStrEvtShowsControlBytesAsHex) {
  const unsigned char bytes[] = {0x01, 'A', 0x22, 0x7F, 0x80, 0xFF};
  CdrvStrEvt* s = new CdrvStrEvt(bytes, sizeof bytes);
  Owned o(s);
  DiagCapture cap;
  s->printData(0x0002);
  EXPECT_TRUE(cap.has(";virtual void CdrvStrEvt::printData(DebugLevel) const\n"));
  EXPECT_TRUE(cap.has(";nrBytes=6\n"));
  EXPECT_TRUE(cap.has(";data=\"~01~A\"\x7f~80~~ff~\"\n")) << cap.remote;
}

TEST(TlprotEvents, CdrvStrEvtPrintOfAFullBufferIsBounded) {
  std::vector<uint8_t> big(2048, 0x01);
  CdrvStrEvt* s = new CdrvStrEvt(big.data(), big.size());
  Owned o(s);
  DiagCapture cap;
  s->printData(0x0002);
  EXPECT_LT(cap.remote.size(), 8192u + 200u);
  EXPECT_TRUE(cap.has("~01~\"\n"));
}
