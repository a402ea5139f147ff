#include "BEvtQueue.h"

#include "BDiag.h"
#include "BScheduler.h"

BEvtQueue::BEvtQueue(BCompositeState* owner, BPriority priority) : _owner(owner), _priority(priority) {
  B_ASSERT(owner != NULL, "owner must be defined");
  B_ASSERT(priority >= 0 && priority < NUM_PRIORITY_LEVEL, "wrong priority");
  if (priority < 0 || priority >= NUM_PRIORITY_LEVEL) _priority = PRIO_BACKGROUND;
}

BEvtQueue::~BEvtQueue() {}

void BEvtQueue::wake() {
  if (_registered) BScheduler::wake(_priority);
}

void BEvtQueue::sleep() {
  if (_registered) BScheduler::sleep(_priority);
}
