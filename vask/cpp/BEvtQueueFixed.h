#ifndef BEVTQUEUEFIXED_H
#define BEVTQUEUEFIXED_H

#include "BEvtQueue.h"

// A bounded ring of bare local signals; its positions are guarded by the
// runtime lock so that another thread may post.
class BEvtQueueFixed : public BEvtQueue {
public:
  BEvtQueueFixed(BCompositeState* owner, BPriority priority, uint16_t size);
  ~BEvtQueueFixed() override;
  bool post(BEvent* e) override;
  bool post(SignalId sig) override;
  BEvent* get() override;
  bool isEmpty() override;
  bool isDeferedEmpty() override { return true; }
  uint16_t count() override;
  bool postDefered(BEvent* e) override;
  void prtSigs() override {}
  void removeBindingEvts(BBinding*) override {}

protected:
  void clearDeferedEvts() override {}
  void retryDeferedEvts() override {}

private:
  uint16_t _qSize;
  SignalId* _queue;
  SignalId* _readPtr;
  SignalId* _writePtr;
};

#endif
