#include "BEvent.h"

#include "BDiag.h"
#include "BScheduler.h"

BEvent::~BEvent() {}

void BEvent::printData(DebugLevel) const {}

BBinding* BEvent::binding() const { return nullptr; }

void BEvent::destroy() {
  B_ASSERT(this->refCount() != 0, "refCount cannot be 0");
  if (_refCount == 0) return;  // already gone once: never delete twice
  if (--_refCount == 0) delete this;
}

void BEvent::defer() const { BScheduler::deferedEvent(true); }
