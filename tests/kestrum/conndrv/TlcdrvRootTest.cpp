#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "ChildProcess.h"
#include "TempDir.h"
#include "DiagCapture.h"
#include "PtyPair.h"
#include "Serial.h"
#include "kestrum/protparser/LinkHarness.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const Bytes kEntry7 = {0x01, 0x04, 0x09, 0x02, 0x07, 0x22, 0x41, 0x42,
                       0x22, 0x2C, 0x22, 0x31, 0x22, 0x03, 0x82};

// The driver alone, between stand-ins for the controller and the parser.
struct DriverTest : ::testing::Test {
  PtyPair pty;
  LinkSystem sys{false, true};
  DiagCapture cap;

  std::vector<Received>& toParser() { return sys.main->protLog; }
  std::vector<Received>& toCtrl() { return sys.main->ctrlLog; }
  void write(const Bytes& b) {
    sys.main->prot->send(new CdrvStrEvt(b.data(), b.size()), CONN_DRV);
    sys.run(20);
  }
  bool unitArrives(size_t count, int ms = 1000) {
    return sys.pump([&] { return toParser().size() >= count; }, ms);
  }
};

}  // namespace

TEST_F(DriverTest, OneSharedRootServesBothParents) {
  EXPECT_EQ(TlcdrvRoot::instNr(), 2u);
  EXPECT_EQ(sys.main->ctrl->child(0), sys.main->prot->child(0));
  EXPECT_TRUE(sys.main->ctrl->child(0)->isPersistent());
}

TEST_F(DriverTest, ChosenPortIsOpenedAndReported) {
  ASSERT_TRUE(pty.ok());
  sys.choosePort(pty.slave);
  ASSERT_EQ(toCtrl().size(), 1u);
  EXPECT_EQ(toCtrl()[0].sig, CDRV_ERROR);
  EXPECT_EQ(toCtrl()[0].error, CdrvErrorEvt::CDRV_CLEAR_COM_NOT_OPEN);
  EXPECT_TRUE(TlcdrvRoot::portOpen());
  EXPECT_TRUE(toParser().empty());
}

TEST_F(DriverTest, PortThatCannotBeOpenedIsReportedWithItsReason) {
  sys.choosePort("/dev/kestrum-no-such-port");
  ASSERT_EQ(toCtrl().size(), 1u);
  EXPECT_EQ(toCtrl()[0].error, CdrvErrorEvt::CDRV_SET_COM_NOT_OPEN);
  EXPECT_NE(toCtrl()[0].reason.find("No such file"), std::string::npos);
  EXPECT_FALSE(TlcdrvRoot::portOpen());
  EXPECT_TRUE(cap.has("kestrum/conndrv/States/TlcdrvRoot "));
  EXPECT_TRUE(cap.has("Assertion failed: result Unsuccessful result event=50"));
}

TEST_F(DriverTest, WriteBeforeAnyPortWasChosenIsDropped) {
  write({0x06});
  EXPECT_TRUE(cap.has("Assertion failed: _actComPort != NULL _actComPort:  undefined."));
  EXPECT_TRUE(cap.has("Unsuccessful result event=51"));
}

TEST_F(DriverTest, WriteToAPortThatStillCannotOpenIsDropped) {
  sys.choosePort("/dev/kestrum-no-such-port");
  cap.clear();
  write({0x06});
  EXPECT_TRUE(cap.has("Assertion failed: _portOpen cdrvString: port /dev/kestrum-no-such-port is not open."));
  EXPECT_EQ(toCtrl().size(), 1u);  // no new report
}

TEST_F(DriverTest, BytesFromTheParserAreWritten) {
  sys.choosePort(pty.slave);
  write({0x01, 0x00, 0x00, 0x02, 0x03, 0x06});
  EXPECT_EQ(pty.receive(), (Bytes{0x01, 0x00, 0x00, 0x02, 0x03, 0x06}));
  EXPECT_FALSE(cap.has("Unsuccessful"));
}

TEST_F(DriverTest, ReceivedFrameGoesToTheParserOnly) {
  sys.choosePort(pty.slave);
  pty.send(kEntry7);
  ASSERT_TRUE(unitArrives(1));
  EXPECT_EQ(toParser()[0].sig, CDRV_STRING);
  EXPECT_EQ(toParser()[0].from, CONN_DRV);
  EXPECT_EQ(toParser()[0].bytes, kEntry7);
  EXPECT_EQ(toCtrl().size(), 1u);
}

TEST_F(DriverTest, WriteWhileAFrameIsHalfReceivedLosesNeitherItNorTheReply) {
  sys.choosePort(pty.slave);
  pty.send(Bytes(kEntry7.begin(), kEntry7.begin() + 7));
  sys.run(50);
  write({0x15});
  Bytes rest(kEntry7.begin() + 7, kEntry7.end());
  rest.insert(rest.end(), kEntry7.begin(), kEntry7.end());
  pty.send(rest);
  ASSERT_TRUE(unitArrives(2));
  EXPECT_EQ(toParser()[0].bytes, kEntry7);
  EXPECT_EQ(toParser()[1].bytes, kEntry7);
}

TEST_F(DriverTest, PollTimerReadsThePortWithoutTheMainLoop) {
  sys.choosePort(pty.slave);
  EXPECT_TRUE(TlcdrvRoot::portPollTmr()->armed());
  pty.send(kEntry7);
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (toParser().empty() && std::chrono::steady_clock::now() < until) {
    BScheduler::step();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_EQ(toParser().size(), 1u);
  EXPECT_EQ(toParser()[0].bytes, kEntry7);
}

TEST_F(DriverTest, ChoosingAgainClosesTheOldPort) {
  PtyPair other;
  sys.choosePort(pty.slave);
  sys.choosePort(other.slave);
  ASSERT_EQ(toCtrl().size(), 2u);
  EXPECT_EQ(toCtrl()[1].error, CdrvErrorEvt::CDRV_CLEAR_COM_NOT_OPEN);
  pty.send(kEntry7);
  sys.run(100);
  EXPECT_TRUE(toParser().empty());
  other.send(kEntry7);
  EXPECT_TRUE(unitArrives(1));
}

TEST_F(DriverTest, ReadComWithoutAnOpenPortDoesNothing) {
  TlcdrvRoot::readCom();
  sys.run(20);
  EXPECT_TRUE(toParser().empty());
}

TEST(TlcdrvRoot, DriverIsGoneWhenTheLastBindingIsReleased) {
  {
    LinkSystem sys(false, true);
    EXPECT_EQ(TlcdrvRoot::instNr(), 2u);
  }
  EXPECT_EQ(TlcdrvRoot::instNr(), 0u);
  EXPECT_EQ(TlcdrvRoot::serial(), nullptr);
  TlcdrvRoot::readCom();
}

TEST_F(DriverTest, LowLevelTraceFollowsTheReader) {
  BRootState* drv = sys.main->ctrl->child(0);
  drv->debugLevel(0x0040);
  sys.choosePort(pty.slave);
  EXPECT_TRUE(cap.has("TlcdrvRoot::portSettings result=1 port=\"" + pty.slave + "\" (Tlcdrv:"));
  pty.send(kEntry7);
  ASSERT_TRUE(unitArrives(1));
  EXPECT_TRUE(cap.has("-->TlcdrvRoot::readSerialPort bytes read:"));
  EXPECT_TRUE(cap.has("==> msg rcvd == nrBytes:15"));
  EXPECT_TRUE(cap.has("01 04 09 02 07 22 41 42 22 2c 22 31 22 03 82 "));
  write({0x06});
  EXPECT_TRUE(cap.has("bytes written: 1"));
}

namespace {

size_t occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

// A device reached through a link, as /dev/serial/by-id names a USB adapter.
struct LinkedPort {
  TempDir dir{TempDir::ShortPath};
  std::string link = dir.path() + "/tty";
  void pointAt(const std::string& target) {
    unlink(link.c_str());
    EXPECT_EQ(symlink(target.c_str(), link.c_str()), 0);
  }
};

// The driver with a watch hook in place of the toolkit's: which descriptors
// the main loop would wait on.
struct WatchedDriverTest : DriverTest {
  static std::set<int>& watched() {
    static std::set<int> fds;
    return fds;
  }
  static bool& removedAClosedDescriptor() {
    static bool closed = false;
    return closed;
  }
  static void hook(int fd, bool on) {
    if (on) {
      watched().insert(fd);
    } else {
      if (fcntl(fd, F_GETFD) == -1) removedAClosedDescriptor() = true;
      watched().erase(fd);
    }
  }
  static void SetUpTestSuite() { TlcdrvRoot::portWatch(hook); }
  static void TearDownTestSuite() { TlcdrvRoot::portWatch(nullptr); }
  void SetUp() override {
    watched().clear();
    removedAClosedDescriptor() = false;
  }
  std::set<int> portFd() const { return {TlcdrvRoot::serial()->commHd()}; }
};

}  // namespace

TEST_F(DriverTest, HungUpPortIsReportedAndOpenedAgainWhenTheDeviceIsBack) {
  LinkedPort port;
  std::unique_ptr<PtyPair> device(new PtyPair());
  port.pointAt(device->slave);
  sys.choosePort(port.link);
  ASSERT_TRUE(TlcdrvRoot::portOpen());
  // Pulled out: the far side closes.
  device.reset();
  unlink(port.link.c_str());
  ASSERT_TRUE(sys.pump([&] { return toCtrl().size() >= 2; }));
  EXPECT_EQ(toCtrl()[1].error, CdrvErrorEvt::CDRV_SET_COM_NOT_OPEN);
  EXPECT_EQ(toCtrl()[1].reason, "the device hung up the line");
  EXPECT_FALSE(TlcdrvRoot::portOpen());
  EXPECT_TRUE(cap.has("lost: the device hung up the line"));
  // Still away: each write tries again, the reason is told once.
  write({0x01, 0x00, 0x00, 0x02, 0x03, 0x06});
  write({0x01, 0x00, 0x00, 0x02, 0x03, 0x06});
  write({0x01, 0x00, 0x00, 0x02, 0x03, 0x06});
  EXPECT_EQ(occurrences(cap.remote, "cannot be opened"), 1u) << cap.remote;
  EXPECT_EQ(occurrences(cap.remote, "is not open."), 3u);
  EXPECT_TRUE(cap.has("does not exist: is the device connected"));
  EXPECT_EQ(toCtrl().size(), 2u);
  // Back on the same path: the next write finds it.
  PtyPair back;
  port.pointAt(back.slave);
  write({0x01, 0x00, 0x00, 0x02, 0x03, 0x06});
  EXPECT_TRUE(TlcdrvRoot::portOpen());
  ASSERT_EQ(toCtrl().size(), 3u);
  EXPECT_EQ(toCtrl()[2].error, CdrvErrorEvt::CDRV_CLEAR_COM_NOT_OPEN);
  EXPECT_EQ(back.receive(), (Bytes{0x01, 0x00, 0x00, 0x02, 0x03, 0x06}));
  EXPECT_TRUE(cap.has("is open again"));
  back.send(kEntry7);
  EXPECT_TRUE(unitArrives(1));
}

TEST_F(DriverTest, WhatIsNotASerialPortIsExplained) {
  TempDir dir(TempDir::ShortPath);
  std::string file = dir.path() + "/plain";
  { FILE* f = fopen(file.c_str(), "w"); if (f) fclose(f); }
  sys.choosePort(file);
  ASSERT_EQ(toCtrl().size(), 1u);
  EXPECT_EQ(toCtrl()[0].error, CdrvErrorEvt::CDRV_SET_COM_NOT_OPEN);
  EXPECT_TRUE(cap.has(file + " is not a serial port")) << cap.remote;
}

TEST_F(WatchedDriverTest, ChosenPortIsWatched) {
  sys.choosePort(pty.slave);
  EXPECT_EQ(watched(), portFd());
}

TEST_F(WatchedDriverTest, ChoosingAnotherPortMovesTheWatch) {
  PtyPair other;
  sys.choosePort(pty.slave);
  sys.choosePort(other.slave);
  EXPECT_EQ(watched(), portFd());
  EXPECT_FALSE(removedAClosedDescriptor());
}

TEST_F(WatchedDriverTest, PortThatCannotBeOpenedLeavesNothingWatched) {
  sys.choosePort(pty.slave);
  sys.choosePort("/dev/kestrum-no-such-port");
  EXPECT_TRUE(watched().empty());
  EXPECT_FALSE(removedAClosedDescriptor());
}

TEST_F(WatchedDriverTest, ReadableWakesOnceAndReadingWatchesAgain) {
  sys.choosePort(pty.slave);
  pty.send(kEntry7);
  ASSERT_TRUE(eventually([] { return TlcdrvRoot::serial()->getNbrOfBytes() > 0; }));
  TlcdrvRoot::portReadable();
  EXPECT_TRUE(watched().empty());
  ASSERT_TRUE(unitArrives(1));
  EXPECT_EQ(toParser()[0].bytes, kEntry7);
  EXPECT_EQ(watched(), portFd());
}

TEST_F(WatchedDriverTest, UnpluggedPortIsNoLongerWatchedAndReopenedPortIsAgain) {
  BRootState* drv = sys.main->ctrl->child(0);
  drv->debugLevel(0x0040);
  sys.choosePort(pty.slave);
  close(pty.master);
  pty.master = -1;
  TlcdrvRoot::portReadable();
  EXPECT_TRUE(watched().empty());
  EXPECT_TRUE(cap.has("TlcdrvRoot::portReadable port \"" + pty.slave + "\" hung up (Tlcdrv:"));
  // The next read round closes the dead port; nothing stays watched.
  sys.run(20);
  EXPECT_TRUE(watched().empty());
  EXPECT_FALSE(TlcdrvRoot::portOpen());
  PtyPair replugged;
  sys.choosePort(replugged.slave);
  EXPECT_EQ(watched(), portFd());
  EXPECT_FALSE(removedAClosedDescriptor());
}

TEST_F(WatchedDriverTest, PortOpenedByAWriteIsWatched) {
  // The device's path appears only after it was chosen, as when it is
  // plugged in late: the next write opens it.
  std::string link = std::filesystem::temp_directory_path() / ("kestrum-watch-" + std::to_string(getpid()));
  std::filesystem::remove(link);
  sys.choosePort(link);
  EXPECT_TRUE(watched().empty());
  std::filesystem::create_symlink(pty.slave, link);
  write({0x06});
  std::filesystem::remove(link);
  EXPECT_TRUE(TlcdrvRoot::portOpen());
  EXPECT_EQ(watched(), portFd());
}

TEST(TlcdrvRootWatch, DriverGoneLeavesNothingWatched) {
  static std::set<int> fds;
  fds.clear();
  TlcdrvRoot::portWatch([](int fd, bool on) {
    if (on)
      fds.insert(fd);
    else
      fds.erase(fd);
  });
  PtyPair pty;
  {
    LinkSystem sys(false, true);
    sys.choosePort(pty.slave);
    EXPECT_EQ(fds.size(), 1u);
  }
  TlcdrvRoot::portWatch(nullptr);
  EXPECT_TRUE(fds.empty());
}

// A write does not end a frame half received: its rest comes first, so the
// loop still waits for that; with nothing half received any byte wakes it.
TEST_F(WatchedDriverTest, HalfAFrameWakesTheLoopOnlyForItsRestAndAWriteForAnyByte) {
  sys.choosePort(pty.slave);
  pty.send(Bytes(kEntry7.begin(), kEntry7.begin() + 6));
  ASSERT_TRUE(eventually([] { return TlcdrvRoot::serial()->getNbrOfBytes() == 6; }));
  sys.run(10);
  EXPECT_EQ(TlcdrvRoot::serial()->wakeThreshold(), static_cast<int>(kEntry7.size() - 6));
  EXPECT_EQ(watched(), portFd());
  write({0x15});
  EXPECT_EQ(TlcdrvRoot::serial()->wakeThreshold(), static_cast<int>(kEntry7.size() - 6));
  pty.send(Bytes(kEntry7.begin() + 6, kEntry7.end()));
  ASSERT_TRUE(eventually([] { return TlcdrvRoot::serial()->getNbrOfBytes() == 9; }));
  sys.run(10);
  write({0x06});
  EXPECT_EQ(TlcdrvRoot::serial()->wakeThreshold(), 1);
}
