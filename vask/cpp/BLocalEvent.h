#ifndef BLOCALEVENT_H
#define BLOCALEVENT_H

#include "BEvent.h"

// An event inside one component; its ids are those of the sending component,
// filled in when it is sent, fired by a timer or handed out by a fixed queue.
class BLocalEvent : public BEvent {
public:
  BLocalEvent(SignalId sig, bool debug);
  ModuleId moduleId() const override { return _moduleId; }
  ComponentId componentId() const override { return _componentId; }
  void printData(DebugLevel level) const override;
  void moduleId(ModuleId mod) { _moduleId = mod; }
  void componentId(ComponentId cmp) { _componentId = cmp; }

private:
  ModuleId _moduleId = MOD_UNDEFINED;
  ComponentId _componentId = CMP_UNDEFINED;
};

#endif
