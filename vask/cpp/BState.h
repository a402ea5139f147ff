#ifndef BSTATE_H
#define BSTATE_H

#include <string>

#include "BTypes.h"

class BCompositeState;
class BEvtQueue;
class BEvent;
class BLocalEvent;
class BBindingEvent;
class BKey;

// Base of all states. A state asks for transitions from within its handlers;
// the enclosing composite (or the scheduler) carries them out afterwards.
class BState {
  friend class BCompositeState;
  friend class BRootState;
  friend class BBinderState;
  friend class BMainState;
  friend class BBinding;
  friend class BScheduler;

public:
  enum BFinal { B_DONE = 0, B_ERROR = 1 };

  BState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id);
  virtual ~BState();

  ModuleId moduleId() const { return _moduleId; }
  ComponentId componentId() const { return _componentId; }
  StateId stateId() const { return _stateId; }
  bool isInitialised() const { return _stateIsInitialised; }

  virtual void transition(BFinal final);
  virtual void transition(BState* target);
  virtual void reloadWatchdog(uint16_t seconds);
  virtual bool sendLocal(BLocalEvent* e);
  virtual bool sendLocal(BLocalEvent* e, StateId id);
  virtual uint16_t sendExternal(BBindingEvent* e, ModuleId mod, ComponentId cmp, BKey* key);
  virtual uint16_t sendBack(BBindingEvent* e, ModuleId mod, ComponentId cmp, BKey* key);
  virtual uint16_t sendBack(BBindingEvent* e, BKey* key);
  virtual bool sendBack(const BBindingEvent* original, BBindingEvent* answer);
  virtual void onEntry(const BEvent* e);
  virtual void onEvent(const BEvent* e);
  virtual void onExit(const BEvent* e);
  virtual void printVaskData();
  virtual void printData(int argc, char** argv);
  virtual void printStateData(int argc, char** argv);
  virtual bool isPersistent() = 0;
  virtual BCompositeState* enclosing(StateId id = STATE_UNDEFINED);
  virtual BEvtQueue* queue();
  virtual DebugLevel debugLevel();
  virtual BState* getState(StateId id);
  virtual void clearDeferedEvts();
  virtual void retryDeferedEvts();
  virtual const char* name();
  virtual std::string instName();

protected:
  virtual void initialize() = 0;
  virtual void dispatch() = 0;
  virtual void abort() = 0;

  // " (name:instance)", the suffix of every component trace line.
  std::string traceSuffix();
  // "mod:comp:state" of this state.
  std::string ids() const;
  // Prints text + suffix when the component's level has one of the bits.
  void traceIf(DebugLevel bits, const std::string& text);
  // Entry/exit trace lines shared by all state kinds.
  void traceEntryExit(bool entry);
  // Posts to q with the "=sl>;" trace; destroys the event when refused.
  bool postLocal(BLocalEvent* e, BEvtQueue* q);

  bool _stateIsInitialised;
  BCompositeState* _enclosing;
  ModuleId _moduleId;
  ComponentId _componentId;
  StateId _stateId;
};

// "evt[mod:comp:sig;ptr]" as the component trace lines show an event.
std::string bEventText(const BEvent* e);

#endif
