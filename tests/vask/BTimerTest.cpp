#include <algorithm>
#include "BScheduler.h"
#include "BTimer.h"
#include "BTimerManager.h"
#include "VaskFixture.h"

class BTimerTest : public VaskTest {
protected:
  void SetUp() override {
    VaskTest::SetUp();
    root = new TRoot();
    root->enter();
  }
  void TearDown() override {
    root->leave();
    delete root;
    VaskTest::TearDown();
  }
  std::vector<int> runAt(uint32_t t) {
    tick = t;
    root->_seen.clear();
    pump();
    return root->_seen;
  }
  TRoot* root = nullptr;
};

TEST_F(BTimerTest, OneShotFiresOnceAtOrAfterItsTickThenIsDisarmed) {
  BTimer t;
  t.fireIn(root->queue(), BTimer::nSecs(2), 150);
  EXPECT_TRUE(runAt(1199).empty());
  EXPECT_EQ(runAt(1200), std::vector<int>{150});
  EXPECT_FALSE(t.armed());
  EXPECT_TRUE(runAt(1500).empty());
}

// A process stopped for a while (SIGSTOP, a suspended laptop) must not
// catch up on every period it missed.
TEST_F(BTimerTest, PeriodicTimerThatFellBehindFiresOnceAndKeepsItsRhythm) {
  struct Case {
    uint32_t at;
    uint32_t next;
  };
  for (Case c : {Case{1010, 1020}, Case{1019, 1020}, Case{1020, 1030}, Case{1045, 1050}, Case{3000, 3010}}) {
    runAt(1000);
    BTimer t;
    t.fireEvery(root->queue(), 10, 151);
    EXPECT_EQ(runAt(c.at), (std::vector<int>{151})) << c.at;
    EXPECT_EQ(t.timeStamp(), c.next) << c.at;
    EXPECT_TRUE(runAt(c.next - 1).empty()) << c.at;
    EXPECT_EQ(runAt(c.next), (std::vector<int>{151})) << c.at;
    EXPECT_TRUE(t.armed());
  }
}

TEST_F(BTimerTest, RearmingReplacesDueTickAndSignal) {
  BTimer t;
  t.fireIn(root->queue(), 10, 150);
  t.fireIn(root->queue(), 20, 152);
  EXPECT_TRUE(runAt(1015).empty());
  EXPECT_EQ(runAt(1030), std::vector<int>{152});
}

TEST_F(BTimerTest, EqualDueTicksBehindTheHeadFireInArmingOrder) {
  BTimer a, b, c;
  a.fireIn(root->queue(), 5, 160);
  b.fireIn(root->queue(), 10, 161);
  c.fireIn(root->queue(), 10, 162);
  EXPECT_EQ(runAt(1010), (std::vector<int>{160, 161, 162}));
}

TEST_F(BTimerTest, DestroyingAnArmedTimerTakesItOut) {
  BTimer* t = new BTimer();
  t->fireIn(root->queue(), 10, 150);
  delete t;
  EXPECT_TRUE(BScheduler::timerManager().isEmpty());
  EXPECT_TRUE(runAt(1100).empty());
}

TEST_F(BTimerTest, LoadUsesTheConstructionSettings) {
  BTimer rep(root->queue(), BTimer::REPEAT);
  rep.load(10, 170);
  EXPECT_EQ(runAt(1010), (std::vector<int>{170}));
  EXPECT_EQ(runAt(1020), (std::vector<int>{170}));
  rep.disarm();
  BTimer none;
  none.load(10, 171);
  EXPECT_TRUE(cap.has("Exception: Invalid settings sig=171"));
  EXPECT_FALSE(none.armed());
}

TEST_F(BTimerTest, InvalidHourIsReportedAndStillArms) {
  BTimer t;
  t.fireAt(root->queue(), 24, 0, 0, 150);
  EXPECT_TRUE(cap.has("Assertion failed: hour < 24 invalid hour"));
  EXPECT_TRUE(t.armed());
}

// The tick counter wraps after 2^32 ticks: a one-shot armed just before the
// wrap whose due tick lies after it waits for the wrap, and one still due
// before the wrap fires once the counter has wrapped.
TEST_F(BTimerTest, TimersAcrossTheTickWrap) {
  runAt(0xFFFFFFF0u);
  BTimer before, after, every;
  before.fireIn(root->queue(), 0x08, 150);  // due 0xFFFFFFF8
  after.fireIn(root->queue(), 0x20, 151);   // due 0x10 after the wrap
  every.fireEvery(root->queue(), 0x0A, 152);
  EXPECT_TRUE(runAt(0xFFFFFFF5u).empty());
  // The step after the wrap: everything due before it fires, then what is due after.
  std::vector<int> seen = runAt(0x05u);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 150), 1);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 151), 0);
  // Due 0xFFFFFFFA and 0x04: behind, it fires once and keeps its rhythm.
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 152), 1);
  EXPECT_EQ(every.timeStamp(), 0x0Eu);
  EXPECT_EQ(runAt(0x10u), (std::vector<int>{152, 151}));
  EXPECT_FALSE(after.armed());
  every.disarm();
}

TEST_F(BTimerTest, ClockGoingBackALittleFiresNothing) {
  BTimer t;
  t.fireIn(root->queue(), 10, 150);
  EXPECT_TRUE(runAt(900).empty());
  EXPECT_TRUE(t.armed());
}

TEST_F(BTimerTest, TicksToNextDueNamesTheEarliestArmedTimer) {
  BTimerManager& timers = BScheduler::timerManager();
  EXPECT_EQ(timers.ticksToNextDue(20), 20u);  // nothing armed
  BTimer later, sooner;
  later.fireIn(root->queue(), 50, 150);
  sooner.fireIn(root->queue(), 7, 151);
  EXPECT_EQ(timers.ticksToNextDue(20), 7u);
  EXPECT_EQ(timers.ticksToNextDue(5), 5u);
  sooner.disarm();
  EXPECT_EQ(timers.ticksToNextDue(100), 50u);
  // Due but not yet fired: the next step fires it.
  tick = 1050;
  EXPECT_EQ(timers.ticksToNextDue(100), 0u);
  tick = 1080;
  EXPECT_EQ(timers.ticksToNextDue(100), 0u);
  later.disarm();
}

TEST_F(BTimerTest, TicksToNextDueAcrossTheTickWrap) {
  runAt(0xFFFFFFF0u);
  BTimer before, after;
  before.fireIn(root->queue(), 0x08, 150);  // due 0xFFFFFFF8
  after.fireIn(root->queue(), 0x20, 151);   // due 0x10 after the wrap
  EXPECT_EQ(BScheduler::timerManager().ticksToNextDue(100), 8u);
  // The counter wrapped before a step took the lists over: still due.
  tick = 0x02u;
  EXPECT_EQ(BScheduler::timerManager().ticksToNextDue(100), 0u);
  runAt(0x05u);
  EXPECT_EQ(BScheduler::timerManager().ticksToNextDue(100), 0x0Bu);
  after.disarm();
}
