#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <unistd.h>

#include "BTimer.h"
#include "BTimerTick.h"
#include "LoopWait.h"
#include "Main.h"
#include "PortWatch.h"
#include "kestrum/conndrv/PtyPair.h"
#include "kestrum/protparser/LinkHarness.h"

namespace {

// A runtime clock that stands still unless the test moves it.
struct LoopWaitClock : ::testing::Test {
  uint32_t tick = 5000;
  void SetUp() override { setTimerTickPtr(&tick); }
  void TearDown() override { setTimerTickPtr(nullptr); }
};

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
  // A watched port, and a hung-up one, need no polling every round: the
  // driver's poll timer (100 ms) is the next due.
  void expectWaitForThePollTimer() {
    double wait = LoopWait::seconds();
    EXPECT_GT(wait, LoopWait::POLL_ROUND);
    EXPECT_LE(wait, 0.1);
  }
};

}  // namespace

// The toolkit waits until the next timer is due, at most LONGEST; a timer
// due now, or a remote debug console to serve, keeps it to one polling round.
TEST_F(LoopWaitClock, WaitEndsWhenTheNextTimerIsDue) {
  EXPECT_DOUBLE_EQ(LoopWait::seconds(), LoopWait::LONGEST);
  BTimer lifeCheck, poll;
  lifeCheck.fireIn(nullptr, BTimer::nSecs(1), 150);
  poll.fireIn(nullptr, 7, 151);
  EXPECT_DOUBLE_EQ(LoopWait::seconds(), 0.07);
  tick += 7;
  EXPECT_DOUBLE_EQ(LoopWait::seconds(), LoopWait::POLL_ROUND);
  poll.disarm();
  EXPECT_DOUBLE_EQ(LoopWait::seconds(), LoopWait::LONGEST);
  lifeCheck.disarm();
  Main::_dbgPort = 4100;
  EXPECT_DOUBLE_EQ(LoopWait::seconds(), LoopWait::POLL_ROUND);
  Main::_dbgPort = 0;
}

TEST(LoopWait, OpenPortWithoutAWatchIsPolledEveryRound) {
  PtyPair pty;
  LinkSystem sys(false, true);
  sys.choosePort(pty.slave);
  ASSERT_FALSE(TlcdrvRoot::serial()->watched());
  EXPECT_DOUBLE_EQ(LoopWait::seconds(), LoopWait::POLL_ROUND);
}

TEST_F(PortWatchTest, BytesAndAnUnpluggedPortEachEndTheToolkitsWaitOnce) {
  ASSERT_TRUE(TlcdrvRoot::serial()->watched());
  expectWaitForThePollTimer();
  pty.send({0x06});
  ASSERT_TRUE(portWakesTheWait());
  // Once per read: the driver stops the watch until its next read.
  EXPECT_FALSE(TlcdrvRoot::serial()->watched());
  sys->run(30);
  ASSERT_TRUE(TlcdrvRoot::serial()->watched());
  pty.hangUp();
  ASSERT_TRUE(portWakesTheWait());
  EXPECT_TRUE(TlcdrvRoot::serial()->hungUp());
  expectWaitForThePollTimer();
  // A hung-up line is readable for ever: were it still watched, every wait
  // below would end at once with another wake-up.
  unsigned long after = PortWatch::wakeups();
  sys->run(30);
  for (int i = 0; i < 3; ++i) Fl::wait(0.02);
  EXPECT_EQ(PortWatch::wakeups(), after);
}
