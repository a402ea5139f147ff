#include <algorithm>
#include <sstream>

#include "Vask.h"

static J sorted(J v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST_F(VaskTest, BinderEntersItsRegionsAfterTheLastAcceptAndThenGetsEarlyEventsInOrder) {
  TBinder* b = binder({{"c1", 20, 21, false}, {"c2", 20, 22, false}});
  TRoot* c1 = b->child(0);
  EXPECT_EQ(sorted(only("setup:")), (J{"setup:c1", "setup:c2"}));
  EXPECT_EQ(c1->accept(static_cast<BKey*>(nullptr)), 1);  // every binding still in setup
  EXPECT_EQ(c1->accept(static_cast<BKey*>(nullptr)), 0);
  EXPECT_TRUE(b->_bindings[0]->isAccepted());
  int alive = 0;  // accepted is not yet activated: nothing goes down
  EXPECT_EQ(b->sendExternal(new Counted(62, &alive), 20, 21, nullptr), 0);
  EXPECT_TRUE(cap.has("Exception: Binding not activated mod=20 cmp=21 sig=62\n")) << cap.remote;
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(c1->sendBack(new BBindingEvent(60, true), 0, 0, nullptr), 1);
  EXPECT_EQ(c1->sendBack(new BBindingEvent(61, true), 0, 0, nullptr), 1);
  pump();
  EXPECT_TRUE(only("region").empty());
  journal().clear();
  EXPECT_EQ(b->child(1)->accept(static_cast<BKey*>(nullptr)), 1);
  pump();
  EXPECT_EQ(journal(), (J{"entry:region", "event:region:60", "event:binder:60", "event:region:61", "event:binder:61"}));
  EXPECT_STREQ(b->_bindings[0]->currentStatus(), "ACTIVATED");
  EXPECT_STREQ(b->_bindings[1]->currentStatus(), "ACTIVATED");
}

TEST_F(VaskTest, SendExternalGivesEveryMatchingChildAReferenceAndOnlyThose) {
  TBinder* b = binder({{"c1", 20, 21, true}, {"c2", 20, 22, true}, {"other", 30, 21, true}});
  int alive = 0;
  Counted* e = new Counted(60, &alive);
  EXPECT_EQ(b->sendExternal(e, 20, CMP_UNDEFINED, nullptr), 2);
  EXPECT_EQ(e->refCount(), 2);
  EXPECT_EQ(e->source(), BBindingEvent::PARENT);
  BScheduler::step();
  EXPECT_EQ(alive, 1);
  BScheduler::step();
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(b->child(0)->_seen, std::vector<int>{60});
  EXPECT_EQ(b->child(1)->_seen, std::vector<int>{60});
  EXPECT_EQ(b->sendExternal(new Counted(61, &alive), 20, 22, nullptr), 1);
  cap.clear();
  EXPECT_EQ(b->sendExternal(new Counted(62, &alive), 40, 0, nullptr), 0);
  EXPECT_TRUE(cap.has("Exception: Event not send, no mathing childs found this: mod=10 cmp=10 st=2 parent:" +
                      b->enclosing()->instName() + " evt: mod=40 cmp=0 sig=62\n")) << cap.remote;
  EXPECT_EQ(b->sendExternal(new Counted(63, &alive), 0, 0, nullptr), 0);  // module 0 matches nothing
  EXPECT_EQ(b->child(0)->sendBack(new Counted(64, &alive), 10, 11, nullptr), 0);  // not the parent's component
  pump();
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(b->child(1)->_seen, (std::vector<int>{60, 61}));
  EXPECT_TRUE(b->child(2)->_seen.empty());
}

TEST_F(VaskTest, ReleasePurgesTheEventsOfThatBindingOnBothSides) {
  // An event of the binding still waiting in the child behind the release.
  TBinder* b = binder({{"c1", 20, 21, true}});
  TRoot* c1 = b->child(0);
  int alive = 0;
  Counted* e = new Counted(60, &alive);
  EXPECT_EQ(b->sendExternal(e, 20, 21, nullptr), 1);
  e->copy();  // the test keeps it to hand it back later
  pump();
  b->_bindings[0]->release();
  EXPECT_EQ(b->nrBindings(), 0);
  c1->queue()->post(e);
  journal().clear();
  cap.clear();
  pump();
  std::ostringstream line;
  line << "cleanup event: " << static_cast<void*>(e) << " (20:21:60)\n";
  EXPECT_TRUE(cap.has(line.str())) << cap.remote;
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(journal(), (J{"release:c1", "exit:c1", "destroyChild:c1", "delete:c1"}));
}

TEST_F(VaskTest, RejectReleasesEveryBindingOfTheBinder) {
  TBinder* b = binder({{"c1", 20, 21, false}, {"c2", 20, 22, true}});
  journal().clear();
  EXPECT_EQ(b->child(0)->reject(static_cast<BKey*>(nullptr)), 1);
  pump();
  EXPECT_EQ(only("rejected"), J{"rejected"});
  EXPECT_EQ(sorted(only("destroyChild")), (J{"destroyChild:c1", "destroyChild:c2"}));
  EXPECT_EQ(b->nrBindings(), 0);
  EXPECT_TRUE(only("region").empty());
}

TEST_F(VaskTest, WatchdogTimesOutAfterItsTimeAndResetsTenSecondsLaterUnlessHandled) {
  TBinder* b = binder({{"c1", 20, 21, true}, {"c2", 20, 22, true}});
  TRoot* c1 = b->child(0);
  std::string ids = "mod=20 cmp=21 (c1:" + c1->instName() + ")";
  c1->reloadWatchdog(5);
  b->child(1)->reloadWatchdog(5);
  tick += 499;
  pump();
  EXPECT_FALSE(cap.has("Watchdog timeout"));
  b->child(1)->reloadWatchdog(50);
  tick += 1;
  pump();
  EXPECT_TRUE(cap.has("Exception: Watchdog timeout " + ids + "\n")) << cap.remote;
  EXPECT_EQ(only("wderror"), J{"wderror"});
  EXPECT_EQ(b->_wdBinding, b->_bindings[0]);
  tick += 999;
  pump();
  EXPECT_FALSE(cap.has("now we reset"));
  tick += 1;
  pump();
  EXPECT_TRUE(cap.has("Fatal Exception: Watchdog not handled by parent, now we reset. " + ids + "\n")) << cap.remote;
  EXPECT_EQ(cap.log, cap.remote);
}

TEST_F(VaskTest, AnswersTravelBackOnTheBindingOfTheReceivedEvent) {
  TBinder* b = binder({{"c1", 20, 21, true}});
  TRoot* c1 = b->child(0);
  int alive = 0;
  std::vector<int> sources;
  c1->_h = [&](BState* s, const BEvent* e) {
    sources.push_back(static_cast<const BBindingEvent*>(e)->source());
    if (e->signalId() == 60) {
      EXPECT_TRUE(s->sendBack(static_cast<const BBindingEvent*>(e), new Counted(61, &alive)));
    }
  };
  b->_h = [&](BState* s, const BEvent* e) {
    sources.push_back(static_cast<const BBindingEvent*>(e)->source());
    EXPECT_EQ(e->moduleId(), 20);
    EXPECT_EQ(e->componentId(), 21);
    EXPECT_TRUE(s->sendBack(static_cast<const BBindingEvent*>(e), new Counted(62, &alive)));
  };
  EXPECT_EQ(b->sendExternal(new Counted(60, &alive), 20, 21, nullptr), 1);
  pump();
  EXPECT_EQ(c1->_seen, (std::vector<int>{60, 62}));
  EXPECT_EQ(sources, (std::vector<int>{BBindingEvent::PARENT, BBindingEvent::CHILD, BBindingEvent::PARENT}));
  EXPECT_FALSE(c1->sendBack(nullptr, new Counted(63, &alive)));
  EXPECT_TRUE(cap.has("Assertion failed: originalEvent != NULL event undefined"));
  EXPECT_EQ(alive, 0);
}

// With a key nobody matches nothing is delivered, and there is no complaint.
TEST_F(VaskTest, KeysPickOneOfTwoChildrenWithTheSameIds) {
  TKey one(1), two(2), other(3), ask(2);
  TBinder* b = binder({{"k1", 20, 21, true, &one}, {"k2", 20, 21, true, &two}});
  int alive = 0;
  cap.clear();
  EXPECT_EQ(b->sendExternal(new Counted(60, &alive), 20, 21, &ask), 1);
  EXPECT_EQ(b->sendExternal(new Counted(61, &alive), 20, 21, &other), 0);
  EXPECT_EQ(b->child(1)->sendBack(new Counted(62, &alive), 10, 10, &ask), 1);
  EXPECT_EQ(b->child(1)->sendBack(new Counted(63, &alive), 10, 10, &other), 0);
  EXPECT_FALSE(cap.has("Event not send"));
  pump();
  EXPECT_TRUE(b->child(0)->_seen.empty());
  EXPECT_EQ(b->child(1)->_seen, std::vector<int>{60});
  EXPECT_EQ(only("event:binder"), J{"event:binder:62"});
  EXPECT_EQ(alive, 0);
}

// One child component with two parents: two binders, each binding the same
// persistent child with its own key; the child accepts them one by one.
TEST_F(VaskTest, SharedChildAcceptsByKeyAndOutlivesOneParent) {
  struct Shared : BBinding {
    Shared(TRoot** shared, int* users, BKey* k) : BBinding(k), _shared(shared), _users(users) {}
    struct Persistent : TRoot {
      Persistent() : TRoot("shared", 20, 23) { _autoAccept = false; }
      bool isPersistent() override { return true; }
    };
    BRootState* createChild() override {
      if (!*_shared) (*_shared = new Persistent())->enter();
      ++*_users;
      return *_shared;
    }
    void destroyChild() override {
      if (--*_users > 0) return;
      (*_shared)->leave();
      delete *_shared;
      *_shared = nullptr;
    }
    TRoot** _shared;
    int* _users;
  };
  struct KeyBinder : BBinderState {
    KeyBinder(BCompositeState* enc, StateId id, BBinding* b) : BBinderState(enc, 10, 10, id, PRIO_4), _b(b) {}
    bool isPersistent() override { return false; }
    void onEntry(const BEvent*) override { addBinding(_b); }
    void onRejected() override {}
    void onWatchdogError(BBinding*) override {}
    BBinding* _b;
  };
  TRoot* shared = nullptr;
  int users = 0;
  TKey a(1), b(2);
  TRoot* root = make("parent");
  KeyBinder* ba = new KeyBinder(root, 31, new Shared(&shared, &users, &a));
  KeyBinder* bb = new KeyBinder(root, 32, new Shared(&shared, &users, &b));
  root->addRegion(ba);
  root->addRegion(bb);
  root->enter();
  pump();
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(shared->nrParents(), 2);
  EXPECT_EQ(shared->accept(MOD_UNDEFINED, CMP_UNDEFINED, &b), 1);
  EXPECT_TRUE(bb->_b->isAccepted());
  EXPECT_TRUE(ba->_b->isConnecting());
  EXPECT_EQ(shared->accept(10, 11, &a), 0);
  EXPECT_EQ(shared->accept(10, 10, &a), 1);
  pump();
  EXPECT_TRUE(ba->_b->isActivated());
  EXPECT_TRUE(bb->_b->isActivated());
  ba->_b->release();
  pump();
  EXPECT_EQ(users, 1);
  ASSERT_NE(shared, nullptr);
  EXPECT_TRUE(shared->isInitialised());
  EXPECT_EQ(shared->nrParents(), 1);
  root->leave();
  pump();
  EXPECT_EQ(shared, nullptr);
}

TEST_F(VaskTest, BindingsAreTracedWithBit0x0200AndAChildLeftWithParentsIsReported) {
  TBinder* b = binder({{"c1", 20, 21, false}});
  TRoot* c1 = b->child(0);
  std::string inst = c1->instName();
  c1->debugLevel(0x0200);
  cap.clear();
  c1->accept(static_cast<BKey*>(nullptr));
  pump();
  EXPECT_TRUE(cap.has(";=actbnd>;10:10->20:21 (c1:" + inst + ")\n")) << cap.remote;
  c1->leave();
  EXPECT_TRUE(cap.has("Exception: Parentlist not empty mod=20 cmp=21 (c1:" + inst + ")\n")) << cap.remote;
  EXPECT_TRUE(cap.has(";mod:10 comp:10\n"));
  c1->enter();  // back, so that the release finds it entered
  c1->debugLevel(0x0200);
  inst = c1->instName();
  b->_bindings[0]->release();
  pump();
  EXPECT_TRUE(cap.has(";=delbnd>;10:10->20:21 persistent:0 (c1:" + inst + ")\n")) << cap.remote;
}
