#ifndef LINKHARNESS_H
#define LINKHARNESS_H

// A small system for the driver and parser tests: a main state whose
// regions are binder states standing in for the controller (ids 10/11) and,
// for driver-only tests, for the parser (10/12). The test plays the device
// on the master side of a pseudo-terminal.

#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BBinderState.h"
#include "BMainState.h"
#include "BScheduler.h"
#include "BTimer.h"
#include "CdrvErrorEvt.h"
#include "CdrvPortSetEvt.h"
#include "CdrvStrEvt.h"
#include "SLListIterator.h"
#include "TlcdrvBinding.h"
#include "TlcdrvRoot.h"
#include "TlcdrvSignals.h"
#include "TlctrlStiEvt.h"
#include "TlprotBinding.h"
#include "TolProgIds.h"

// What a test binder received, copied out of the event.
struct Received {
  SignalId sig = 0;
  ComponentId from = 0;
  std::vector<unsigned char> bytes;  // CdrvStrEvt
  int error = -1;                    // CdrvErrorEvt
  std::string reason;
  int prVer = -1, extraStat = -1, nrEntries = -1;  // TlctrlStiEvt
  std::string type, softw, special, hardw;
};

class TestBinder : public BBinderState {
public:
  typedef std::function<void(TestBinder*)> Binder;
  TestBinder(BCompositeState* enclosing, ComponentId cmp, StateId id, Binder bind, std::vector<Received>* log)
      : BBinderState(enclosing, TOL_PROG, cmp, id, PRIO_4), _bind(bind), _log(log) {}
  bool isPersistent() override { return false; }
  void onEntry(const BEvent*) override { _bind(this); }
  void onRejected() override {}
  void onWatchdogError(BBinding*) override {}
  void onEvent(const BEvent* e) override {
    if (!e || IS_SYSTEM_SIGNAL(e->signalId())) return;
    Received r;
    r.sig = e->signalId();
    r.from = e->componentId();
    if (auto s = dynamic_cast<const CdrvStrEvt*>(e)) r.bytes.assign(s->bytes(), s->bytes() + s->nrBytes);
    if (auto x = dynamic_cast<const CdrvErrorEvt*>(e)) r.error = x->error(), r.reason = x->reason();
    if (auto x = dynamic_cast<const TlctrlStiEvt*>(e)) {
      r.prVer = x->prVer, r.extraStat = x->extraStat, r.nrEntries = x->totalNrEntries;
      r.type = x->type, r.softw = x->softw, r.special = x->special, r.hardw = x->hardw;
    }
    _log->push_back(r);
    transition(static_cast<BState*>(nullptr));
  }
  // Sends down to the child component cmp (the driver or the parser).
  uint16_t send(BBindingEvent* e, ComponentId cmp) { return sendExternal(e, TOL_PROG, cmp, nullptr); }
  // The root of the i-th child component.
  BRootState* child(int i) {
    SLListIterator<BBinding*> it(&_childList);
    it.first();
    for (int k = 0; k < i && !it.end(); ++k) it.next();
    BBinding* b = nullptr;
    return it.currentItem(&b) && b ? b->child() : nullptr;
  }
  bool allActivated() {
    bool all = _childList.count() > 0;
    SLListIterator<BBinding*> it(&_childList);
    for (it.first(); !it.end(); it.next()) {
      BBinding* b = nullptr;
      it.currentItem(&b);
      all = all && b && b->isActivated();
    }
    return all;
  }

private:
  Binder _bind;
  std::vector<Received>* _log;
};

class TestMain : public BMainState {
public:
  TestMain(bool withParser, bool parserStandIn) : _withParser(withParser), _standIn(parserStandIn) {}
  void onEntry(const BEvent*) override {
    bool withParser = _withParser;
    ctrl = new TestBinder(this, PROG_CTRL, FIRST_STATE, [withParser](TestBinder* b) {
      if (withParser) b->addBinding(new TlprotBinding());
      b->addBinding(new TlcdrvBinding());
    }, &ctrlLog);
    addRegion(ctrl);
    if (_standIn) {
      prot = new TestBinder(this, PROT_PARSER, FIRST_STATE + 1,
                            [](TestBinder* b) { b->addBinding(new TlcdrvBinding()); }, &protLog);
      addRegion(prot);
    }
  }
  TestBinder* ctrl = nullptr;
  TestBinder* prot = nullptr;
  std::vector<Received> ctrlLog, protLog;

private:
  bool _withParser, _standIn;
};

struct LinkSystem {
  TestMain* main;

  // withParser: the controller stand-in binds parser and driver.
  // parserStandIn: a second binder with the parser's ids binds the driver.
  LinkSystem(bool withParser, bool parserStandIn) {
    BMainState::mutexId(("Kestrum_link_test_" + std::to_string(getpid())).c_str());
    main = new TestMain(withParser, parserStandIn);
    main->startup();
    pump([&] { return main->ctrl && main->ctrl->allActivated() && (!main->prot || main->prot->allActivated()); });
  }
  ~LinkSystem() {
    main->shutdown();
    for (int i = 0; i < 10000 && BScheduler::systemStatus() != BScheduler::SYSTEM_TERMINATED; ++i)
      BScheduler::step();
    delete main;
    BScheduler::reset();
  }

  // Runs the system (main-loop style) until cond holds or ms have passed.
  template <class F>
  bool pump(F cond, int ms = 3000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      TlcdrvRoot::readCom();
      for (int i = 0; i < 1000 && BScheduler::systemStatus() == BScheduler::SYSTEM_ACTIVE; ++i)
        BScheduler::step();
      BScheduler::step();  // timers
      if (cond()) return true;
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  void run(int ms) { pump([] { return false; }, ms); }

  void choosePort(const std::string& port) {
    static std::string name;
    name = port;
    main->ctrl->send(new CdrvPortSetEvt(name.c_str()), CONN_DRV);
    size_t before = main->ctrlLog.size();
    pump([&] { return main->ctrlLog.size() > before; });
  }
};

#endif
