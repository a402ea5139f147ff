#include "Vask.h"

class BStateTest : public VaskTest {
protected:
  // root > composite C (20) > the given leaves as its regions.
  TComposite* composite(std::vector<std::pair<const char*, Handler>> leaves) {
    root = make("Comp");
    TComposite* c = new TComposite(root, "C", 20);
    StateId id = 21;
    for (auto& l : leaves) c->addRegion(new TLeaf(c, l.first, id++, l.second));
    root->addRegion(c);
    root->enter();
    journal().clear();
    return c;
  }
  void send(std::initializer_list<int> sigs) {
    for (int s : sigs) root->sendLocal(local(SignalId(s)));
    pump();
  }
  TRoot* root = nullptr;
};

TEST_F(BStateTest, EntryAndExitOrderWithTwoRegions) {
  TRoot* root = make();
  TComposite* c = new TComposite(root, "C", 20);
  TComposite* a = new TComposite(c, "A", 21);
  a->addRegion(new TLeaf(a, "A1", 22));
  c->addRegion(a);
  c->addRegion(new TLeaf(c, "B", 23));
  root->addRegion(c);
  root->enter();
  EXPECT_EQ(journal(), (J{"entry:troot", "entry:C", "init:C:0", "entry:A", "init:A:0", "entry:A1", "init:C:1", "entry:B"}));
  journal().clear();
  root->leave();
  EXPECT_EQ(journal(), (J{"exit:A1", "delete:A1", "exit:A", "delete:A", "exit:B", "delete:B", "exit:C", "delete:C", "exit:troot"}));
}

// An event goes to every region, then to the enclosing states, unless a
// region consumed it.
TEST_F(BStateTest, UnconsumedEventsGoOnToTheEnclosingStates) {
  composite({{"quiet", nullptr}, {"eater", [](BState* s, const BEvent* e) {
               if (e->signalId() == 111) consume(s, e);
             }}});
  send({110, 111});
  EXPECT_EQ(journal(), (J{"event:quiet:110", "event:eater:110", "event:C:110", "event:Comp:110", "event:quiet:111",
                          "event:eater:111"}));
}

TEST_F(BStateTest, OnlyASecondRealTransitionInOneDispatchIsAConflictAndTheFirstStays) {
  composite({{"X0", consume}, {"X1", consume}});
  send({110});
  EXPECT_EQ(journal(), (J{"event:X0:110", "event:X1:110"}));
  EXPECT_FALSE(cap.has("Shadow transition already set"));

  TComposite* c = composite({{"X0", [](BState* s, const BEvent*) { s->transition(BState::B_DONE); }}, {"X1", consume}});
  TRoot* r = root;
  c->_onDone = [r](BState* s, const BEvent*) { s->transition(new TLeaf(r, "T", 30)); };
  send({110});
  EXPECT_TRUE(cap.has("Fatal Exception: Shadow transition already set\n"));
  EXPECT_EQ(journal(), (J{"event:X0:110", "exit:X0", "delete:X0", "done:C:0", "event:X1:110", "exit:X1", "delete:X1",
                          "exit:C", "delete:C", "entry:T"}));
  EXPECT_EQ(root->region(0)->stateId(), 30);
}

TEST_F(BStateTest, DoneAndErrorEmptyTheRegionAndLaterEventsSkipIt) {
  for (BState::BFinal final : {BState::B_DONE, BState::B_ERROR}) {
    const std::string what = final == BState::B_DONE ? "done" : "error";
    TComposite* c = composite({{"L", [final](BState* s, const BEvent*) { s->transition(final); }}});
    send({110});
    EXPECT_EQ(journal(), (J{"event:L:110", "exit:L", "delete:L", what + ":C:0"}));
    EXPECT_EQ(c->region(0), nullptr);
    EXPECT_EQ(c->nrRegions(), 1);
    journal().clear();
    send({111});
    EXPECT_EQ(journal(), (J{"event:C:111", "event:Comp:111"}));
  }
}

TEST_F(BStateTest, DeferredEventsComeBackInOrderAtTheFrontOfTheQueue) {
  TRoot* r = root = make();
  r->addRegion(new TLeaf(r, "wait", 21, [r](BState* s, const BEvent* e) {
    if (e->signalId() == 112)
      s->transition(new TLeaf(r, "ready", 22));
    else
      e->defer();
  }));
  r->enter();
  send({110, 111, 112, 113});
  EXPECT_EQ(only("event:ready"), (J{"event:ready:110", "event:ready:111", "event:ready:113"}));
}

TEST_F(BStateTest, SendLocalToUnknownStateIdIsDroppedAtTheRoot) {
  TComposite* c = composite({{"L", nullptr}});
  BState* leaf = c->region(0);
  EXPECT_FALSE(leaf->sendLocal(local(110), 99));
  EXPECT_TRUE(cap.has("Assertion failed: 0 Event cannot be send, root reached"));
  EXPECT_TRUE(leaf->sendLocal(local(111), 20));  // a composite with a queue of its own
  EXPECT_EQ(c->queue()->count(), 1);
  EXPECT_FALSE(leaf->sendLocal(nullptr));
}

TEST_F(BStateTest, TargetTransitionReplacesTheStateAfterItsHandlerReturnedAndIsTraced) {
  TRoot* r = root = make("Comp");
  r->addRegion(new TLeaf(r, "A", 21, [r](BState* s, const BEvent*) {
    s->transition(new TLeaf(r, "B", 22));
    note("after-transition:" + static_cast<TLeaf*>(s)->_tag);  // still alive here
  }));
  r->enter();
  r->debugLevel(DBG_ALL);
  journal().clear();
  cap.clear();
  send({110});
  EXPECT_EQ(journal(), (J{"event:A:110", "after-transition:A", "exit:A", "delete:A", "entry:B"}));
  EXPECT_TRUE(cap.has("=sl>;10:10->2;evt[10:10:110;"));
  EXPECT_TRUE(cap.has("=ext>;10:10:21;enclosing[10:10:2] (Comp:"));
  EXPECT_TRUE(cap.has("=ent>;10:10:22;enclosing[10:10:2] (Comp:"));
  EXPECT_TRUE(cap.has("=tt>;10:10:21->22;evt[10:10:110;"));
  EXPECT_TRUE(cap.has("]processed (Comp:" + r->instName() + ")\n"));
  r->debugLevel(0);
  cap.clear();
  send({111});
  EXPECT_EQ(cap.remote, "");
}
