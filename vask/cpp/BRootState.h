#ifndef BROOTSTATE_H
#define BROOTSTATE_H

#include <string>

#include "BCompositeState.h"
#include "SLList.h"

class BBinding;
class BTimer;

// The root of a component: its name, instance name, ids, queue, debug level
// and watchdog. It ends every search over bindings.
class BRootState : public BCompositeState {
  friend class BBinding;
  friend class BScheduler;

public:
  BRootState(const char* name, ModuleId mod, ComponentId cmp, BPriority prio);
  ~BRootState() override;

  virtual void accept(BBinding* b);
  virtual uint16_t accept(ModuleId mod, ComponentId cmp, BKey* key);
  virtual uint16_t accept(BKey* key);
  virtual void reject(BBinding* b);
  virtual uint16_t reject(ModuleId mod, ComponentId cmp, BKey* key);
  virtual uint16_t reject(BKey* key);
  virtual void onSetup(BBinding* b) = 0;
  virtual void onRelease(BBinding* b) = 0;
  virtual void instName(std::string name);
  virtual void debugLevel(DebugLevel level);
  virtual void addBinding(BBinding* b);
  virtual void removeBinding(BBinding* b);

  using BState::transition;
  void transition(BFinal final) override;
  void transition(BState* target) override;
  void reloadWatchdog(uint16_t seconds) override;
  bool sendLocal(BLocalEvent* e) override;
  bool sendLocal(BLocalEvent* e, StateId id) override;
  uint16_t sendExternal(BBindingEvent* e, ModuleId mod, ComponentId cmp, BKey* key) override;
  using BState::sendBack;
  uint16_t sendBack(BBindingEvent* e, ModuleId mod, ComponentId cmp, BKey* key) override;
  void printData(int argc, char** argv) override;
  BCompositeState* enclosing(StateId id = STATE_UNDEFINED) override;
  const char* name() override { return _name.c_str(); }
  std::string instName() override { return _instName; }
  DebugLevel debugLevel() override { return _debugLevel; }
  void clearDeferedEvts() override;
  void retryDeferedEvts() override;

  static void suspendWatchdogs(bool suspend) { _suspendWatchdogs = suspend; }
  BTimer* watchdogTimer() { return _tmrWatchdog; }
  uint16_t nrParents() { return _parentList.count(); }

protected:
  void initialize() override;
  void dispatch() override;
  void abort() override;
  // Handles the runtime's own signals; false when the event is not one of them.
  bool dispatchSystem(const BEvent* e);
  std::string rootIds();

  SLList<BBinding*> _parentList;
  std::string _name;
  std::string _instName;
  BTimer* _tmrWatchdog;
  DebugLevel _debugLevel;
  static bool _suspendWatchdogs;

private:
  void watchdogTimeout();
  uint16_t answerSetup(ModuleId mod, ComponentId cmp, BKey* key, bool acceptIt);
};

#endif
