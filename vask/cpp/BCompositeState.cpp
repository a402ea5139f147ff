#include "BCompositeState.h"

#include <sstream>

#include "BDiag.h"
#include "BEvtQueueFixed.h"
#include "BEvtQueueFlex.h"
#include "BScheduler.h"

BCompositeState::BCompositeState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id,
                                 BPriority prio, BEvtQueue* queue)
    : BState(enclosing, mod, cmp, id), _queue(queue), _autoQueue(queue == nullptr) {
  if (!_queue) _queue = new BEvtQueueFlex(this, prio);
}

BCompositeState::BCompositeState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id,
                                 BPriority prio, uint16_t size)
    : BState(enclosing, mod, cmp, id), _queue(new BEvtQueueFixed(this, prio, size)), _autoQueue(true) {}

BCompositeState::~BCompositeState() {
  // Sub-states that were never entered (or not exited) are still ours.
  SLListIterator<BState*> it(&_enclosedList);
  for (it.first(); !it.end(); it.next()) {
    BState* s = nullptr;
    it.currentItem(&s);
    if (s && !s->isPersistent()) delete s;
  }
  _enclosedList.cleanup();
  if (_autoQueue) {
    if (BScheduler::isRegistered(_queue)) BScheduler::unregisterQueue(_queue);
    delete _queue;
  }
}

void BCompositeState::addRegion(BState* s) { _enclosedList.append(s); }

void BCompositeState::onInitial(const BEvent*, RegionId) {}
void BCompositeState::onDone(const BEvent*, RegionId) { transition(static_cast<BState*>(nullptr)); }
void BCompositeState::onError(const BEvent*, RegionId) { transition(static_cast<BState*>(nullptr)); }

BState* BCompositeState::region(RegionId r) {
  SLListIterator<BState*> it(&_enclosedList);
  RegionId i = 0;
  for (it.first(); !it.end(); it.next(), ++i) {
    if (i == r) {
      BState* s = nullptr;
      it.currentItem(&s);
      return s;
    }
  }
  return nullptr;
}

void BCompositeState::enterRegions() {
  const BEvent* e = BScheduler::currentEvent();
  SLListIterator<BState*> it(&_enclosedList);
  RegionId r = 0;
  for (it.first(); !it.end(); it.next(), ++r) {
    onInitial(e, r);
    BScheduler::setCurrentAction(BScheduler::SYSACT_ONINITIAL);
    BState* s = nullptr;
    it.currentItem(&s);
    if (s) s->initialize();
  }
}

void BCompositeState::initialize() {
  traceEntryExit(true);
  _stateIsInitialised = true;
  if (_autoQueue) BScheduler::registerQueue(_queue);
  onEntry(BScheduler::currentEvent());
  BScheduler::setCurrentAction(BScheduler::SYSACT_ONENTRY);
  enterRegions();
}

void BCompositeState::dispatch() {
  if (!_stateIsInitialised) return;
  BScheduler::BTransitionData shadow = {BScheduler::TRAN_NONE, nullptr};
  SLListIterator<BState*> it(&_enclosedList);
  RegionId r = 0;
  for (it.first(); !it.end(); it.next(), ++r) {
    BState* x = nullptr;
    it.currentItem(&x);
    if (!x) continue;
    x->dispatch();
    handleTransition(&it, r);
    BScheduler::TransitionMode mode = BScheduler::transitionMode();
    if (mode != BScheduler::TRAN_NONE) {
      if (shadow.mode == BScheduler::TRAN_NONE || shadow.mode == BScheduler::TRAN_INTERNAL) {
        shadow.mode = mode;
        shadow.target = BScheduler::targetState();
      } else {
        B_FATAL_EXCEPTION("Shadow transition already set");
        BState* dropped = BScheduler::targetState();
        if (dropped && dropped != shadow.target && !dropped->isPersistent()) delete dropped;
      }
      BScheduler::resetTarget();
    }
  }
  BScheduler::transitionMode(shadow.mode);
  BScheduler::targetState(shadow.target);
  if (shadow.mode == BScheduler::TRAN_NONE) {
    BScheduler::setCurrentState(_stateId);
    BScheduler::setCurrentAction(BScheduler::SYSACT_ONEVENT);
    onEvent(BScheduler::currentEvent());
  } else {
    BScheduler::evtProcessed(true);
  }
}

void BCompositeState::handleTransition(Iterator<BState*>* i, RegionId region) {
  B_ASSERT(!i->end(), "iterator must be set");
  if (i->end()) return;
  BState* x = nullptr;
  i->currentItem(&x);
  const BEvent* e = BScheduler::currentEvent();
  // Only a traced transition pays for a stream: this runs for every region
  // of every dispatch.
  switch (BScheduler::transitionMode()) {
    case BScheduler::TRAN_NONE:
      break;
    case BScheduler::TRAN_INTERNAL:
      if (debugLevel() & DBG_ST_INT) {
        std::ostringstream os;
        os << "=ti>;" << _moduleId << ":" << int(_componentId) << ":" << int(x ? x->stateId() : 0) << ";"
           << bEventText(e) << "processed";
        traceIf(DBG_ST_INT, os.str());
      }
      break;
    case BScheduler::TRAN_TARGET: {
      BState* target = BScheduler::targetState();
      if (debugLevel() & DBG_ST_TGT) {
        std::ostringstream os;
        os << "=tt>;" << _moduleId << ":" << int(_componentId) << ":" << int(x ? x->stateId() : 0) << "->"
           << int(target ? target->stateId() : 0) << ";" << bEventText(e) << "processed";
        traceIf(DBG_ST_TGT, os.str());
      }
      if (x) {
        x->abort();
        i->changeCurrentItem(nullptr);
        if (!x->isPersistent()) delete x;
      }
      i->changeCurrentItem(target);
      if (target) target->initialize();
      BScheduler::transitionMode(BScheduler::TRAN_INTERNAL);
      BScheduler::targetState(nullptr);
      retryDeferedEvts();
      break;
    }
    case BScheduler::TRAN_DONE:
    case BScheduler::TRAN_ERROR: {
      bool done = BScheduler::transitionMode() == BScheduler::TRAN_DONE;
      if (debugLevel() & DBG_ST_TGT) {
        std::ostringstream os;
        os << (done ? "=td>;" : "=te>;") << _moduleId << ":" << int(_componentId) << ":"
           << int(x ? x->stateId() : 0) << (done ? "->done;" : "->error;") << bEventText(e) << "processed";
        traceIf(DBG_ST_TGT, os.str());
      }
      if (x) {
        x->abort();
        i->changeCurrentItem(nullptr);
        if (!x->isPersistent()) delete x;
      }
      BScheduler::resetTarget();
      if (done) {
        onDone(e, region);
        BScheduler::setCurrentAction(BScheduler::SYSACT_ONDONE);
      } else {
        onError(e, region);
        BScheduler::setCurrentAction(BScheduler::SYSACT_ONERROR);
      }
      retryDeferedEvts();
      break;
    }
    default:
      B_ASSERT(false, "unknown transitionMode");
      break;
  }
}

void BCompositeState::abort() {
  traceEntryExit(false);
  _stateIsInitialised = false;
  SLListIterator<BState*> it(&_enclosedList);
  abortTree(&it);
  onExit(BScheduler::currentEvent());
  BScheduler::setCurrentAction(BScheduler::SYSACT_ONEXIT);
  cleanupRegions();
  if (_autoQueue && BScheduler::isRegistered(_queue)) BScheduler::unregisterQueue(_queue);
}

void BCompositeState::abortTree(Iterator<BState*>* i) {
  for (i->first(); !i->end(); i->next()) {
    BState* s = nullptr;
    i->currentItem(&s);
    if (!s) continue;
    s->abort();
    i->changeCurrentItem(nullptr);
    if (!s->isPersistent()) delete s;
  }
}

void BCompositeState::cleanupRegions() { _enclosedList.cleanup(); }

void BCompositeState::printVaskData() {
  std::ostringstream os;
  os << "this:" << static_cast<void*>(this) << " " << ids() << " enclosing:" << static_cast<void*>(_enclosing)
     << " queue:" << static_cast<void*>(_queue);
  BDiag::print(os.str());
  SLListIterator<BState*> it(&_enclosedList);
  for (it.first(); !it.end(); it.next()) {
    BState* s = nullptr;
    it.currentItem(&s);
    if (!s) continue;
    BDiag::print("enclosed: ", true, false);
    s->printVaskData();
  }
}

void BCompositeState::printData(int argc, char** argv) {
  printStateData(argc, argv);
  SLListIterator<BState*> it(&_enclosedList);
  for (it.first(); !it.end(); it.next()) {
    BState* s = nullptr;
    it.currentItem(&s);
    if (s) s->printData(argc, argv);
  }
}

DebugLevel BCompositeState::debugLevel() { return _enclosing ? _enclosing->debugLevel() : 0; }

BState* BCompositeState::getState(StateId id) {
  if (_stateId == id) return this;
  SLListIterator<BState*> it(&_enclosedList);
  for (it.first(); !it.end(); it.next()) {
    BState* s = nullptr;
    it.currentItem(&s);
    if (!s) continue;
    if (BState* found = s->getState(id)) return found;
  }
  return nullptr;
}

void BCompositeState::clearDeferedEvts() {
  B_ASSERT(_queue != NULL, "Queue undefined");
  if (_queue) _queue->clearDeferedEvts();
  if (_enclosing) _enclosing->clearDeferedEvts();
}

void BCompositeState::retryDeferedEvts() {
  B_ASSERT(_queue != NULL, "Queue undefined");
  if (_queue) _queue->retryDeferedEvts();
  if (_enclosing) _enclosing->retryDeferedEvts();
}

const char* BCompositeState::name() { return _enclosing ? _enclosing->name() : ""; }
std::string BCompositeState::instName() { return _enclosing ? _enclosing->instName() : std::string(); }
