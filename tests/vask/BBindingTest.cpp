#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>

#include "BSystem.h"
#include "BindingFixture.h"

extern char** environ;

using J = std::vector<std::string>;

class BBindingTest : public VaskTest {
protected:
  // A parent component (10, 10) whose binder binds the given children and
  // holds one leaf region.
  void build(std::vector<ChildSpec> children) {
    root = new TRoot("parent", 10, 10);
    binder = new TBinder(root, 10, 10, children);
    binder->addRegion(new TLeaf(binder, "region", 40));
    root->addRegion(binder);
    root->enter();
    pump();
  }
  void TearDown() override {
    if (root) {
      root->leave();
      pump();
      delete root;
    }
    VaskTest::TearDown();
  }
  static std::vector<std::string> only(const std::string& part) {
    std::vector<std::string> out;
    for (const std::string& s : journal())
      if (s.find(part) != std::string::npos) out.push_back(s);
    return out;
  }
  // Queues of one priority take turns, so the children's order is not fixed.
  static std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  }
  TRoot* root = nullptr;
  TBinder* binder = nullptr;
};

TEST_F(BBindingTest, BinderEntersItsRegionsAfterTheLastAcceptAndThenGetsEarlyEventsInOrder) {
  build({{"c1", 20, 21, false}, {"c2", 20, 22, false}});
  TRoot* c1 = binder->child(0);
  TRoot* c2 = binder->child(1);
  ASSERT_NE(c1, nullptr);
  ASSERT_NE(c2, nullptr);
  EXPECT_EQ(sorted(only("setup:")), (J{"setup:c1", "setup:c2"}));
  EXPECT_EQ(c1->accept(static_cast<BKey*>(nullptr)), 1);  // every binding still in setup
  EXPECT_EQ(c1->accept(static_cast<BKey*>(nullptr)), 0);
  EXPECT_TRUE(binder->_bindings[0]->isAccepted());
  EXPECT_EQ(c1->sendBack(new BBindingEvent(60, true), 0, 0, nullptr), 1);
  EXPECT_EQ(c1->sendBack(new BBindingEvent(61, true), 0, 0, nullptr), 1);
  pump();
  EXPECT_TRUE(only("region").empty());
  journal().clear();
  EXPECT_EQ(c2->accept(static_cast<BKey*>(nullptr)), 1);
  pump();
  EXPECT_EQ(only("binder"), (J{"event:binder:60", "event:binder:61"}));
  EXPECT_EQ(only("region"), (J{"entry:region", "event:region:60", "event:region:61"}));
  EXPECT_EQ(journal().front(), "entry:region");
  EXPECT_TRUE(binder->_bindings[0]->isActivated());
  EXPECT_TRUE(binder->_bindings[1]->isActivated());
  EXPECT_STREQ(binder->_bindings[1]->currentStatus(), "ACTIVATED");
}

TEST_F(BBindingTest, SendExternalToTwoChildrenReturnsTwoAndTheEventDiesAfterBothSteps) {
  build({{"c1", 20, 21, true}, {"c2", 20, 22, true}});
  int alive = 0;
  Counted* e = new Counted(60, &alive);
  EXPECT_EQ(binder->sendExternal(e, 20, CMP_UNDEFINED, nullptr), 2);
  EXPECT_EQ(e->refCount(), 2);
  EXPECT_EQ(e->source(), BBindingEvent::PARENT);
  BScheduler::step();
  EXPECT_EQ(alive, 1);
  EXPECT_EQ(e->refCount(), 1);
  BScheduler::step();
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(binder->child(0)->_seen, std::vector<int>{60});
  EXPECT_EQ(binder->child(1)->_seen, std::vector<int>{60});
}

TEST_F(BBindingTest, SendExternalWithoutMatchingChildReportsAndDeletesAtOnce) {
  build({{"c1", 20, 21, true}});
  int alive = 0;
  cap.clear();
  EXPECT_EQ(binder->sendExternal(new Counted(60, &alive), 30, 0, nullptr), 0);
  EXPECT_EQ(alive, 0);
  EXPECT_TRUE(cap.has("Exception: Event not send, no mathing childs found this: mod=10 cmp=10 st=2 parent:" +
                      root->instName() + " evt: mod=30 cmp=0 sig=60\n"))
      << cap.remote;
  // Module 0 matches nothing.
  EXPECT_EQ(binder->sendExternal(new Counted(61, &alive), 0, 0, nullptr), 0);
  EXPECT_EQ(alive, 0);
  pump();
  EXPECT_TRUE(binder->child(0)->_seen.empty());
}

TEST_F(BBindingTest, SendExternalOverBindingNotYetActivatedDeliversNothing) {
  build({{"c1", 20, 21, false}, {"c2", 20, 22, false}});
  binder->child(0)->accept(static_cast<BKey*>(nullptr));
  pump();
  ASSERT_TRUE(binder->_bindings[0]->isAccepted());
  int alive = 0;
  cap.clear();
  EXPECT_EQ(binder->sendExternal(new Counted(60, &alive), 20, 21, nullptr), 0);
  EXPECT_TRUE(cap.has("Exception: Binding not activated mod=20 cmp=21 sig=60\n")) << cap.remote;
  EXPECT_EQ(alive, 0);
  pump();
  EXPECT_TRUE(binder->child(0)->_seen.empty());
}

TEST_F(BBindingTest, ReleasePurgesTheChildsPendingEventsOfThatBinding) {
  build({{"c1", 20, 21, true}});
  TRoot* c1 = binder->child(0);
  BBinding* b = binder->_bindings[0];
  int alive = 0;
  Counted* e = new Counted(60, &alive);
  EXPECT_EQ(binder->sendExternal(e, 20, 21, nullptr), 1);
  e->copy();  // the test keeps it to hand it back later
  pump();
  EXPECT_EQ(c1->_seen, std::vector<int>{60});
  b->release();
  EXPECT_EQ(binder->nrBindings(), 0);
  c1->queue()->post(e);  // an event of that binding still waiting behind the release
  journal().clear();
  cap.clear();
  pump();
  std::ostringstream line;
  line << "cleanup event: " << static_cast<void*>(e) << " (20:21:60)\n";
  EXPECT_TRUE(cap.has(line.str())) << cap.remote;
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(journal(), (J{"release:c1", "destroyChild:c1"}));
}

TEST_F(BBindingTest, EventsOfAReleasedChildStillWaitingAtTheParentAreDropped) {
  // The child runs first, so its binding is gone before the parent would
  // handle what the child sent up.
  build({{"c1", 20, 21, true, PRIO_1}});
  TRoot* c1 = binder->child(0);
  int alive = 0;
  bool answered = false;
  binder->_h = [&](BState* s, const BEvent* e) {
    answered = s->sendBack(static_cast<const BBindingEvent*>(e), new Counted(70, &alive));
  };
  EXPECT_EQ(c1->sendBack(new Counted(60, &alive), 0, 0, nullptr), 1);
  journal().clear();
  cap.clear();
  binder->_bindings[0]->release();
  pump();
  EXPECT_EQ(only("event:binder"), J{});
  EXPECT_FALSE(answered);
  EXPECT_TRUE(cap.has("cleanup event: ")) << cap.remote;
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(only("destroyChild"), J{"destroyChild:c1"});
}

TEST_F(BBindingTest, RejectReleasesEveryBindingOfTheBinder) {
  build({{"c1", 20, 21, false}, {"c2", 20, 22, true}});
  journal().clear();
  EXPECT_EQ(binder->child(0)->reject(static_cast<BKey*>(nullptr)), 1);
  pump();
  EXPECT_EQ(only("rejected"), J{"rejected"});
  EXPECT_EQ(sorted(only("destroyChild")), (J{"destroyChild:c1", "destroyChild:c2"}));
  EXPECT_EQ(binder->nrBindings(), 0);
  EXPECT_TRUE(only("region").empty());
}

TEST_F(BBindingTest, WatchdogTimesOutAfter500TicksAndResetsTenSecondsLater) {
  build({{"c1", 20, 21, true}});
  TRoot* c1 = binder->child(0);
  std::string ids = "mod=20 cmp=21 (c1:" + c1->instName() + ")";
  c1->reloadWatchdog(5);
  tick += 499;
  pump();
  EXPECT_FALSE(cap.has("Watchdog timeout"));
  tick += 1;
  pump();
  EXPECT_TRUE(cap.has("Exception: Watchdog timeout " + ids + "\n")) << cap.remote;
  EXPECT_EQ(only("wderror"), J{"wderror"});
  EXPECT_EQ(binder->_wdBinding, binder->_bindings[0]);
  tick += 999;
  pump();
  EXPECT_FALSE(cap.has("now we reset"));
  tick += 1;
  pump();
  EXPECT_TRUE(cap.has("Fatal Exception: Watchdog not handled by parent, now we reset. " + ids + "\n")) << cap.remote;
  EXPECT_EQ(cap.log, cap.remote);  // exceptions reach the log sink as well
}

TEST_F(BBindingTest, WatchdogErrorHandledByReleasingTheChildGivesNoReset) {
  build({{"c1", 20, 21, true}});
  binder->child(0)->reloadWatchdog(1);
  tick += 100;
  pump();
  ASSERT_NE(binder->_wdBinding, nullptr);
  binder->_wdBinding->release();
  pump();
  EXPECT_EQ(only("destroyChild"), J{"destroyChild:c1"});
  tick += 2000;
  pump();
  EXPECT_FALSE(cap.has("now we reset"));
}

// ---------------------------------------------------------------- single instance

namespace {
// One instance_probe process and what it printed.
struct Probe {
  pid_t pid = -1;
  int out = -1;
  std::string text;
  explicit Probe(const std::string& name) {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    posix_spawn_file_actions_addclose(&fa, fds[1]);
    const char* path = INSTANCE_PROBE;
    char* argv[] = {const_cast<char*>(path), const_cast<char*>(name.c_str()), nullptr};
    if (posix_spawn(&pid, path, &fa, nullptr, argv, environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(fds[1]);
    out = fds[0];
  }
  ~Probe() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (out >= 0) close(out);
  }
  bool waitFor(const std::string& needle, int timeoutMs = 30000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (text.find(needle) == std::string::npos) {
      int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
      pollfd p{out, POLLIN, 0};
      if (left <= 0 || poll(&p, 1, left) != 1) return false;
      char buf[1024];
      ssize_t n = read(out, buf, sizeof buf);
      if (n <= 0) return false;
      text.append(buf, size_t(n));
    }
    return true;
  }
  // Kills the probe; true when it was still running.
  bool killNow() {
    bool running = waitpid(pid, nullptr, WNOHANG) == 0;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
    return running;
  }
  int exitCode() {
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};
}  // namespace

TEST(SingleInstance, SecondProcessWithTheSameNameIsRefusedUntilTheFirstIsKilled) {
  std::string name = "Vask_probe_" + std::to_string(getpid()) + "_MutexId";
  Probe first(name);
  ASSERT_TRUE(first.waitFor("running")) << first.text;
  EXPECT_EQ(BSystem::lockHolder(name), first.pid);
  Probe second(name);
  ASSERT_TRUE(second.waitFor("refused")) << second.text;
  EXPECT_NE(second.text.find("Exception: Error!! mutexID " + name + "Already exists. Assign other Id\n"),
            std::string::npos)
      << second.text;
  EXPECT_EQ(second.exitCode(), 1);
  pid_t firstPid = first.pid;
  EXPECT_TRUE(first.killNow());
  // The lock died with the process that held it.
  Probe third(name);
  ASSERT_TRUE(third.waitFor("running")) << third.text;
  EXPECT_NE(third.pid, firstPid);
  EXPECT_EQ(BSystem::lockHolder(name), third.pid);
  third.killNow();
  unlink(BSystem::lockPath(name).c_str());
}

TEST(SingleInstance, NameShorterThanEightCharactersIsRefused) {
  Probe probe("abc");
  ASSERT_TRUE(probe.waitFor("refused")) << probe.text;
  EXPECT_NE(probe.text.find("Exception: Error!! BMainState::_mutexId not set by Application !!\n"
                            "        Set at least 8 char string. Aborting ...\n"),
            std::string::npos)
      << probe.text;
  EXPECT_EQ(probe.exitCode(), 1);
}

// ---------------------------------------------------------------- more of the handshake

TEST_F(BBindingTest, AnswersTravelBackOnTheBindingOfTheReceivedEvent) {
  build({{"c1", 20, 21, true}});
  TRoot* c1 = binder->child(0);
  int alive = 0;
  std::vector<int> sources;
  c1->_h = [&](BState* s, const BEvent* e) {
    const BBindingEvent* be = static_cast<const BBindingEvent*>(e);
    sources.push_back(be->source());
    if (e->signalId() == 60) {
      EXPECT_TRUE(s->sendBack(be, new Counted(61, &alive)));
    }
  };
  binder->_h = [&](BState* s, const BEvent* e) {
    const BBindingEvent* be = static_cast<const BBindingEvent*>(e);
    sources.push_back(be->source());
    EXPECT_EQ(be->moduleId(), 20);
    EXPECT_EQ(be->componentId(), 21);
    if (e->signalId() == 61) {
      EXPECT_TRUE(s->sendBack(be, new Counted(62, &alive)));
    }
  };
  EXPECT_EQ(binder->sendExternal(new Counted(60, &alive), 20, 21, nullptr), 1);
  pump();
  EXPECT_EQ(c1->_seen, (std::vector<int>{60, 62}));
  EXPECT_EQ(only("event:binder"), J{"event:binder:61"});
  EXPECT_EQ(sources, (std::vector<int>{BBindingEvent::PARENT, BBindingEvent::CHILD, BBindingEvent::PARENT}));
  EXPECT_EQ(alive, 0);
  cap.clear();
  EXPECT_FALSE(c1->sendBack(nullptr, new Counted(63, &alive)));
  EXPECT_TRUE(cap.has("Assertion failed: originalEvent != NULL event undefined"));
  EXPECT_EQ(alive, 0);
}

TEST_F(BBindingTest, KeysPickOneOfTwoChildrenWithTheSameIds) {
  TKey one(1), two(2), other(3);
  build({{"k1", 20, 21, true, PRIO_4, &one}, {"k2", 20, 21, true, PRIO_4, &two}});
  int alive = 0;
  TKey ask(2);
  EXPECT_EQ(binder->sendExternal(new Counted(60, &alive), 20, 21, &ask), 1);
  pump();
  EXPECT_TRUE(binder->child(0)->_seen.empty());
  EXPECT_EQ(binder->child(1)->_seen, std::vector<int>{60});
  // With a key nobody matches there is no complaint, and nothing is delivered.
  cap.clear();
  EXPECT_EQ(binder->sendExternal(new Counted(61, &alive), 20, 21, &other), 0);
  EXPECT_FALSE(cap.has("Event not send"));
  EXPECT_EQ(alive, 0);
  // The child accepts by key as well.
  EXPECT_EQ(binder->child(1)->sendBack(new Counted(62, &alive), 10, 10, &ask), 1);
  pump();
  EXPECT_EQ(only("event:binder"), J{"event:binder:62"});
}

TEST_F(BBindingTest, AcceptByKeyTakesOnlyTheMatchingBinding) {
  // One child component with two parents: two binders in one parent, each
  // binding the same persistent child with its own key.
  struct Shared : BBinding {
    Shared(TRoot** shared, int* users, BKey* k) : BBinding(k), _shared(shared), _users(users) {}
    BRootState* createChild() override {
      if (!*_shared) {
        *_shared = new PersistentRoot();
        static_cast<TRoot*>(*_shared)->_autoAccept = false;
        (*_shared)->enter();
      }
      ++*_users;
      return *_shared;
    }
    void destroyChild() override {
      if (--*_users == 0) {
        (*_shared)->leave();
        delete *_shared;
        *_shared = nullptr;
      }
    }
    struct PersistentRoot : TRoot {
      PersistentRoot() : TRoot("shared", 20, 23) {}
      bool isPersistent() override { return true; }
    };
    TRoot** _shared;
    int* _users;
  };
  struct KeyBinder : BBinderState {
    KeyBinder(BCompositeState* enc, StateId id, TRoot** shared, int* users, BKey* k)
        : BBinderState(enc, 10, 10, id, PRIO_4), _shared(shared), _users(users), _k(k) {}
    bool isPersistent() override { return false; }
    void onEntry(const BEvent*) override { addBinding(_b = new Shared(_shared, _users, _k)); }
    void onRejected() override {}
    void onWatchdogError(BBinding*) override {}
    TRoot** _shared;
    int* _users;
    BKey* _k;
    BBinding* _b = nullptr;
  };
  TRoot* shared = nullptr;
  int users = 0;
  TKey a(1), b(2);
  root = new TRoot("parent", 10, 10);
  KeyBinder* ba = new KeyBinder(root, 31, &shared, &users, &a);
  KeyBinder* bb = new KeyBinder(root, 32, &shared, &users, &b);
  root->addRegion(ba);
  root->addRegion(bb);
  root->enter();
  pump();
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(users, 2);
  EXPECT_EQ(shared->nrParents(), 2);
  EXPECT_EQ(shared->accept(MOD_UNDEFINED, CMP_UNDEFINED, &b), 1);
  EXPECT_TRUE(bb->_b->isAccepted());
  EXPECT_TRUE(ba->_b->isConnecting());
  EXPECT_EQ(shared->accept(10, 10, &a), 1);
  pump();
  EXPECT_TRUE(ba->_b->isActivated());
  EXPECT_TRUE(bb->_b->isActivated());
  // Releasing one parent leaves the shared child running for the other.
  ba->_b->release();
  pump();
  EXPECT_EQ(users, 1);
  ASSERT_NE(shared, nullptr);
  EXPECT_TRUE(shared->isInitialised());
  EXPECT_EQ(shared->nrParents(), 1);
  root->leave();
  pump();
  EXPECT_EQ(shared, nullptr);
  EXPECT_EQ(users, 0);
  delete root;
  root = nullptr;
}

TEST_F(BBindingTest, ActivationAndDeletionOfBindingsAreTracedWithBit0x0200) {
  build({{"c1", 20, 21, false}});
  TRoot* c1 = binder->child(0);
  c1->debugLevel(0x0200);
  cap.clear();
  c1->accept(static_cast<BKey*>(nullptr));
  pump();
  EXPECT_TRUE(cap.has(";=actbnd>;10:10->20:21 (c1:" + c1->instName() + ")\n")) << cap.remote;
  std::string inst = c1->instName();
  binder->_bindings[0]->release();
  pump();
  EXPECT_TRUE(cap.has(";=delbnd>;10:10->20:21 persistent:0 (c1:" + inst + ")\n")) << cap.remote;
}

TEST_F(BBindingTest, ExitingAChildThatStillHasParentsIsReported) {
  build({{"c1", 20, 21, true}});
  TRoot* c1 = binder->child(0);
  cap.clear();
  c1->leave();
  EXPECT_TRUE(cap.has("Exception: Parentlist not empty mod=20 cmp=21 (c1:" + c1->instName() + ")\n")) << cap.remote;
  EXPECT_TRUE(cap.has(";Parents:\n"));
  EXPECT_TRUE(cap.has(";mod:10 comp:10\n"));
  c1->enter();  // back, so that the release at the end finds it entered
}
