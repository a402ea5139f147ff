#ifndef VASK_H
#define VASK_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "BBinderState.h"
#include "BBinding.h"
#include "BBindingEvent.h"
#include "BEvtQueue.h"
#include "BKey.h"
#include "BLocalEvent.h"
#include "BMainState.h"
#include "BRootState.h"
#include "BScheduler.h"
#include "BSimpleState.h"
#include "BTimerTick.h"
#include "DiagCapture.h"

// What the test states did, in order.
using J = std::vector<std::string>;
inline J& journal() {
  static J j;
  return j;
}
inline void note(const std::string& s) { journal().push_back(s); }
typedef std::function<void(BState*, const BEvent*)> Handler;
inline void consume(BState* s, const BEvent*) { s->transition(static_cast<BState*>(nullptr)); }

// A test state writes what happens to it into the journal.
template <class Base> class Journaled : public Base {
public:
  template <class... A>
  Journaled(const std::string& tag, Handler h, A... a) : Base(a...), _tag(tag), _h(h) {}
  ~Journaled() override { note("delete:" + _tag); }
  bool isPersistent() override { return false; }
  void onEntry(const BEvent*) override { note("entry:" + _tag); }
  void onExit(const BEvent*) override { note("exit:" + _tag); }
  void onEvent(const BEvent* e) override {
    note("event:" + _tag + ":" + std::to_string(e->signalId()));
    if (_h) _h(this, e);
  }
  std::string _tag;
  Handler _h;
};

struct TLeaf : Journaled<BSimpleState> {
  TLeaf(BCompositeState* enc, const std::string& tag, StateId id = FIRST_STATE, Handler h = nullptr)
      : Journaled(tag, h, enc, ModuleId(10), ComponentId(10), id) {}
};

struct TComposite : Journaled<BCompositeState> {
  TComposite(BCompositeState* enc, const std::string& tag, StateId id)
      : Journaled(tag, nullptr, enc, ModuleId(10), ComponentId(10), id, PRIO_4, static_cast<BEvtQueue*>(nullptr)) {}
  void onInitial(const BEvent*, RegionId r) override { note("init:" + _tag + ":" + std::to_string(r)); }
  void onDone(const BEvent* e, RegionId r) override {
    note("done:" + _tag + ":" + std::to_string(r));
    if (_onDone) _onDone(this, e);
    else BCompositeState::onDone(e, r);
  }
  void onError(const BEvent* e, RegionId r) override {
    note("error:" + _tag + ":" + std::to_string(r));
    BCompositeState::onError(e, r);
  }
  Handler _onDone;
};

// A component root the tests enter and leave by hand; it keeps the signals it saw.
struct TRoot : Journaled<BRootState> {
  TRoot(const char* name = "troot", ModuleId mod = 10, ComponentId cmp = 10, BPriority prio = PRIO_4)
      : Journaled(name, nullptr, name, mod, cmp, prio) {}
  void onEvent(const BEvent* e) override {
    _seen.push_back(e->signalId());
    Journaled::onEvent(e);
  }
  void onSetup(BBinding* b) override {
    note("setup:" + _tag);
    if (_autoAccept) accept(b);
  }
  void onRelease(BBinding*) override { note("release:" + _tag); }
  void enter() { initialize(); }
  void leave() { abort(); }
  bool _autoAccept = true;
  std::vector<int> _seen;
};

class TMain : public BMainState {
public:
  TMain() { mutexId(("vasktest_" + std::to_string(getpid())).c_str()); }
  void onSleep() override { ++sleeps; }
  int sleeps = 0;
};

// An event that counts its living copies, so tests see when it is deleted.
struct Counted : BBindingEvent {
  Counted(SignalId sig, int* alive) : BBindingEvent(sig, true), _alive(alive) { ++*_alive; }
  ~Counted() override { --*_alive; }
  int* _alive;
};

struct ChildDesc {
  const char* name;
  ModuleId mod;
  ComponentId cmp;
  bool autoAccept;
  BKey* key = nullptr;
};

// Binds one child root; the tests keep the child to drive its side.
struct TBinding : BBinding {
  explicit TBinding(const ChildDesc& c) : BBinding(c.key), _c(c) {}
  BRootState* createChild() override {
    _root = new TRoot(_c.name, _c.mod, _c.cmp);
    _root->_autoAccept = _c.autoAccept;
    return _root;
  }
  void destroyChild() override { note(std::string("destroyChild:") + _c.name); }
  ChildDesc _c;
  TRoot* _root = nullptr;
};

// A key that matches keys of the same number.
struct TKey : BKey {
  explicit TKey(int n) : _n(n) {}
  bool match(BKey* other) override {
    TKey* k = dynamic_cast<TKey*>(other);
    return k && k->_n == _n;
  }
  void printData(DebugLevel) override {}
  int _n;
};

// A binder that makes its bindings when entered.
struct TBinder : BBinderState {
  TBinder(BCompositeState* enc, ModuleId mod, ComponentId cmp, std::vector<ChildDesc> children)
      : BBinderState(enc, mod, cmp, 30, PRIO_4), _children(children) {}
  bool isPersistent() override { return false; }
  void onEntry(const BEvent*) override {
    for (const ChildDesc& c : _children) {
      _bindings.push_back(new TBinding(c));
      addBinding(_bindings.back());
    }
  }
  void onEvent(const BEvent* e) override {
    note("event:binder:" + std::to_string(e->signalId()));
    if (_h) _h(this, e);
  }
  void onRejected() override { note("rejected"); }
  void onWatchdogError(BBinding* b) override {
    note("wderror");
    _wdBinding = b;
  }
  TRoot* child(size_t i) { return _bindings[i]->_root; }
  std::vector<ChildDesc> _children;
  std::vector<TBinding*> _bindings;  // owned by the runtime once added
  BBinding* _wdBinding = nullptr;
  Handler _h;
};

// Every runtime test starts from a clean scheduler, a fake clock and a
// background main state, so a step with nothing to do puts the system to
// sleep. Roots made with make() are taken down at the end.
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
    for (TRoot* r : _roots) {
      if (r->isInitialised()) r->leave();
      pump();
      delete r;
    }
    main->shutdown();
    for (int i = 0; i < 1000 && !BScheduler::terminated(); ++i) BScheduler::step();
    delete main;
    BScheduler::reset();
    setTimerTickPtr(nullptr);
  }
  TRoot* make(const char* name = "troot", ModuleId mod = 10, ComponentId cmp = 10, BPriority prio = PRIO_4) {
    _roots.push_back(new TRoot(name, mod, cmp, prio));
    return _roots.back();
  }
  TRoot* enter(const char* name = "troot", ModuleId mod = 10, ComponentId cmp = 10, BPriority prio = PRIO_4) {
    TRoot* r = make(name, mod, cmp, prio);
    r->enter();
    return r;
  }
  // A parent component (10, 10) whose binder binds the given children and
  // holds one leaf region.
  TBinder* binder(std::vector<ChildDesc> children, const char* name = "parent", ComponentId cmp = 10) {
    TRoot* root = make(name, 10, cmp);
    TBinder* b = new TBinder(root, 10, cmp, children);
    b->addRegion(new TLeaf(b, "region", 40));
    root->addRegion(b);
    root->enter();
    pump();
    return b;
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
  static J only(const std::string& part) {
    J out;
    for (const std::string& s : journal())
      if (s.find(part) != std::string::npos) out.push_back(s);
    return out;
  }

  uint32_t tick;
  TMain* main = nullptr;
  DiagCapture cap;
  std::vector<TRoot*> _roots;
};

#endif
