#ifndef BEVTQUEUEFLEX_H
#define BEVTQUEUEFLEX_H

#include "BEvent.h"
#include "BEvtQueue.h"
#include "SLList.h"

// The usual queue: unbounded, first in first out, with a list of deferred
// events that a transition puts back in front.
class BEvtQueueFlex : public BEvtQueue {
public:
  BEvtQueueFlex(BCompositeState* owner, BPriority priority) : BEvtQueue(owner, priority) {}
  ~BEvtQueueFlex() override;
  bool post(BEvent* e) override;
  bool post(SignalId sig) override;
  BEvent* get() override;
  bool isEmpty() override { return _list.isEmpty(); }
  bool isDeferedEmpty() override { return _deferedList.isEmpty(); }
  uint16_t count() override { return _list.count(); }
  bool postDefered(BEvent* e) override;
  void prtSigs() override;
  void removeBindingEvts(BBinding* b) override;
  uint16_t deferedCount() { return _deferedList.count(); }

protected:
  void clearDeferedEvts() override;
  void retryDeferedEvts() override;

private:
  SLList<BEvent*> _list;
  SLList<BEvent*> _deferedList;
};

#endif
