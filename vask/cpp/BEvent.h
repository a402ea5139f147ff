#ifndef BEVENT_H
#define BEVENT_H

#include "BTypes.h"

class BBinding;

// Base of all events: a signal with a reference count. The last owner to call
// destroy() deletes the event.
class BEvent {
public:
  virtual ModuleId moduleId() const = 0;
  virtual ComponentId componentId() const = 0;
  virtual void printData(DebugLevel level) const;
  virtual BBinding* binding() const;
  virtual ~BEvent();

  void copy() { ++_refCount; }
  void destroy();
  uint16_t refCount() const { return _refCount; }
  // Keeps the event being processed for a later retry instead of dropping it.
  void defer() const;
  SignalId signalId() const { return _signalId; }
  void signalId(SignalId sig) { _signalId = sig; }
  bool evtdbg() const { return _debug; }

protected:
  BEvent(SignalId sig, bool debug) : _signalId(sig), _refCount(1), _debug(debug) {}
  BEvent(const BEvent&) = delete;
  BEvent& operator=(const BEvent&) = delete;

private:
  SignalId _signalId;
  uint16_t _refCount;
  bool _debug;
};

#endif
