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
