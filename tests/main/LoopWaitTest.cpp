#include <gtest/gtest.h>

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

TEST(LoopWait, WatchedPortWaitsForItsPollTimerAndSoDoesAHungUpOne) {
  PtyPair pty;
  PortWatch::install();
  {
    LinkSystem sys(false, true);
    sys.choosePort(pty.slave);
    ASSERT_TRUE(TlcdrvRoot::serial()->watched());
    // The driver's poll timer (100 ms) is the next due.
    double wait = LoopWait::seconds();
    EXPECT_GT(wait, LoopWait::POLL_ROUND);
    EXPECT_LE(wait, 0.1);
    close(pty.master);
    pty.master = -1;
    TlcdrvRoot::portReadable();
    ASSERT_TRUE(TlcdrvRoot::serial()->hungUp());
    wait = LoopWait::seconds();
    EXPECT_GT(wait, LoopWait::POLL_ROUND);
    EXPECT_LE(wait, 0.1);
  }
  PortWatch::uninstall();
}

TEST(LoopWait, OpenPortWithoutAWatchIsPolledEveryRound) {
  PtyPair pty;
  LinkSystem sys(false, true);
  sys.choosePort(pty.slave);
  ASSERT_FALSE(TlcdrvRoot::serial()->watched());
  EXPECT_DOUBLE_EQ(LoopWait::seconds(), LoopWait::POLL_ROUND);
}
