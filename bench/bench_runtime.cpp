// Runtime speed: one step that posts a local event and dispatches it through
// root -> composite -> leaf, and a step with many armed timers.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "BCompositeState.h"
#include "BEvtQueue.h"
#include "BLocalEvent.h"
#include "BMainState.h"
#include "BRootState.h"
#include "BScheduler.h"
#include "BSimpleState.h"
#include "BTimer.h"
#include "BTimerTick.h"

namespace {
class Leaf : public BSimpleState {
public:
  explicit Leaf(BCompositeState* enc) : BSimpleState(enc, 10, 10, 12) {}
  bool isPersistent() override { return false; }
  void onEvent(const BEvent*) override { transition(static_cast<BState*>(nullptr)); }
};
class Mid : public BCompositeState {
public:
  explicit Mid(BCompositeState* enc) : BCompositeState(enc, 10, 10, 11, PRIO_4, nullptr) { addRegion(new Leaf(this)); }
  bool isPersistent() override { return false; }
};
class Root : public BRootState {
public:
  Root() : BRootState("bench", 10, 10, PRIO_4) { addRegion(new Mid(this)); }
  bool isPersistent() override { return false; }
  void onSetup(BBinding*) override {}
  void onRelease(BBinding*) override {}
  void enter() { initialize(); }
  void leave() { abort(); }
};
class Main : public BMainState {
public:
  Main() { mutexId(("vaskbench_" + std::to_string(getpid())).c_str()); }
};

struct System {
  System() {
    main = new Main();
    main->startup();
    root = new Root();
    root->enter();
  }
  ~System() {
    root->leave();
    delete root;
    main->shutdown();
    while (!BScheduler::terminated()) BScheduler::step();
    delete main;
  }
  Main* main;
  Root* root;
};
}  // namespace

static void BM_PostAndDispatchThroughThreeLevels(benchmark::State& state) {
  System sys;
  for (auto _ : state) {
    sys.root->sendLocal(new BLocalEvent(110, false));
    BScheduler::step();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PostAndDispatchThroughThreeLevels);

// 1000 armed timers, none due: the cost of a step is the list heads only.
static void BM_StepWithThousandArmedTimers(benchmark::State& state) {
  System sys;
  std::vector<BTimer> timers(1000);
  for (size_t i = 0; i < timers.size(); ++i) timers[i].fireIn(sys.root->queue(), 100000 + i, 150);
  for (auto _ : state) {
    sys.root->sendLocal(new BLocalEvent(110, false));
    BScheduler::step();
  }
  state.SetItemsProcessed(state.iterations());
  for (BTimer& t : timers) t.disarm();
}
BENCHMARK(BM_StepWithThousandArmedTimers);

// Arming 1000 timers in random-ish order into the sorted list, then firing them.
static void BM_ArmAndFireThousandTimers(benchmark::State& state) {
  System sys;
  uint32_t tick = 1000;
  setTimerTickPtr(&tick);
  std::vector<BTimer> timers(1000);
  for (auto _ : state) {
    for (size_t i = 0; i < timers.size(); ++i) timers[i].fireIn(sys.root->queue(), 1 + (i * 7919) % 1000, 150);
    tick += 1001;
    BScheduler::timerManager().process();
    while (!sys.root->queue()->isEmpty()) BScheduler::step();
  }
  state.SetItemsProcessed(state.iterations() * timers.size());
  setTimerTickPtr(nullptr);
}
BENCHMARK(BM_ArmAndFireThousandTimers);

BENCHMARK_MAIN();
