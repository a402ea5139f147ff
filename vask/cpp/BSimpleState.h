#ifndef BSIMPLESTATE_H
#define BSIMPLESTATE_H

#include "BState.h"

// A leaf state: it handles events and has no sub-states.
class BSimpleState : public BState {
public:
  BSimpleState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id)
      : BState(enclosing, mod, cmp, id) {}
  BEvtQueue* queue() override;

protected:
  void initialize() override;
  void dispatch() override;
  void abort() override;
};

#endif
