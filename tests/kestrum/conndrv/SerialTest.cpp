#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <set>
#include <utility>
#include <vector>
#include <thread>

#include "PtyPair.h"
#include "Serial.h"

namespace {

// Number of descriptors of this process that are open on path.
int openDescriptorsOn(const std::string& path) {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    auto target = std::filesystem::read_symlink(e.path(), ec);
    if (!ec && target == path) ++n;
  }
  return n;
}

}  // namespace

TEST(Serial, NewPortIsClosedWithDefaultLineSettings) {
  Serial s;
  EXPECT_FALSE(s.isOpen());
  EXPECT_STREQ(s.port(), "");
  EXPECT_EQ(s.rate(), 9600);
  EXPECT_EQ(s.parity(), 0);
  EXPECT_EQ(s.stopBits(), 0);
  EXPECT_EQ(s.byteSize(), 8);
}

TEST(Serial, OpeningANameThatDoesNotExistFailsWithAReason) {
  Serial s;
  EXPECT_FALSE(s.openPort("/dev/kestrum-no-such-port"));
  EXPECT_FALSE(s.isOpen());
  EXPECT_EQ(s.errorCode(), Serial::ERR_OPEN);
  EXPECT_NE(s.lastError().find("No such file"), std::string::npos) << s.lastError();
}

TEST(Serial, EmptyNameOpensNothing) {
  Serial s;
  EXPECT_FALSE(s.openPort(""));
  EXPECT_FALSE(s.openPort(nullptr));
  EXPECT_EQ(s.errorCode(), Serial::ERR_NO_NAME);
}

TEST(Serial, NamesUpTo79CharactersAreKeptLongerOnesRefused) {
  Serial s;
  std::string name79 = "/tmp/" + std::string(74, 'x');
  EXPECT_FALSE(s.openPort(name79.c_str()));
  EXPECT_EQ(s.errorCode(), Serial::ERR_OPEN);
  EXPECT_EQ(std::string(s.port()), name79);
  std::string name80 = name79 + "y";
  EXPECT_FALSE(s.openPort(name80.c_str()));
  EXPECT_EQ(s.errorCode(), Serial::ERR_NAME_TOO_LONG);
}

TEST(Serial, ComNamesMapToLinuxSerialDevices) {
  EXPECT_EQ(Serial::devicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(Serial::devicePath("COM16"), "/dev/ttyS15");
  EXPECT_EQ(Serial::devicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(Serial::devicePath("/dev/pts/7"), "/dev/pts/7");
  EXPECT_EQ(Serial::devicePath("ttyUSB1"), "/dev/ttyUSB1");
  EXPECT_EQ(Serial::devicePath("COMX"), "/dev/COMX");
}

TEST(Serial, OpenSetsRawNineSixHundredEightNoneOneExclusive) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  Serial s;
  ASSERT_TRUE(s.openPort(pty.slave.c_str())) << s.lastError();
  EXPECT_TRUE(s.lastError().empty());
  struct termios tio;
  ASSERT_EQ(tcgetattr(s.commHd(), &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), B9600);
  EXPECT_EQ(cfgetispeed(&tio), B9600);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_EQ(tio.c_cc[VMIN], 0);
  EXPECT_EQ(tio.c_cc[VTIME], 0);
  int excl = 0;
  ASSERT_EQ(ioctl(s.commHd(), TIOCGEXCL, &excl), 0);
  EXPECT_EQ(excl, 1);
}

TEST(Serial, ReadPortWithNothingWaitingReturnsMinusOne) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  Serial s;
  ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  char buf[8];
  EXPECT_EQ(s.getNbrOfBytes(), 0);
  EXPECT_EQ(s.readPort(buf, sizeof buf), -1);
  EXPECT_EQ(s.getChar(), -1);
}

TEST(Serial, ReadPortTakesAtMostTheBufferAndLeavesTheRestWaiting) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  Serial s;
  ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  pty.send({1, 2, 3, 4, 5});
  ASSERT_TRUE(eventually([&] { return s.getNbrOfBytes() == 5; }));
  char buf[3];
  EXPECT_EQ(s.readPort(buf, 3), 3);
  EXPECT_EQ(std::string(buf, 3), std::string("\x01\x02\x03"));
  EXPECT_EQ(s.getNbrOfBytes(), 2);
  char rest[8];
  EXPECT_EQ(s.readPort(rest, sizeof rest), 2);
  EXPECT_EQ(rest[0], 4);
  EXPECT_EQ(rest[1], 5);
  EXPECT_EQ(s.readPort(rest, sizeof rest), -1);
}

TEST(Serial, BytesPassUnchanged) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  Serial s;
  ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  std::vector<unsigned char> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<unsigned char>(i);
  pty.send(all);
  ASSERT_TRUE(eventually([&] { return s.getNbrOfBytes() == 256; }));
  unsigned char buf[300];
  ASSERT_EQ(s.readPort(buf, sizeof buf), 256);
  EXPECT_EQ(std::vector<unsigned char>(buf, buf + 256), all);
  EXPECT_EQ(s.writePort(all.data(), 256), 256);
  EXPECT_EQ(pty.receive(), all);
}

TEST(Serial, ConnectClosesTheOldPortFirst) {
  PtyPair a, b;
  ASSERT_TRUE(a.ok() && b.ok());
  Serial s;
  ASSERT_TRUE(s.openPort(a.slave.c_str()));
  EXPECT_EQ(openDescriptorsOn(a.slave), 1);
  ASSERT_TRUE(s.openPort(b.slave.c_str()));
  EXPECT_EQ(openDescriptorsOn(a.slave), 0);
  EXPECT_EQ(openDescriptorsOn(b.slave), 1);
  // A failing connect leaves no port open either.
  EXPECT_FALSE(s.openPort("/dev/kestrum-no-such-port"));
  EXPECT_EQ(openDescriptorsOn(b.slave), 0);
}

TEST(Serial, ClosedPortDoesNothing) {
  Serial s;
  char buf[4] = {1, 2, 3, 4};
  EXPECT_EQ(s.writePort(buf, 4), 0);
  EXPECT_EQ(s.sendChar('x'), 0);
  EXPECT_EQ(s.readPort(buf, 4), -1);
  EXPECT_EQ(s.getNbrOfBytes(), 0);
  EXPECT_EQ(s.getArray(buf, 4), 0);
  s.closePort();
  s.disconnect();
}

TEST(Serial, LargeWriteIsNotCutWhenTheOutputQueueFills) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  Serial s;
  ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  std::vector<unsigned char> data(200000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7);
  std::vector<unsigned char> got;
  std::thread reader([&] {
    while (got.size() < data.size()) {
      auto part = pty.receive(2000);
      if (part.empty()) break;
      got.insert(got.end(), part.begin(), part.end());
    }
  });
  EXPECT_EQ(s.writePort(data.data(), static_cast<int>(data.size())),
            static_cast<int>(data.size()));
  reader.join();
  EXPECT_EQ(got, data);
}

TEST(Serial, WriteToADeviceThatTakesNothingGivesUpWithAShortCount) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  Serial s;
  ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  int old = Serial::writeStallMs();
  Serial::writeStallMs(50);
  std::vector<char> data(1 << 20, 'a');
  int n = s.writePort(data.data(), static_cast<int>(data.size()));
  Serial::writeStallMs(old);
  EXPECT_GT(n, 0);
  EXPECT_LT(n, static_cast<int>(data.size()));
}

namespace {

// Plays the toolkit's descriptor registry: what is watched, in the order the
// hook was told, and whether each descriptor was still open when removed.
struct WatchLog {
  std::vector<std::pair<int, bool>> calls;
  std::set<int> watched;
  bool removedAClosedDescriptor = false;

  Serial::WatchHook hook() {
    return [this](int fd, bool on) {
      calls.emplace_back(fd, on);
      if (on) {
        watched.insert(fd);
      } else {
        if (fcntl(fd, F_GETFD) == -1) removedAClosedDescriptor = true;
        watched.erase(fd);
      }
    };
  }
};

// The far end goes away, as when the device is unplugged.
void hangUp(PtyPair& pty) {
  close(pty.master);
  pty.master = -1;
}

}  // namespace

TEST(SerialWatch, OpenPortIsWatchedAndForgottenBeforeItCloses) {
  PtyPair pty;
  WatchLog log;
  {
    Serial s;
    s.watchHook(log.hook());
    EXPECT_TRUE(log.calls.empty());
    ASSERT_TRUE(s.openPort(pty.slave.c_str()));
    EXPECT_EQ(log.watched, std::set<int>{s.commHd()});
    EXPECT_TRUE(s.watched());
    s.closePort();
    EXPECT_TRUE(log.watched.empty());
    EXPECT_FALSE(s.watched());
    ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  }
  // The destructor closes too.
  EXPECT_TRUE(log.watched.empty());
  EXPECT_FALSE(log.removedAClosedDescriptor);
  EXPECT_EQ(log.calls.size(), 4u);
}

TEST(SerialWatch, PortThatFailsToOpenIsNotWatched) {
  WatchLog log;
  Serial s;
  s.watchHook(log.hook());
  EXPECT_FALSE(s.openPort("/dev/kestrum-no-such-port"));
  EXPECT_FALSE(s.openPort(""));
  EXPECT_TRUE(log.calls.empty());
}

TEST(SerialWatch, ReconnectMovesTheWatchToTheNewDescriptor) {
  PtyPair a, b;
  WatchLog log;
  Serial s;
  s.watchHook(log.hook());
  ASSERT_TRUE(s.openPort(a.slave.c_str()));
  int first = s.commHd();
  ASSERT_TRUE(s.openPort(b.slave.c_str()));
  EXPECT_EQ(log.watched, std::set<int>{s.commHd()});
  ASSERT_EQ(log.calls.size(), 3u);
  EXPECT_EQ(log.calls[1], std::make_pair(first, false));
  EXPECT_FALSE(log.removedAClosedDescriptor);
}

TEST(SerialWatch, HookGivenWhileOpenTakesOverTheWatch) {
  PtyPair pty;
  WatchLog before, after;
  Serial s;
  ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  s.watchHook(before.hook());
  EXPECT_EQ(before.watched, std::set<int>{s.commHd()});
  s.watchHook(after.hook());
  EXPECT_TRUE(before.watched.empty());
  EXPECT_EQ(after.watched, std::set<int>{s.commHd()});
  s.watchHook(nullptr);
  EXPECT_TRUE(after.watched.empty());
  EXPECT_FALSE(s.watched());
}

TEST(SerialWatch, ReadableWakesOnceUntilTheBytesAreRead) {
  PtyPair pty;
  WatchLog log;
  Serial s;
  s.watchHook(log.hook());
  ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  pty.send({0x06, 0x15});
  ASSERT_TRUE(eventually([&] { return s.getNbrOfBytes() == 2; }));
  // Bytes left waiting (a modal dialog keeps the loop from reading) must not
  // wake the loop over and over.
  s.onReadable();
  EXPECT_TRUE(log.watched.empty());
  EXPECT_FALSE(s.hungUp());
  char buf[8];
  EXPECT_EQ(s.readPort(buf, sizeof buf), 2);
  s.rearm();
  EXPECT_EQ(log.watched, std::set<int>{s.commHd()});
}

TEST(SerialWatch, HungUpLineIsNotWatchedAgainUntilReopened) {
  PtyPair pty, replugged;
  WatchLog log;
  Serial s;
  s.watchHook(log.hook());
  ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  hangUp(pty);
  s.onReadable();
  EXPECT_TRUE(s.hungUp());
  EXPECT_TRUE(log.watched.empty());
  // Still open: reading finds nothing, as before the line was watched.
  EXPECT_TRUE(s.isOpen());
  char buf[8];
  EXPECT_EQ(s.readPort(buf, sizeof buf), -1);
  s.rearm();
  EXPECT_TRUE(log.watched.empty());
  ASSERT_TRUE(s.openPort(replugged.slave.c_str()));
  EXPECT_FALSE(s.hungUp());
  EXPECT_EQ(log.watched, std::set<int>{s.commHd()});
  EXPECT_FALSE(log.removedAClosedDescriptor);
}

TEST(SerialWatch, LineThatHangsUpWithBytesWaitingIsReadFirst) {
  PtyPair pty;
  WatchLog log;
  Serial s;
  s.watchHook(log.hook());
  ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  pty.send({0x06});
  ASSERT_TRUE(eventually([&] { return s.getNbrOfBytes() == 1; }));
  hangUp(pty);
  s.onReadable();
  if (s.getNbrOfBytes() == 1) {
    // This kernel keeps the bytes for the reader: they are read before the
    // line counts as hung up.
    EXPECT_FALSE(s.hungUp());
    char buf[8];
    EXPECT_EQ(s.readPort(buf, sizeof buf), 1);
    s.rearm();
    s.onReadable();
  }
  EXPECT_TRUE(s.hungUp());
  EXPECT_TRUE(log.watched.empty());
}

namespace {

bool readableNow(int fd) {
  struct pollfd p = {fd, POLLIN, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

}  // namespace

TEST(SerialWatch, WakeThresholdHoldsTheWakeUpUntilEnoughBytesWait) {
  PtyPair pty;
  WatchLog log;
  Serial s;
  s.watchHook(log.hook());
  ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  s.wakeThreshold(3);
  EXPECT_EQ(s.wakeThreshold(), 3);
  pty.send({0x01, 0x04});
  ASSERT_TRUE(eventually([&] { return s.getNbrOfBytes() == 2; }));
  EXPECT_FALSE(readableNow(s.commHd()));
  pty.send({0x09});
  ASSERT_TRUE(eventually([&] { return readableNow(s.commHd()); }));
  // Reads still take what is there without waiting.
  s.wakeThreshold(50);
  pty.send({0x02});
  ASSERT_TRUE(eventually([&] { return s.getNbrOfBytes() == 4; }));
  char buf[16];
  EXPECT_EQ(s.readPort(buf, sizeof buf), 4);
  EXPECT_EQ(s.readPort(buf, sizeof buf), -1);
  // A single byte wakes again after a threshold of one.
  s.wakeThreshold(1);
  pty.send({0x06});
  EXPECT_TRUE(eventually([&] { return readableNow(s.commHd()); }));
}

TEST(SerialWatch, WakeThresholdIsLeftAloneWithoutAWatchAndResetByReopening) {
  PtyPair pty;
  WatchLog log;
  Serial s;
  ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  s.wakeThreshold(3);
  EXPECT_EQ(s.wakeThreshold(), 1);
  s.watchHook(log.hook());
  s.wakeThreshold(3);
  ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  EXPECT_EQ(s.wakeThreshold(), 1);
  struct termios tio;
  ASSERT_EQ(tcgetattr(s.commHd(), &tio), 0);
  EXPECT_EQ(tio.c_cc[VMIN], 0);
  pty.send({0x06});
  EXPECT_TRUE(eventually([&] { return readableNow(s.commHd()); }));
}
