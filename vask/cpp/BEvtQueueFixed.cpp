#include "BEvtQueueFixed.h"

#include "BCompositeState.h"
#include "BDiag.h"
#include "BLocalEvent.h"
#include "BSystem.h"

BEvtQueueFixed::BEvtQueueFixed(BCompositeState* owner, BPriority priority, uint16_t size)
    : BEvtQueue(owner, priority), _qSize(size < 2 ? 2 : size) {
  _queue = new SignalId[_qSize];
  _readPtr = _writePtr = _queue;
}

BEvtQueueFixed::~BEvtQueueFixed() { delete[] _queue; }

bool BEvtQueueFixed::post(BEvent*) {
  B_EXCEPTION("post: BEvent* not supported");
  return false;
}

bool BEvtQueueFixed::postDefered(BEvent*) {
  B_EXCEPTION("Flexqueue does not support defered events");
  return false;
}

bool BEvtQueueFixed::post(SignalId sig) {
  if (isEmpty()) wake();
  if (!IS_LOCAL_SIGNAL(sig)) B_EXCEPTION("fixedQueue can only hold BLocalEvents");
  BSystem::lock();
  SignalId* next = _writePtr + 1;
  if (next == _queue + _qSize) next = _queue;
  bool full = next == _readPtr;
  if (!full) {
    *_writePtr = sig;
    _writePtr = next;
  }
  BSystem::unlock();
  if (full) B_EXCEPTION("Evt NOT posted");
  return !full;
}

BEvent* BEvtQueueFixed::get() {
  BSystem::lock();
  bool empty = _readPtr == _writePtr;
  SignalId sig = 0;
  if (!empty) {
    sig = *_readPtr;
    if (++_readPtr == _queue + _qSize) _readPtr = _queue;
  }
  bool nowEmpty = _readPtr == _writePtr;
  BSystem::unlock();
  if (empty) {
    B_EXCEPTION("Evt empty");
    return nullptr;
  }
  BLocalEvent* e = new BLocalEvent(sig, true);
  if (_owner) {
    e->moduleId(_owner->moduleId());
    e->componentId(_owner->componentId());
  }
  if (nowEmpty) sleep();
  return e;
}

bool BEvtQueueFixed::isEmpty() {
  BSystem::lock();
  bool empty = _readPtr == _writePtr;
  BSystem::unlock();
  return empty;
}

uint16_t BEvtQueueFixed::count() {
  BSystem::lock();
  long n = _writePtr - _readPtr;
  if (n < 0) n += _qSize;
  BSystem::unlock();
  return static_cast<uint16_t>(n);
}
