#include <gtest/gtest.h>

#include "DiagCapture.h"
#include "LinkHarness.h"
#include "TlprotBndToConnDrv.h"
#include "TlprotSignals.h"
#include "TlprotSrqEvt.h"
#include "kestrum/conndrv/PtyPair.h"
#include "TestFrame.h"

namespace {

const Bytes kEntry7 = frame(4, "\x07\"AB\",\"1\"");

// The parser with the driver on a pseudo-terminal; the test is the device.
// Units go straight into the parser: the driver's cutting has tests of its own.
struct ParserTest : ::testing::Test {
  PtyPair pty;
  LinkSystem sys{true, false};
  DiagCapture cap;

  void SetUp() override {
    sys.choosePort(pty.slave);
    ASSERT_EQ(sys.main->ctrlLog.back().error, CdrvErrorEvt::CDRV_CLEAR_COM_NOT_OPEN);
    sys.main->ctrlLog.clear();
  }
  // Hands the unit to the parser; what goes up to the controller.
  std::vector<Received> unit(const Bytes& b) {
    auto* p = dynamic_cast<TlprotBndToConnDrv*>(sys.main->ctrl->child(0)->getState(TlprotBndToConnDrv::TLPROTBNDTOCONNDRV));
    EXPECT_NE(p, nullptr);
    sys.main->ctrlLog.clear();
    CdrvStrEvt* e = new CdrvStrEvt(b.data(), b.size());
    if (p) p->cdrvString(e);
    e->destroy();
    sys.run(20);
    return sys.main->ctrlLog;
  }
  // What the program wrote to the device, for a request of the controller.
  Bytes written(BBindingEvent* request = nullptr) {
    if (request) sys.main->ctrl->send(request, PROT_PARSER);
    Bytes out;
    sys.pump([&] {
      Bytes part = pty.receive(0);
      out.insert(out.end(), part.begin(), part.end());
      return false;
    }, 100);
    return out;
  }
};

}  // namespace

// What the device sends in the controller's runs reaches the controller
// there; what it never sends is checked here.
TEST_F(ParserTest, ReportsOfUnitsTheControllersRunsDoNotSee) {
  auto btl = unit({0x0B});  // a boot loader asks with one byte as well
  ASSERT_EQ(btl.size(), 1u);
  EXPECT_EQ(btl[0].sig, TLPROT_REP_BTL_REQ);
  auto sti = unit(frame(1, std::string("\x05\x03\xC8", 3) + "\"TL8888GM-ED\",\"ABCDEFGHIJKLMNOPQ\",\"SP\",\"H1.2\""));
  ASSERT_EQ(sti.size(), 1u);
  EXPECT_EQ(sti[0].prVer * 10000 + sti[0].extraStat * 1000 + sti[0].nrEntries, 53200);
  EXPECT_EQ(sti[0].type + "|" + sti[0].softw + "|" + sti[0].special + "|" + sti[0].hardw, "TL8888GM-ED|JKLMNOP|SP|H1.2");
  EXPECT_TRUE(unit(frame(13, std::string("\x00", 1) + "H1" + std::string(2, '\0') + "TL88")).empty());
  EXPECT_TRUE(written().empty());
  EXPECT_FALSE(cap.has("Assertion") || cap.has("Exception")) << cap.remote;
}

// The device sends a refused frame again: NAK at most four times in a row.
TEST_F(ParserTest, BadFramesAreAnsweredWithNakUntilTooManyCame) {
  Bytes bad = kEntry7, noSoh = kEntry7;
  bad.back() = 0x83;
  noSoh[0] = 0x00;
  EXPECT_TRUE(unit(bad).empty());
  EXPECT_TRUE(cap.has("Exception: checksum error read:-125 calc:-126")) << cap.remote;
  EXPECT_NE(cap.log.find("kestrum/protparser/States/TlprotBndToConnDrv "), std::string::npos);
  EXPECT_TRUE(unit(noSoh).empty());
  EXPECT_TRUE(cap.has("Exception:  Data does NOT start with SOH"));
  EXPECT_TRUE(unit({0x01, 0x01}).empty());
  EXPECT_EQ(written(), Bytes(3, 0x15));
  unit(bad);
  unit(bad);
  EXPECT_EQ(written(), Bytes{0x15});
  EXPECT_EQ(unit(kEntry7).size(), 1u);
  unit(bad);
  EXPECT_EQ(written(), Bytes{0x15});
}

// The device answers both with its status: nothing above tells them apart.
// (Every other request is checked by the controller's runs with the device.)
TEST_F(ParserTest, StatusRequestAndLifeCheckBecomeTheirFrames) {
  EXPECT_EQ(written(new TlprotSrqEvt()), frame(0, ""));
  EXPECT_EQ(written(new BBindingEvent(TLPROT_LIFE_CHECK, true)), frame(8, ""));
}
