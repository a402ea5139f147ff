#ifndef VASKFIXTURE_H
#define VASKFIXTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "BBinderState.h"
#include "BBinding.h"
#include "BBindingEvent.h"
#include "BCompositeState.h"
#include "BEvtQueue.h"
#include "BLocalEvent.h"
#include "BMainState.h"
#include "BRootState.h"
#include "BScheduler.h"
#include "BSimpleState.h"
#include "BTimerTick.h"
#include "DiagCapture.h"

// What the test states did, in order.
inline std::vector<std::string>& journal() {
  static std::vector<std::string> j;
  return j;
}

typedef std::function<void(BState*, const BEvent*)> Handler;

class TLeaf : public BSimpleState {
public:
  TLeaf(BCompositeState* enc, const std::string& tag, StateId id = FIRST_STATE, Handler h = nullptr)
      : BSimpleState(enc, 10, 10, id), _tag(tag), _h(h) {}
  ~TLeaf() override { journal().push_back("delete:" + _tag); }
  bool isPersistent() override { return false; }
  void onEntry(const BEvent*) override { journal().push_back("entry:" + _tag); }
  void onExit(const BEvent*) override { journal().push_back("exit:" + _tag); }
  void onEvent(const BEvent* e) override {
    journal().push_back("event:" + _tag + ":" + std::to_string(e ? e->signalId() : -1));
    if (_h) _h(this, e);
  }
  std::string _tag;
  Handler _h;
};

class TComposite : public BCompositeState {
public:
  TComposite(BCompositeState* enc, const std::string& tag, StateId id, Handler h = nullptr, BEvtQueue* q = nullptr)
      : BCompositeState(enc, 10, 10, id, PRIO_4, q ? q : nullptr), _tag(tag), _h(h) {}
  ~TComposite() override { journal().push_back("delete:" + _tag); }
  bool isPersistent() override { return false; }
  void onEntry(const BEvent*) override { journal().push_back("entry:" + _tag); }
  void onExit(const BEvent*) override { journal().push_back("exit:" + _tag); }
  void onInitial(const BEvent*, RegionId r) override { journal().push_back("init:" + _tag + ":" + std::to_string(r)); }
  void onEvent(const BEvent* e) override {
    journal().push_back("event:" + _tag + ":" + std::to_string(e ? e->signalId() : -1));
    if (_h) _h(this, e);
  }
  void onDone(const BEvent* e, RegionId r) override {
    journal().push_back("done:" + _tag + ":" + std::to_string(r));
    if (_onDone) _onDone(this, e);
    else BCompositeState::onDone(e, r);
  }
  void onError(const BEvent* e, RegionId r) override {
    journal().push_back("error:" + _tag + ":" + std::to_string(r));
    BCompositeState::onError(e, r);
  }
  std::string _tag;
  Handler _h;
  Handler _onDone;
};

// A component root the tests enter and leave by hand.
class TRoot : public BRootState {
public:
  TRoot(const char* name = "troot", ModuleId mod = 10, ComponentId cmp = 10, BPriority prio = PRIO_4)
      : BRootState(name, mod, cmp, prio) {}
  bool isPersistent() override { return false; }
  void onSetup(BBinding* b) override {
    journal().push_back(std::string("setup:") + name());
    if (_autoAccept) accept(b);
  }
  void onRelease(BBinding*) override { journal().push_back(std::string("release:") + name()); }
  void onEvent(const BEvent* e) override {
    journal().push_back(std::string("event:") + name() + ":" + std::to_string(e->signalId()));
    if (_h) _h(this, e);
    _seen.push_back(e->signalId());
  }
  void enter() { initialize(); }
  void leave() { abort(); }
  bool _autoAccept = true;
  Handler _h;
  std::vector<int> _seen;
};

class TMain : public BMainState {
public:
  TMain() { mutexId(("vasktest_" + std::to_string(getpid())).c_str()); }
};

// Every runtime test starts from a clean scheduler, a fake clock and a
// background main state, so a step with nothing to do puts the system to sleep.
class VaskTest : public ::testing::Test {
protected:
  void SetUp() override {
    journal().clear();
    BScheduler::reset();
    tick = 1000;
    setTimerTickPtr(&tick);
    main = new TMain();
    main->startup();
    ASSERT_EQ(BScheduler::systemStatus(), BScheduler::SYSTEM_SLEEPING);
  }
  void TearDown() override {
    main->shutdown();
    for (int i = 0; i < 1000 && !BScheduler::terminated(); ++i) BScheduler::step();
    delete main;
    BScheduler::reset();
    setTimerTickPtr(nullptr);
  }
  // Steps until the system sleeps; returns the number of steps.
  int pump(int max = 1000) {
    int n = 0;
    while (n < max) {
      BScheduler::step();
      ++n;
      if (BScheduler::systemStatus() != BScheduler::SYSTEM_ACTIVE) break;
    }
    return n;
  }
  static BLocalEvent* local(SignalId sig) { return new BLocalEvent(sig, true); }

  uint32_t tick;
  TMain* main = nullptr;
  DiagCapture cap;
};

#endif
