#ifndef BEVTQUEUE_H
#define BEVTQUEUE_H

#include "BTypes.h"

class BCompositeState;
class BEvent;
class BBinding;

// A queue of events for one composite state (its owner), at one priority.
class BEvtQueue {
  friend class BScheduler;
  friend class BCompositeState;
  friend class BRootState;

public:
  BEvtQueue(BCompositeState* owner, BPriority priority);
  virtual ~BEvtQueue();
  virtual bool post(BEvent* e) = 0;
  virtual bool post(SignalId sig) = 0;
  virtual BEvent* get() = 0;
  virtual bool isEmpty() = 0;
  virtual bool isDeferedEmpty() = 0;
  virtual uint16_t count() = 0;
  virtual bool postDefered(BEvent* e) = 0;
  virtual void prtSigs() = 0;
  virtual void removeBindingEvts(BBinding* b) = 0;

  BPriority priority() const { return _priority; }
  BCompositeState* owner() const { return _owner; }
  // Only a registered queue takes part in scheduling and in the activity
  // counts, so a queue that no scheduler serves never keeps the system awake.
  bool registered() const { return _registered; }

protected:
  virtual void clearDeferedEvts() = 0;
  virtual void retryDeferedEvts() = 0;
  void wake();
  void sleep();

  BCompositeState* _owner;
  BPriority _priority;

private:
  bool _registered = false;
};

#endif
