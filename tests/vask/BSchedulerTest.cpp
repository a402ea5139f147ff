#include <algorithm>

#include "BEvtQueueFixed.h"
#include "BTimer.h"
#include "BTimerManager.h"
#include "Vask.h"

using V = std::vector<int>;

static bool vask(std::vector<std::string> w) {
  std::vector<char*> argv;
  for (std::string& s : w) argv.push_back(&s[0]);
  return BScheduler::vaskProcDbgStr(int(argv.size()), argv.data());
}

// Queues of one priority take turns; a more urgent one is served by the
// very next step.
TEST_F(VaskTest, PrioritiesAndRoundRobin) {
  TRoot* a = enter("A", 10, 11, PRIO_3);
  TRoot* b = enter("B", 10, 12, PRIO_3);
  TRoot* fast = enter("fast", 10, 13, PRIO_1);
  for (int i = 0; i < 2; ++i) {
    a->sendLocal(local(110));
    b->sendLocal(local(110));
  }
  EXPECT_EQ(BScheduler::currentPriority(), PRIO_3);
  BScheduler::step();
  fast->sendLocal(local(120));
  EXPECT_EQ(BScheduler::currentPriority(), PRIO_1);
  pump();
  EXPECT_EQ(only("event:"), (J{"event:B:110", "event:fast:120", "event:A:110", "event:B:110", "event:A:110"}));
  EXPECT_EQ(BScheduler::currentPriority(), PRIO_BACKGROUND);
}

TEST_F(VaskTest, EmptySystemSendsSleepToTheMainStateAndSleeps) {
  BScheduler::systemStatus(BScheduler::SYSTEM_ACTIVE);
  BScheduler::step();
  EXPECT_EQ(main->sleeps, 1);
  EXPECT_EQ(BScheduler::systemStatus(), BScheduler::SYSTEM_SLEEPING);
  EXPECT_EQ(BScheduler::currentEvent(), nullptr);
}

TEST_F(VaskTest, FixedQueueOfSizeFourTakesThreeSignals) {
  TRoot* owner = make();
  BEvtQueueFixed q(owner, PRIO_4, 4);
  for (int sig : {101, 102, 103}) EXPECT_TRUE(q.post(SignalId(sig)));
  EXPECT_FALSE(q.post(SignalId(104)));
  EXPECT_TRUE(cap.has("Exception: Evt NOT posted\n"));
  BEvent* e = q.get();
  EXPECT_EQ(e->signalId(), 101);
  EXPECT_EQ(e->moduleId(), 10);
  e->destroy();
  EXPECT_TRUE(q.post(SignalId(104)));  // the ring wraps
  EXPECT_EQ(q.count(), 3);
  for (int sig : {102, 103, 104}) {
    e = q.get();
    EXPECT_EQ(e->signalId(), sig);
    e->destroy();
  }
  EXPECT_EQ(q.get(), nullptr);
  EXPECT_TRUE(cap.has("Exception: Evt empty\n"));
}

// The scheduler's debug commands: a step longer than rtcmax is reported and
// recorded; statistics, queues and priorities are printed.
TEST_F(VaskTest, DebugCommandsReportLongStepsAndPrintQueues) {
  EXPECT_TRUE(vask({"vask", "rtcmax", "on", "5"}));
  TRoot* root = enter();
  root->_h = [this](BState*, const BEvent*) { tick += 8; };
  root->sendLocal(local(110));
  cap.clear();
  BScheduler::step();
  EXPECT_TRUE(cap.has("RTC step too long, current:  80 ms rtcMax=5, is 50 ms,    4: 10: 10: 2:#   0 =>     2 "
                      "event,  10: 10:110 d:8\n")) << cap.remote;
  EXPECT_EQ(cap.log, cap.remote);
  root->sendLocal(local(111));
  cap.clear();
  EXPECT_TRUE(vask({"vask", "stat", "queue", "prio"}));
  EXPECT_TRUE(cap.has("statRTCHL=8 (highest RTC-step time, 80 ms)"));
  EXPECT_TRUE(cap.has("prio:mod:cmp:st:#evts"));
  EXPECT_TRUE(cap.has(";   4; 10; 10;   2;   1, sigs:\n"));
  EXPECT_TRUE(cap.has("            10: 10:111\n"));
  EXPECT_TRUE(cap.has("CurrentPrio:4\n"));
  EXPECT_FALSE(vask({"vask", "nothing"}));
}

TEST_F(VaskTest, TerminationWaitsForArmedTimersAndRegisteredQueues) {
  TRoot* root = enter();
  BTimer t;
  t.fireIn(root->queue(), 50, 150);
  main->shutdown();
  for (int i = 0; i < 5; ++i) BScheduler::step();
  EXPECT_EQ(BScheduler::systemStatus(), BScheduler::SYSTEM_TERMINATING);
  t.disarm();
  for (int i = 0; i < 5; ++i) BScheduler::step();
  EXPECT_EQ(BScheduler::systemStatus(), BScheduler::SYSTEM_TERMINATING);  // root's queue still registered
  root->leave();
  BScheduler::step();
  EXPECT_TRUE(BScheduler::terminated());
  EXPECT_TRUE(cap.has("Destroy mutexId:vasktest_"));
}

class TimerTest : public VaskTest {
protected:
  void SetUp() override {
    VaskTest::SetUp();
    root = enter();
    q = root->queue();
  }
  V runAt(uint32_t t) {
    tick = t;
    root->_seen.clear();
    pump();
    return root->_seen;
  }
  TRoot* root = nullptr;
  BEvtQueue* q = nullptr;
};

TEST_F(TimerTest, OneShotFiresOnceAtItsTick) {
  BTimer t;
  t.fireIn(q, BTimer::nSecs(2), 150);
  EXPECT_TRUE(runAt(900).empty());  // the clock went back a little
  EXPECT_TRUE(runAt(1199).empty());
  EXPECT_EQ(runAt(1200), V{150});
  EXPECT_FALSE(t.armed());
  EXPECT_TRUE(runAt(1500).empty());
}

TEST_F(TimerTest, RearmingReplacesAndEqualTicksBehindTheHeadKeepArmingOrder) {
  BTimer head, a, b, c;
  head.fireIn(q, 5, 160);
  b.fireIn(q, 10, 161);
  a.fireIn(q, 10, 150);
  c.fireIn(q, 10, 162);
  a.fireIn(q, 20, 152);  // only the second arming counts
  BTimer* gone = new BTimer();
  gone->fireIn(q, 7, 163);
  delete gone;
  EXPECT_EQ(runAt(1010), (V{160, 161, 162}));
  EXPECT_EQ(runAt(1020), V{152});
  EXPECT_TRUE(BScheduler::timerManager().isEmpty());
}

// A process stopped for a while (SIGSTOP, a suspended laptop) must not
// catch up on every period it missed.
TEST_F(TimerTest, PeriodicTimerThatFellBehindFiresOnceAndKeepsItsRhythm) {
  struct Case {
    uint32_t at, next;
  };
  for (Case c : {Case{1010, 1020}, Case{1019, 1020}, Case{1020, 1030}, Case{1045, 1050}, Case{3000, 3010}}) {
    runAt(1000);
    BTimer t;
    t.fireEvery(q, 10, 151);
    EXPECT_EQ(runAt(c.at), V{151}) << c.at;
    EXPECT_EQ(t.timeStamp(), c.next) << c.at;
    EXPECT_TRUE(runAt(c.next - 1).empty()) << c.at;
    EXPECT_EQ(runAt(c.next), V{151}) << c.at;
    EXPECT_TRUE(t.armed());
  }
}

TEST_F(TimerTest, LoadUsesTheConstructionSettingsAndBadTimesAreReported) {
  BTimer rep(q, BTimer::REPEAT);
  rep.load(10, 170);
  EXPECT_EQ(runAt(1010), V{170});
  EXPECT_EQ(runAt(1020), V{170});
  rep.disarm();
  BTimer none;
  none.load(10, 171);
  EXPECT_TRUE(cap.has("Exception: Invalid settings sig=171"));
  EXPECT_FALSE(none.armed());
  BTimer at;
  at.fireAt(q, 24, 0, 0, 150);
  EXPECT_TRUE(cap.has("Assertion failed: hour < 24 invalid hour"));
  EXPECT_TRUE(at.armed());
}

// The tick counter wraps after 2^32 ticks: a one-shot armed just before the
// wrap whose due tick lies after it waits for the wrap, and one still due
// before the wrap fires once the counter has wrapped.
TEST_F(TimerTest, TimersAcrossTheTickWrap) {
  runAt(0xFFFFFFF0u);
  BTimerManager& timers = BScheduler::timerManager();
  EXPECT_EQ(timers.ticksToNextDue(20), 20u);  // nothing armed
  BTimer before, after, every;
  before.fireIn(q, 0x08, 150);  // due 0xFFFFFFF8
  after.fireIn(q, 0x20, 151);   // due 0x10 after the wrap
  every.fireEvery(q, 0x0A, 152);
  EXPECT_EQ(timers.ticksToNextDue(100), 8u);
  EXPECT_EQ(timers.ticksToNextDue(5), 5u);
  EXPECT_TRUE(runAt(0xFFFFFFF5u).empty());
  tick = 0x02u;  // wrapped before a step took the lists over: still due
  EXPECT_EQ(timers.ticksToNextDue(100), 0u);
  V seen = runAt(0x05u);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 150), 1);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 151), 0);
  // Due 0xFFFFFFFA and 0x04: behind, it fires once and keeps its rhythm.
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 152), 1);
  EXPECT_EQ(every.timeStamp(), 0x0Eu);
  EXPECT_EQ(timers.ticksToNextDue(100), 0x09u);
  EXPECT_EQ(runAt(0x10u), (V{152, 151}));
  EXPECT_FALSE(after.armed());
  every.disarm();
}
