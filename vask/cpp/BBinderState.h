#ifndef BBINDERSTATE_H
#define BBINDERSTATE_H

#include "BCompositeState.h"
#include "SLList.h"

class BBinding;

// A state that owns bindings to child components. Its regions are entered
// only when every child has accepted its binding.
class BBinderState : public BCompositeState {
public:
  BBinderState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id, BPriority prio);
  ~BBinderState() override;

  virtual void addBinding(BBinding* b);
  virtual void onRejected() = 0;
  virtual void onWatchdogError(BBinding* b) = 0;

  uint16_t sendExternal(BBindingEvent* e, ModuleId mod, ComponentId cmp, BKey* key) override;
  void printData(int argc, char** argv) override;
  uint16_t nrBindings() { return _childList.count(); }
  // A binding being released leaves the child list.
  void removeBinding(BBinding* b) { _childList.remove(b); }

protected:
  void initialize() override;
  void dispatch() override;
  void abort() override;

  SLList<BBinding*> _childList;
  uint16_t _abCounter;

private:
  void cleanupBindings();
};

#endif
