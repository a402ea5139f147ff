#include "BSimpleState.h"

#include "BCompositeState.h"
#include "BScheduler.h"

BEvtQueue* BSimpleState::queue() { return _enclosing ? _enclosing->queue() : nullptr; }

void BSimpleState::initialize() {
  traceEntryExit(true);
  _stateIsInitialised = true;
  onEntry(BScheduler::currentEvent());
  BScheduler::setCurrentAction(BScheduler::SYSACT_ONENTRY);
}

void BSimpleState::dispatch() {
  if (!_stateIsInitialised) return;
  BScheduler::setCurrentState(_stateId);
  onEvent(BScheduler::currentEvent());
  BScheduler::setCurrentAction(BScheduler::SYSACT_ONEVENT);
}

void BSimpleState::abort() {
  traceEntryExit(false);
  _stateIsInitialised = false;
  onExit(BScheduler::currentEvent());
  BScheduler::setCurrentAction(BScheduler::SYSACT_ONEXIT);
}
