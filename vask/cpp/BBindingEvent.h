#ifndef BBINDINGEVENT_H
#define BBINDINGEVENT_H

#include "BEvent.h"

class BKey;

// An event between two components, travelling on a binding. Only the runtime
// sets its binding, source and child ids.
class BBindingEvent : public BEvent {
  friend class BBinding;
  friend class BRootState;
  friend class BBinderState;
  friend class BState;

public:
  enum Source { PARENT = 0, CHILD = 1 };

  BBindingEvent(SignalId sig, bool debug);
  ModuleId moduleId() const override { return _childModuleId; }
  ComponentId componentId() const override { return _childComponentId; }
  void printData(DebugLevel level) const override;
  BBinding* binding() const override { return _binding; }
  ~BBindingEvent() override;
  virtual BKey* key() const;

  Source source() const { return _source; }

private:
  void binding(BBinding* b) { _binding = b; }
  void source(Source s) { _source = s; }
  void moduleId(ModuleId mod) { _childModuleId = mod; }
  void componentId(ComponentId cmp) { _childComponentId = cmp; }

  BBinding* _binding = nullptr;
  Source _source = PARENT;
  ModuleId _childModuleId = MOD_UNDEFINED;
  ComponentId _childComponentId = CMP_UNDEFINED;
};

#endif
