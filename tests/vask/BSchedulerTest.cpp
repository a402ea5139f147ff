#include "BEvtQueueFixed.h"
#include "BTimer.h"
#include "VaskFixture.h"

using J = std::vector<std::string>;

class BSchedulerTest : public VaskTest {
protected:
  static std::vector<char*> words(std::vector<std::string>& w) {
    std::vector<char*> v;
    for (std::string& s : w) v.push_back(&s[0]);
    return v;
  }
};

TEST_F(BSchedulerTest, QueuesOfOnePriorityTakeTurns) {
  TRoot* a = new TRoot("A", 10, 11, PRIO_3);
  TRoot* b = new TRoot("B", 10, 12, PRIO_3);
  a->enter();
  b->enter();
  for (int i = 0; i < 2; ++i) {
    a->sendLocal(local(110));
    b->sendLocal(local(110));
  }
  pump();
  EXPECT_EQ(journal(), (J{"event:B:110", "event:A:110", "event:B:110", "event:A:110"}));
  a->leave();
  b->leave();
  delete a;
  delete b;
}

TEST_F(BSchedulerTest, MoreUrgentPriorityIsServedByTheNextStep) {
  TRoot* slow = new TRoot("slow", 10, 11, PRIO_5);
  TRoot* fast = new TRoot("fast", 10, 12, PRIO_1);
  slow->enter();
  fast->enter();
  slow->sendLocal(local(110));
  slow->sendLocal(local(111));
  BScheduler::step();
  fast->sendLocal(local(120));
  BScheduler::step();
  EXPECT_EQ(journal(), (J{"event:slow:110", "event:fast:120"}));
  EXPECT_EQ(BScheduler::currentPriority(), PRIO_5);
  pump();
  slow->leave();
  fast->leave();
  delete slow;
  delete fast;
}

namespace {
class SleepyMain : public TMain {
public:
  void onSleep() override { ++sleeps; }
  int sleeps = 0;
};
}  // namespace

TEST_F(BSchedulerTest, EmptySystemSendsSleepToTheBackgroundOwner) {
  main->shutdown();
  while (!BScheduler::terminated()) BScheduler::step();
  delete main;
  SleepyMain* m = new SleepyMain();
  main = m;
  m->startup();
  BScheduler::systemStatus(BScheduler::SYSTEM_ACTIVE);
  BScheduler::step();
  EXPECT_EQ(m->sleeps, 1);
  EXPECT_EQ(BScheduler::systemStatus(), BScheduler::SYSTEM_SLEEPING);
  EXPECT_EQ(BScheduler::currentEvent(), nullptr);
}

TEST_F(BSchedulerTest, FixedQueueOfSizeFourTakesThreeSignals) {
  TRoot* owner = new TRoot();
  BEvtQueueFixed q(owner, PRIO_4, 4);
  EXPECT_TRUE(q.post(SignalId(101)));
  EXPECT_TRUE(q.post(SignalId(102)));
  EXPECT_TRUE(q.post(SignalId(103)));
  EXPECT_FALSE(q.post(SignalId(104)));
  EXPECT_TRUE(cap.has("Exception: Evt NOT posted\n"));
  EXPECT_EQ(q.count(), 3);
  BEvent* e = q.get();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->signalId(), 101);
  EXPECT_EQ(e->moduleId(), 10);
  e->destroy();
  EXPECT_TRUE(q.post(SignalId(104)));  // the ring wraps
  EXPECT_EQ(q.count(), 3);
  for (int sig : {102, 103, 104}) {
    BEvent* x = q.get();
    EXPECT_EQ(x->signalId(), sig);
    x->destroy();
  }
  EXPECT_EQ(q.get(), nullptr);
  EXPECT_TRUE(cap.has("Exception: Evt empty\n"));
  delete owner;
}

TEST_F(BSchedulerTest, StepLongerThanRtcMaxIsReported) {
  std::vector<std::string> w = {"vask", "rtcmax", "on", "5"};
  std::vector<char*> argv = words(w);
  EXPECT_TRUE(BScheduler::vaskProcDbgStr(4, argv.data()));
  EXPECT_TRUE(cap.has("RTC stats: statChkRTCmax=1 statRTCMax=5"));
  TRoot* root = new TRoot();
  root->_h = [this](BState*, const BEvent*) { tick += 8; };
  root->enter();
  root->sendLocal(local(110));
  cap.clear();
  BScheduler::step();
  const std::string head = "RTC step too long, current:  80 ms rtcMax=5, is 50 ms,    4: 10: 10: 2:#   0 =>     2";
  EXPECT_TRUE(cap.has(head)) << cap.remote;
  EXPECT_TRUE(cap.has(" event,  10: 10:110 d:8\n")) << cap.remote;
  EXPECT_EQ(cap.log, cap.remote);  // the exception also reaches the log
  std::vector<std::string> s = {"vask", "stat"};
  argv = words(s);
  cap.clear();
  BScheduler::vaskProcDbgStr(2, argv.data());
  EXPECT_TRUE(cap.has("statRTCHL=8 (highest RTC-step time, 80 ms)"));
  EXPECT_TRUE(cap.has("prio:mod:cmp:st:#evts => state, action, mod:cmp:sig delta tick."));
  root->leave();
  delete root;
}

TEST_F(BSchedulerTest, VaskHelpAndQueueCommands) {
  TRoot* root = new TRoot();
  root->enter();
  root->sendLocal(local(110));
  std::vector<std::string> w = {"vask", "queue", "help", "prio"};
  std::vector<char*> argv = words(w);
  cap.clear();
  EXPECT_TRUE(BScheduler::vaskProcDbgStr(4, argv.data()));
  EXPECT_TRUE(cap.has("=-->BScheduler::vaskProcDbgStr\n"));
  EXPECT_TRUE(cap.has("    quePtr;prio;mod;cmp;stid;#evt\n"));
  EXPECT_TRUE(cap.has(";   4; 10; 10;   2;   1, sigs:\n"));
  EXPECT_TRUE(cap.has("     List: mod:cmp:sig\n"));
  EXPECT_TRUE(cap.has("            10: 10:110\n"));
  EXPECT_TRUE(cap.has("Timer List (relative timers):"));
  EXPECT_TRUE(cap.has(";       - Print Vask internal data.\n"));
  EXPECT_TRUE(cap.has("ignrst <on|off> (ignore reset in BException) ignrst=1\n"));
  EXPECT_TRUE(cap.has("CurrentPrio:4\n"));
  std::vector<std::string> none = {"vask", "nothing"};
  argv = words(none);
  EXPECT_FALSE(BScheduler::vaskProcDbgStr(2, argv.data()));
  pump();
  root->leave();
  delete root;
}

TEST_F(BSchedulerTest, TerminationWaitsForArmedTimersAndRegisteredQueues) {
  TRoot* root = new TRoot();
  root->enter();
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
  delete root;
}

TEST_F(BSchedulerTest, EventSentToThreeChildrenHasThreeOwnersAndDiesAfterTheThirdStep) {
  struct Counted : BBindingEvent {
    explicit Counted(int* alive) : BBindingEvent(60, true), _alive(alive) { ++*_alive; }
    ~Counted() override { --*_alive; }
    int* _alive;
  };
  struct Child : BBinding {
    Child(ComponentId c) : BBinding(nullptr), _cmp(c) {}
    BRootState* createChild() override { return new TRoot("child", 20, _cmp); }
    void destroyChild() override {}
    ComponentId _cmp;
  };
  struct Binder : BBinderState {
    Binder(BCompositeState* enc) : BBinderState(enc, 10, 10, 30, PRIO_4) {}
    bool isPersistent() override { return false; }
    void onEntry(const BEvent*) override {
      for (ComponentId c : {21, 22, 23}) addBinding(new Child(c));
    }
    void onRejected() override {}
    void onWatchdogError(BBinding*) override {}
  };
  TRoot* root = new TRoot();
  Binder* binder = new Binder(root);
  root->addRegion(binder);
  root->enter();
  pump();
  ASSERT_EQ(binder->nrBindings(), 3);
  int alive = 0;
  Counted* e = new Counted(&alive);
  EXPECT_EQ(binder->sendExternal(e, 20, CMP_UNDEFINED, nullptr), 3);
  EXPECT_EQ(e->refCount(), 3);
  BScheduler::step();
  BScheduler::step();
  EXPECT_EQ(e->refCount(), 1);
  EXPECT_EQ(alive, 1);
  BScheduler::step();
  EXPECT_EQ(alive, 0);
  root->leave();
  pump();
  delete root;
}
