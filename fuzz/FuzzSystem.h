#ifndef FUZZSYSTEM_H
#define FUZZSYSTEM_H

// A running system for the command targets: a main state with a binder
// that binds the protocol parser, which binds the connection driver, so that
// trace commands find registered components to address. No port is opened.

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "BBinderState.h"
#include "BMainState.h"
#include "BScheduler.h"
#include "TlcdrvBinding.h"
#include "TlprotBinding.h"
#include "TolProgIds.h"

namespace fuzz {

class SystemBinder : public BBinderState {
public:
  explicit SystemBinder(BCompositeState* enclosing)
      : BBinderState(enclosing, TOL_PROG, PROG_CTRL, FIRST_STATE, PRIO_4) {}
  bool isPersistent() override { return false; }
  void onEntry(const BEvent*) override {
    addBinding(new TlprotBinding());
    addBinding(new TlcdrvBinding());
  }
  void onRejected() override {}
  void onWatchdogError(BBinding*) override {}
  void onEvent(const BEvent*) override { transition(static_cast<BState*>(nullptr)); }
};

class SystemMain : public BMainState {
public:
  void onEntry(const BEvent*) override { addRegion(new SystemBinder(this)); }
};

// Runs scheduler steps until the system sleeps (bounded).
inline void drain() {
  for (int i = 0; i < 100000 && BScheduler::systemStatus() == BScheduler::SYSTEM_ACTIVE; ++i)
    BScheduler::step();
}

inline SystemMain*& theMain() {
  static SystemMain* m = nullptr;
  return m;
}

// Takes the system down as the program does at exit, so that what the trace
// facility keeps is freed before the leak check looks.
inline void stopSystem() {
  SystemMain*& m = theMain();
  if (!m) return;
  m->shutdown();
  for (int i = 0; i < 100000 && !BScheduler::terminated(); ++i) BScheduler::step();
  delete m;
  m = nullptr;
}

// Starts the system once per process.
inline void startSystem(const char* name) {
  if (theMain()) return;
  BMainState::mutexId((std::string("Kestrum_fuzz_") + name + "_" + std::to_string(getpid())).c_str());
  theMain() = new SystemMain();
  theMain()->startup();
  for (int i = 0; i < 1000; ++i) drain();
  atexit(stopSystem);
}

}  // namespace fuzz

#endif
