#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <unistd.h>

#include "PortWatch.h"
#include "kestrum/conndrv/PtyPair.h"
#include "kestrum/protparser/LinkHarness.h"

namespace {

// The driver with its port watched by the toolkit, as in the program.
struct PortWatchTest : ::testing::Test {
  PtyPair pty;
  LinkSystem* sys = nullptr;

  void SetUp() override {
    PortWatch::install();
    sys = new LinkSystem(false, true);
    sys->choosePort(pty.slave);
  }
  void TearDown() override {
    delete sys;
    PortWatch::uninstall();
  }
  // Runs the toolkit's wait until the port woke it; the generous limit only
  // keeps a broken build from hanging.
  bool portWakesTheWait() {
    unsigned long before = PortWatch::wakeups();
    for (int i = 0; i < 100 && PortWatch::wakeups() == before; ++i) Fl::wait(1.0);
    return PortWatch::wakeups() > before;
  }
};

}  // namespace

TEST_F(PortWatchTest, BytesFromTheDeviceEndTheToolkitsWait) {
  pty.send({0x06});
  ASSERT_TRUE(portWakesTheWait());
  // Once per read: the loop's next readCom() takes the byte and watches again.
  EXPECT_FALSE(TlcdrvRoot::serial()->watched());
  ASSERT_TRUE(sys->pump([&] { return !sys->main->protLog.empty(); }));
  EXPECT_EQ(sys->main->protLog[0].bytes, (std::vector<unsigned char>{0x06}));
  EXPECT_TRUE(TlcdrvRoot::serial()->watched());
}

TEST_F(PortWatchTest, UnpluggedPortWakesTheWaitOnceOnly) {
  close(pty.master);
  pty.master = -1;
  ASSERT_TRUE(portWakesTheWait());
  EXPECT_TRUE(TlcdrvRoot::serial()->hungUp());
  // A hung-up line is readable for ever: were it still watched, every wait
  // below would end at once with another wake-up.
  unsigned long after = PortWatch::wakeups();
  sys->run(30);
  for (int i = 0; i < 3; ++i) Fl::wait(0.02);
  EXPECT_EQ(PortWatch::wakeups(), after);
}

TEST_F(PortWatchTest, PortChosenAgainIsWatchedAgain) {
  close(pty.master);
  pty.master = -1;
  ASSERT_TRUE(portWakesTheWait());
  PtyPair replugged;
  sys->choosePort(replugged.slave);
  replugged.send({0x15});
  EXPECT_TRUE(portWakesTheWait());
}
