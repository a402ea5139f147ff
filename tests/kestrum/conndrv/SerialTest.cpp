#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "PtyPair.h"
#include "Serial.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// Number of descriptors of this process that are open on path.
int openDescriptorsOn(const std::string& path) {
  int n = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
    n += std::filesystem::read_symlink(e.path(), ec) == path && !ec;
  return n;
}

bool readableNow(int fd) {
  struct pollfd p = {fd, POLLIN, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

// Plays the toolkit's descriptor registry: what is watched, in the order the
// hook was told, and whether each descriptor was still open when removed.
struct WatchLog {
  std::vector<std::pair<int, bool>> calls;
  std::set<int> watched;
  bool removedAClosedDescriptor = false;
  Serial::WatchHook hook() {
    return [this](int fd, bool on) {
      calls.emplace_back(fd, on);
      removedAClosedDescriptor |= !on && fcntl(fd, F_GETFD) == -1;
      on ? (void)watched.insert(fd) : (void)watched.erase(fd);
    };
  }
};

// A port on a pseudo-terminal, its watch logged.
struct SerialTest : ::testing::Test {
  PtyPair pty;
  WatchLog log;
  Serial s;
  void open(bool watched = true) {
    if (watched) s.watchHook(log.hook());
    ASSERT_TRUE(s.openPort(pty.slave.c_str())) << s.lastError();
  }
  void arrive(const Bytes& b) {
    int before = s.getNbrOfBytes();
    pty.send(b);
    ASSERT_TRUE(waitUntil([&] { return s.getNbrOfBytes() == before + static_cast<int>(b.size()); }, 2000, 1));
  }
  std::set<int> fd() const { return {s.commHd()}; }
};

}  // namespace

TEST(Serial, PortNamesAndFailedOpens) {
  EXPECT_EQ(Serial::devicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(Serial::devicePath("COM16"), "/dev/ttyS15");
  EXPECT_EQ(Serial::devicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(Serial::devicePath("ttyUSB1"), "/dev/ttyUSB1");
  EXPECT_EQ(Serial::devicePath("COMX"), "/dev/COMX");
  Serial s;
  EXPECT_FALSE(s.isOpen());
  EXPECT_STREQ(s.port(), "");
  EXPECT_FALSE(s.openPort("/dev/kestrum-no-such-port"));
  EXPECT_EQ(s.errorCode(), Serial::ERR_OPEN);
  EXPECT_NE(s.lastError().find("No such file"), std::string::npos) << s.lastError();
  EXPECT_FALSE(s.openPort("/dev/null"));  // no terminal
  EXPECT_EQ(s.lastErrno(), ENOTTY);
  EXPECT_FALSE(s.openPort("") || s.openPort(nullptr));
  EXPECT_EQ(s.errorCode(), Serial::ERR_NO_NAME);
  // Up to 79 characters are kept, a longer name is refused.
  std::string name79 = "/tmp/" + std::string(74, 'x');
  EXPECT_FALSE(s.openPort(name79.c_str()));
  EXPECT_EQ(s.errorCode(), Serial::ERR_OPEN);
  EXPECT_EQ(std::string(s.port()), name79);
  EXPECT_FALSE(s.openPort((name79 + "y").c_str()));
  EXPECT_EQ(s.errorCode(), Serial::ERR_NAME_TOO_LONG);
  // A closed port does nothing.
  char buf[4] = {1, 2, 3, 4};
  EXPECT_EQ(s.writePort(buf, 4) + s.sendChar('x') + s.getNbrOfBytes() + s.getArray(buf, 4), 0);
  EXPECT_EQ(s.readPort(buf, 4), -1);
}

TEST_F(SerialTest, RawNineSixHundredEightNoneOneExclusiveAndEveryByteValuePasses) {
  open(false);
  EXPECT_TRUE(s.lastError().empty());
  struct termios tio;
  ASSERT_EQ(tcgetattr(s.commHd(), &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), B9600);
  EXPECT_EQ(cfgetispeed(&tio), B9600);
  EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
  EXPECT_EQ((tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP)) | (tio.c_lflag & (ICANON | ECHO)) | (tio.c_oflag & OPOST), 0u);
  EXPECT_EQ(tio.c_cc[VMIN] + tio.c_cc[VTIME], 0);
  int excl = 0;
  ASSERT_EQ(ioctl(s.commHd(), TIOCGEXCL, &excl), 0);
  EXPECT_EQ(excl, 1);
  // Every byte value passes; reads take only what waits.
  char buf[300];
  EXPECT_EQ(s.getNbrOfBytes(), 0);
  EXPECT_EQ(s.readPort(buf, sizeof buf), -1);
  EXPECT_EQ(s.getChar(), -1);
  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<unsigned char>(i);
  arrive(all);
  EXPECT_EQ(s.readPort(buf, 3), 3);
  EXPECT_EQ(s.getNbrOfBytes(), 253);
  EXPECT_EQ(s.getChar(), 3);
  ASSERT_EQ(s.readPort(buf + 4, 296), 252);
  EXPECT_EQ(Bytes(buf + 4, buf + 256), Bytes(all.begin() + 4, all.end()));
  EXPECT_EQ(s.readPort(buf, sizeof buf), -1);
  EXPECT_EQ(s.writePort(all.data(), 256), 256);
  EXPECT_EQ(pty.receive(), all);
}

TEST_F(SerialTest, LargeWriteIsNotCutWhenTheQueueFillsAndGivesUpWhenNothingIsTaken) {
  open(false);
  Bytes data(200000), got;
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7);
  std::thread reader([&] {
    for (Bytes part; got.size() < data.size() && !(part = pty.receive(2000)).empty();)
      got.insert(got.end(), part.begin(), part.end());
  });
  EXPECT_EQ(s.writePort(data.data(), static_cast<int>(data.size())), static_cast<int>(data.size()));
  reader.join();
  EXPECT_EQ(got, data);
  int old = Serial::writeStallMs();
  Serial::writeStallMs(50);
  std::vector<char> big(1 << 20, 'a');
  int n = s.writePort(big.data(), static_cast<int>(big.size()));
  Serial::writeStallMs(old);
  EXPECT_GT(n, 0);
  EXPECT_LT(n, static_cast<int>(big.size()));
}

TEST_F(SerialTest, ReopeningClosesTheOldPortAndMovesTheWatch) {
  PtyPair b;
  open();
  EXPECT_EQ(log.watched, fd());
  EXPECT_TRUE(s.watched());
  int first = s.commHd();
  ASSERT_TRUE(s.openPort(b.slave.c_str()));
  EXPECT_EQ(openDescriptorsOn(pty.slave), 0);
  EXPECT_EQ(openDescriptorsOn(b.slave), 1);
  EXPECT_EQ(log.watched, fd());
  ASSERT_EQ(log.calls.size(), 3u);
  EXPECT_EQ(log.calls[1], std::make_pair(first, false));
  // A failing open leaves nothing open or watched either.
  EXPECT_FALSE(s.openPort("/dev/kestrum-no-such-port") || s.openPort(""));
  EXPECT_EQ(openDescriptorsOn(b.slave), 0);
  EXPECT_TRUE(log.watched.empty());
  EXPECT_FALSE(s.watched());
  EXPECT_EQ(log.calls.size(), 4u);
  EXPECT_FALSE(log.removedAClosedDescriptor);
}

TEST(SerialWatch, HookGivenWhileOpenTakesOverAndTheDestructorLetsGo) {
  PtyPair pty;
  WatchLog before, after;
  {
    Serial s;
    ASSERT_TRUE(s.openPort(pty.slave.c_str()));
    s.watchHook(before.hook());
    EXPECT_EQ(before.watched, std::set<int>{s.commHd()});
    s.watchHook(after.hook());
    EXPECT_TRUE(before.watched.empty());
    EXPECT_EQ(after.watched, std::set<int>{s.commHd()});
    s.watchHook(nullptr);
    EXPECT_TRUE(after.watched.empty());
    s.watchHook(after.hook());
  }
  EXPECT_TRUE(after.watched.empty());
  EXPECT_FALSE(after.removedAClosedDescriptor);
}

// Bytes left waiting (a modal dialog keeps the loop from reading) must not
// wake the loop over and over; nor must a hung-up line, readable for ever.
TEST_F(SerialTest, ReadableWakesOnceUntilReadAndAHungUpLineNotUntilReopened) {
  PtyPair replugged;
  open();
  arrive({0x06, 0x15});
  s.onReadable();
  EXPECT_TRUE(log.watched.empty());
  EXPECT_FALSE(s.hungUp() || s.lineLost());
  char buf[8];
  EXPECT_EQ(s.readPort(buf, sizeof buf), 2);
  s.rearm();
  EXPECT_EQ(log.watched, fd());
  pty.hangUp();
  s.onReadable();
  EXPECT_TRUE(s.hungUp() && s.lineLost());
  EXPECT_TRUE(log.watched.empty());
  // Still open: reading finds nothing.
  EXPECT_TRUE(s.isOpen());
  EXPECT_EQ(s.readPort(buf, sizeof buf), -1);
  s.rearm();
  EXPECT_TRUE(log.watched.empty());
  ASSERT_TRUE(s.openPort(replugged.slave.c_str()));
  EXPECT_FALSE(s.hungUp() || s.lineLost());
  EXPECT_EQ(log.watched, fd());
  EXPECT_FALSE(log.removedAClosedDescriptor);
}

TEST_F(SerialTest, WakeThresholdHoldsTheWakeUpUntilEnoughBytesWait) {
  open(false);
  s.wakeThreshold(3);  // without a watch it stays alone
  EXPECT_EQ(s.wakeThreshold(), 1);
  s.watchHook(log.hook());
  s.wakeThreshold(3);
  EXPECT_EQ(s.wakeThreshold(), 3);
  arrive({0x01, 0x04});
  EXPECT_FALSE(readableNow(s.commHd()));
  pty.send({0x09});
  ASSERT_TRUE(waitUntil([&] { return readableNow(s.commHd()); }, 2000, 1));
  // Reads still take what is there without waiting.
  s.wakeThreshold(500);
  arrive({0x02});
  char buf[16];
  EXPECT_EQ(s.readPort(buf, sizeof buf), 4);
  // A single byte wakes again after a threshold of one, and after reopening.
  s.wakeThreshold(1);
  pty.send({0x06});
  EXPECT_TRUE(waitUntil([&] { return readableNow(s.commHd()); }, 2000, 1));
  EXPECT_EQ(s.getChar(), 0x06);
  s.wakeThreshold(3);
  ASSERT_TRUE(s.openPort(pty.slave.c_str()));
  EXPECT_EQ(s.wakeThreshold(), 1);
  pty.send({0x06});
  EXPECT_TRUE(waitUntil([&] { return readableNow(s.commHd()); }, 2000, 1));
}
