#include "VaskFixture.h"

using J = std::vector<std::string>;

class BStateTest : public VaskTest {};

TEST_F(BStateTest, EntryAndExitOrderWithTwoRegions) {
  TRoot* root = new TRoot();
  TComposite* c = new TComposite(root, "C", 20);
  TComposite* a = new TComposite(c, "A", 21);
  a->addRegion(new TLeaf(a, "A1", 22));
  c->addRegion(a);
  c->addRegion(new TLeaf(c, "B", 23));
  root->addRegion(c);
  root->enter();
  EXPECT_EQ(journal(), (J{"entry:C", "init:C:0", "entry:A", "init:A:0", "entry:A1", "init:C:1", "entry:B"}));
  journal().clear();
  root->leave();
  EXPECT_EQ(journal(), (J{"exit:A1", "delete:A1", "exit:A", "delete:A", "exit:B", "delete:B", "exit:C", "delete:C"}));
  delete root;
}

TEST_F(BStateTest, LeafThatIgnoresAnEventLetsTheCompositeSeeIt) {
  TRoot* root = new TRoot();
  TComposite* c = new TComposite(root, "C", 20);
  c->addRegion(new TLeaf(c, "quiet", 21));
  c->addRegion(new TLeaf(c, "eater", 22, [](BState* s, const BEvent* e) {
    if (e->signalId() == 111) s->transition(static_cast<BState*>(nullptr));
  }));
  root->addRegion(c);
  root->enter();
  journal().clear();
  root->sendLocal(local(110));
  root->sendLocal(local(111));
  pump();
  EXPECT_EQ(journal(), (J{"event:quiet:110", "event:eater:110", "event:C:110", "event:troot:110",
                          "event:quiet:111", "event:eater:111"}));
  root->leave();
  delete root;
}

TEST_F(BStateTest, TwoRegionsBothConsumingIsNoShadowConflict) {
  TRoot* root = new TRoot();
  TComposite* c = new TComposite(root, "C", 20);
  Handler consume = [](BState* s, const BEvent*) { s->transition(static_cast<BState*>(nullptr)); };
  c->addRegion(new TLeaf(c, "X0", 21, consume));
  c->addRegion(new TLeaf(c, "X1", 22, consume));
  root->addRegion(c);
  root->enter();
  journal().clear();
  root->sendLocal(local(110));
  pump();
  EXPECT_EQ(journal(), (J{"event:X0:110", "event:X1:110"}));
  EXPECT_FALSE(cap.has("Shadow transition already set"));
  root->leave();
  delete root;
}

TEST_F(BStateTest, SecondRequestInOneDispatchIsTheShadowConflictAndTheFirstStays) {
  TRoot* root = new TRoot();
  TComposite* c = new TComposite(root, "C", 20);
  c->addRegion(new TLeaf(c, "X0", 21, [](BState* s, const BEvent*) { s->transition(BState::B_DONE); }));
  c->addRegion(new TLeaf(c, "X1", 22, [](BState* s, const BEvent*) { s->transition(static_cast<BState*>(nullptr)); }));
  c->_onDone = [root](BState* s, const BEvent*) { s->transition(new TLeaf(root, "T", 30)); };
  root->addRegion(c);
  root->enter();
  journal().clear();
  root->sendLocal(local(110));
  pump();
  EXPECT_TRUE(cap.has("Fatal Exception: Shadow transition already set\n"));
  EXPECT_EQ(journal(), (J{"event:X0:110", "exit:X0", "delete:X0", "done:C:0", "event:X1:110", "exit:X1",
                          "delete:X1", "exit:C", "delete:C", "entry:T"}));
  EXPECT_EQ(root->region(0)->stateId(), 30);
  root->leave();
  delete root;
}

TEST_F(BStateTest, DoneEmptiesTheRegionAndLaterEventsSkipIt) {
  TRoot* root = new TRoot();
  TComposite* c = new TComposite(root, "C", 20);
  c->addRegion(new TLeaf(c, "L", 21, [](BState* s, const BEvent*) { s->transition(BState::B_DONE); }));
  root->addRegion(c);
  root->enter();
  journal().clear();
  root->sendLocal(local(110));
  pump();
  EXPECT_EQ(journal(), (J{"event:L:110", "exit:L", "delete:L", "done:C:0"}));
  EXPECT_EQ(c->region(0), nullptr);
  EXPECT_EQ(c->nrRegions(), 1);
  journal().clear();
  root->sendLocal(local(111));
  pump();
  EXPECT_EQ(journal(), (J{"event:C:111", "event:troot:111"}));
  root->leave();
  delete root;
}

TEST_F(BStateTest, ErrorRunsOnErrorAndEmptiesTheRegion) {
  TRoot* root = new TRoot();
  TComposite* c = new TComposite(root, "C", 20);
  c->addRegion(new TLeaf(c, "L", 21, [](BState* s, const BEvent*) { s->transition(BState::B_ERROR); }));
  root->addRegion(c);
  root->enter();
  journal().clear();
  root->sendLocal(local(110));
  pump();
  EXPECT_EQ(journal(), (J{"event:L:110", "exit:L", "delete:L", "error:C:0"}));
  EXPECT_EQ(c->region(0), nullptr);
  root->leave();
  delete root;
}

TEST_F(BStateTest, TargetTransitionReplacesTheStateAfterItsHandlerReturned) {
  TRoot* root = new TRoot();
  root->addRegion(new TLeaf(root, "A", 21, [root](BState* s, const BEvent*) {
    s->transition(new TLeaf(root, "B", 22));
    journal().push_back("after-transition:" + static_cast<TLeaf*>(s)->_tag);  // still alive here
  }));
  root->enter();
  journal().clear();
  root->sendLocal(local(110));
  pump();
  EXPECT_EQ(journal(), (J{"event:A:110", "after-transition:A", "exit:A", "delete:A", "entry:B"}));
  root->leave();
  delete root;
}

TEST_F(BStateTest, DeferredEventsComeBackInOrderAtTheFrontOfTheQueue) {
  TRoot* root = new TRoot();
  root->addRegion(new TLeaf(root, "wait", 21, [root](BState* s, const BEvent* e) {
    if (e->signalId() == 112)
      s->transition(new TLeaf(root, "ready", 22));
    else
      e->defer();
  }));
  root->enter();
  for (int sig : {110, 111, 112, 113}) root->sendLocal(local(static_cast<SignalId>(sig)));
  pump();
  J ready;
  for (const std::string& l : journal())
    if (l.rfind("event:ready", 0) == 0) ready.push_back(l);
  EXPECT_EQ(ready, (J{"event:ready:110", "event:ready:111", "event:ready:113"}));
  root->leave();
  delete root;
}

TEST_F(BStateTest, SendLocalToUnknownStateIdIsDroppedAtTheRoot) {
  TRoot* root = new TRoot();
  TLeaf* leaf = new TLeaf(root, "L", 21);
  root->addRegion(leaf);
  root->enter();
  EXPECT_FALSE(leaf->sendLocal(local(110), 99));
  EXPECT_TRUE(cap.has("Assertion failed: 0 Event cannot be send, root reached"));
  EXPECT_TRUE(leaf->sendLocal(local(110), STATE_ROOT));
  EXPECT_TRUE(root->queue()->count() == 1);
  EXPECT_FALSE(leaf->sendLocal(nullptr));
  EXPECT_TRUE(cap.has("Assertion failed: event != NULL event undefined"));
  root->leave();
  delete root;
}

TEST_F(BStateTest, TransitionTraceLinesFollowTheDebugLevel) {
  TRoot* root = new TRoot("Comp");
  root->addRegion(new TLeaf(root, "A", 21, [root](BState* s, const BEvent*) { s->transition(new TLeaf(root, "B", 22)); }));
  root->enter();
  root->debugLevel(DBG_ALL);
  cap.clear();
  root->sendLocal(local(110));
  pump();
  EXPECT_TRUE(cap.has("=sl>;10:10->2;evt[10:10:110;"));
  EXPECT_TRUE(cap.has("=ext>;10:10:21;enclosing[10:10:2] (Comp:"));
  EXPECT_TRUE(cap.has("=ent>;10:10:22;enclosing[10:10:2] (Comp:"));
  EXPECT_TRUE(cap.has("=tt>;10:10:21->22;evt[10:10:110;"));
  EXPECT_TRUE(cap.has("]processed (Comp:" + root->instName() + ")\n"));
  root->leave();
  delete root;
}
