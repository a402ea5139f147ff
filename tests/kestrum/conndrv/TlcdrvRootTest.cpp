#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "DiagCapture.h"
#include "PtyPair.h"
#include "Serial.h"
#include "TempDir.h"
#include "kestrum/protparser/LinkHarness.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const Bytes kEntry7 = {0x01, 0x04, 0x09, 0x02, 0x07, 0x22, 0x41, 0x42, 0x22, 0x2C, 0x22, 0x31, 0x22, 0x03, 0x82};
const Bytes kStatusReq = {0x01, 0x00, 0x00, 0x02, 0x03, 0x06};

// The driver alone, between stand-ins for the controller and the parser.
struct DriverTest : ::testing::Test {
  PtyPair pty;
  LinkSystem sys{false, true};
  DiagCapture cap;

  // A main loop that watches the port (what it waits on is the serial tests' concern).
  void SetUp() override { TlcdrvRoot::portWatch([](int, bool) {}); }
  void TearDown() override { TlcdrvRoot::portWatch(nullptr); }
  std::vector<Received>& toParser() { return sys.main->protLog; }
  std::vector<Received>& toCtrl() { return sys.main->ctrlLog; }
  void write(const Bytes& b) {
    sys.main->prot->send(new CdrvStrEvt(b.data(), b.size()), CONN_DRV);
    sys.run(20);
  }
  bool unitArrives(size_t count) { return sys.pump([&] { return toParser().size() >= count; }, 1000); }
  bool watched() const { return TlcdrvRoot::serial()->watched(); }
  void traceLow() { sys.main->ctrl->child(0)->debugLevel(0x0040); }
};

}  // namespace

// (Both parents sharing the one driver is what every driver test runs on.)
TEST(TlcdrvRoot, DriverGoesWithTheLastBindingAndLeavesNothingToRead) {
  {
    LinkSystem sys(false, true);
    EXPECT_EQ(TlcdrvRoot::instNr(), 2u);
  }
  EXPECT_EQ(TlcdrvRoot::instNr(), 0u);
  EXPECT_EQ(TlcdrvRoot::serial(), nullptr);
  TlcdrvRoot::readCom();
}

TEST_F(DriverTest, ChosenPortCarriesBothWaysAndAnotherChoiceClosesIt) {
  traceLow();
  sys.choosePort(pty.slave);
  ASSERT_EQ(toCtrl().size(), 1u);
  EXPECT_EQ(toCtrl()[0].sig, CDRV_ERROR);
  EXPECT_EQ(toCtrl()[0].error, CdrvErrorEvt::CDRV_CLEAR_COM_NOT_OPEN);
  EXPECT_TRUE(TlcdrvRoot::portOpen());
  EXPECT_TRUE(watched());
  EXPECT_TRUE(cap.has("TlcdrvRoot::portSettings result=1 port=\"" + pty.slave + "\" (Tlcdrv:"));
  write(kStatusReq);
  EXPECT_EQ(pty.receive(), kStatusReq);
  // The poll timer reads the port without the main loop.
  EXPECT_TRUE(TlcdrvRoot::portPollTmr()->armed());
  pty.send(kEntry7);
  waitUntil([&] { return BScheduler::step(), !toParser().empty(); }, 2000, 1);
  ASSERT_EQ(toParser().size(), 1u);
  EXPECT_EQ(toParser()[0].sig, CDRV_STRING);
  EXPECT_EQ(toParser()[0].from, CONN_DRV);
  EXPECT_EQ(toParser()[0].bytes, kEntry7);
  EXPECT_TRUE(cap.has("01 04 09 02 07 22 41 42 22 2c 22 31 22 03 82 "));  // the reader's trace
  PtyPair other;
  sys.choosePort(other.slave);
  ASSERT_EQ(toCtrl().size(), 2u);
  EXPECT_EQ(toCtrl()[1].error, CdrvErrorEvt::CDRV_CLEAR_COM_NOT_OPEN);
  EXPECT_TRUE(watched());
  pty.send(kEntry7);
  sys.run(100);
  EXPECT_EQ(toParser().size(), 1u);
  other.send(kEntry7);
  EXPECT_TRUE(unitArrives(2));
  EXPECT_FALSE(cap.has("Unsuccessful"));
}

TEST_F(DriverTest, PortsThatCannotBeUsedAreReportedWithTheirReason) {
  TlcdrvRoot::readCom();
  write({0x06});
  EXPECT_TRUE(cap.has("Assertion failed: _actComPort != NULL _actComPort:  undefined."));
  EXPECT_TRUE(cap.has("Unsuccessful result event=51"));
  sys.choosePort(pty.slave);
  sys.choosePort("/dev/kestrum-no-such-port");
  ASSERT_EQ(toCtrl().size(), 2u);
  EXPECT_EQ(toCtrl()[1].error, CdrvErrorEvt::CDRV_SET_COM_NOT_OPEN);
  EXPECT_NE(toCtrl()[1].reason.find("No such file"), std::string::npos);
  EXPECT_FALSE(TlcdrvRoot::portOpen());
  EXPECT_FALSE(watched());
  EXPECT_TRUE(cap.has("Assertion failed: result Unsuccessful result event=50"));
  write({0x06});
  EXPECT_TRUE(cap.has("Assertion failed: _portOpen cdrvString: port /dev/kestrum-no-such-port is not open."));
  EXPECT_EQ(toCtrl().size(), 2u);  // no new report
}

// A write does not end a frame half received: its rest comes first, so the
// loop still waits for that; with nothing half received any byte wakes it.
TEST_F(DriverTest, WriteWhileAFrameIsHalfReceivedLosesNeitherItNorTheReply) {
  sys.choosePort(pty.slave);
  pty.send(Bytes(kEntry7.begin(), kEntry7.begin() + 6));
  ASSERT_TRUE(waitUntil([] { return TlcdrvRoot::serial()->getNbrOfBytes() == 6; }, 2000, 1));
  sys.run(10);
  EXPECT_TRUE(TlcdrvRoot::unitArriving());
  EXPECT_EQ(TlcdrvRoot::serial()->wakeThreshold(), static_cast<int>(kEntry7.size() - 6));
  write({0x15});
  EXPECT_EQ(TlcdrvRoot::serial()->wakeThreshold(), static_cast<int>(kEntry7.size() - 6));
  Bytes rest(kEntry7.begin() + 6, kEntry7.end());
  rest.insert(rest.end(), kEntry7.begin(), kEntry7.end());
  pty.send(rest);
  ASSERT_TRUE(unitArrives(2));
  EXPECT_EQ(toParser()[0].bytes, kEntry7);
  EXPECT_EQ(toParser()[1].bytes, kEntry7);
  EXPECT_FALSE(TlcdrvRoot::unitArriving());
  write({0x06});
  EXPECT_EQ(TlcdrvRoot::serial()->wakeThreshold(), 1);
}

TEST_F(DriverTest, UnpluggedPortIsReportedOnceAndOpenedAgainWhenTheDeviceIsBack) {
  // A device reached through a link, as /dev/serial/by-id names a USB adapter.
  TempDir dir(TempDir::ShortPath);
  std::string link = dir.path() + "/tty";
  std::unique_ptr<PtyPair> device(new PtyPair());
  ASSERT_EQ(symlink(device->slave.c_str(), link.c_str()), 0);
  traceLow();
  sys.choosePort(link);
  ASSERT_TRUE(TlcdrvRoot::portOpen());
  device->hangUp();
  TlcdrvRoot::portReadable();
  EXPECT_FALSE(watched());
  EXPECT_TRUE(cap.has("TlcdrvRoot::portReadable port \"" + link + "\" hung up (Tlcdrv:"));
  device.reset();
  unlink(link.c_str());
  ASSERT_TRUE(sys.pump([&] { return toCtrl().size() >= 2; }));
  EXPECT_EQ(toCtrl()[1].error, CdrvErrorEvt::CDRV_SET_COM_NOT_OPEN);
  EXPECT_EQ(toCtrl()[1].reason, "the device hung up the line");
  EXPECT_FALSE(TlcdrvRoot::portOpen());
  EXPECT_FALSE(watched());
  EXPECT_TRUE(cap.has("lost: the device hung up the line"));
  // Still away: each write tries again, the reason is told once.
  write(kStatusReq);
  write(kStatusReq);
  EXPECT_EQ(cap.remote.find("cannot be opened"), cap.remote.rfind("cannot be opened"));
  EXPECT_TRUE(cap.has("does not exist: is the device connected"));
  EXPECT_EQ(toCtrl().size(), 2u);
  // Back on the same path: the next write finds it.
  PtyPair back;
  ASSERT_EQ(symlink(back.slave.c_str(), link.c_str()), 0);
  write(kStatusReq);
  EXPECT_TRUE(TlcdrvRoot::portOpen());
  EXPECT_TRUE(watched());
  ASSERT_EQ(toCtrl().size(), 3u);
  EXPECT_EQ(toCtrl()[2].error, CdrvErrorEvt::CDRV_CLEAR_COM_NOT_OPEN);
  EXPECT_EQ(back.receive(), kStatusReq);
  EXPECT_TRUE(cap.has("is open again"));
  back.send(kEntry7);
  EXPECT_TRUE(unitArrives(1));
}
