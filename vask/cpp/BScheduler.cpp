#include "BScheduler.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "BBinding.h"
#include "BCompositeState.h"
#include "BDiag.h"
#include "BEvtQueue.h"
#include "BLocalEvent.h"
#include "BRootState.h"
#include "BSystem.h"
#include "BTimerTick.h"

BQListItem* BScheduler::_QList[NUM_PRIORITY_LEVEL] = {};
uint8_t BScheduler::_activePrio = 0;
uint16_t BScheduler::_activeQ[NUM_PRIORITY_LEVEL] = {};
BScheduler::SystemStatus BScheduler::_systemStatus = BScheduler::SYSTEM_TERMINATED;
BScheduler::BTransitionData BScheduler::_transitionData = {BScheduler::TRAN_NONE, nullptr};
bool BScheduler::_deferedEvent = false;
bool BScheduler::_evtProcessed = false;
BBinding* BScheduler::_releaseBinding = nullptr;
BRootState* BScheduler::_releaseRootState = nullptr;
BEvtQueue* BScheduler::_currentQueue = nullptr;
BEvent* BScheduler::_currentEvent = nullptr;
BScheduler::CurrentEvtQueIds BScheduler::_currEvtQue = {255, 0, 0, 0, 0, 0, BScheduler::SYSACT_UNDEF, 0, 0, 0};
BScheduler::Statistics BScheduler::_stats = {false, 0, 0, 0, 0, 0, 0, BScheduler::SYSACT_UNDEF, 0, 0, 0};
int BScheduler::_traceNrEvents = 0;
std::vector<std::string> BScheduler::_recordList;
ModuleId BScheduler::MOD_MAX = 0xFFFF;

namespace {
// Most urgent active priority for every value of the 8-bit mask: bit (7 - p)
// stands for priority p; no bit at all means the background priority.
struct PrioTable {
  uint8_t prio[256];
  PrioTable() {
    prio[0] = PRIO_BACKGROUND;
    for (int m = 1; m < 256; ++m) {
      int top = 7;
      while (!(m & (1 << top))) --top;
      prio[m] = static_cast<uint8_t>(7 - top);
    }
  }
};
const PrioTable g_prioTable;

struct LockGuard {
  LockGuard() { BSystem::lock(); }
  ~LockGuard() { BSystem::unlock(); }
};
}  // namespace

BTimerManager& BScheduler::timerManager() {
  static BTimerManager manager;
  return manager;
}

const char* BScheduler::getVersion() { return VASK_SW_VERSION; }

const char* BScheduler::sysActionToStr(SystemAction action) {
  static const char* const names[] = {"entry", "exit",   "event", "done",   "error",  "init",  "setup",
                                      "releas", "sleep", "accept", "reject", "wderr", "undef"};
  if (action < SYSACT_ONENTRY || action > SYSACT_UNDEF) return "undef";
  return names[action];
}

bool BScheduler::terminated() { return systemStatus() == SYSTEM_TERMINATED; }

BScheduler::SystemStatus BScheduler::systemStatus() {
  LockGuard g;
  return _systemStatus;
}

void BScheduler::systemStatus(SystemStatus status) {
  LockGuard g;
  _systemStatus = status;
}

void BScheduler::synchroniseTime(uint32_t seconds, bool backwards) {
  timerManager().synchroniseTime(static_cast<BTickType>(seconds) * 100u, backwards);
}

void BScheduler::wake(BPriority prio) {
  LockGuard g;
  if (_systemStatus == SYSTEM_SLEEPING) _systemStatus = SYSTEM_ACTIVE;
  if (_activeQ[prio] == 0 && prio < PRIO_BACKGROUND) _activePrio |= static_cast<uint8_t>(1u << (7 - prio));
  ++_activeQ[prio];
}

void BScheduler::sleep(BPriority prio) {
  LockGuard g;
  if (_activeQ[prio] == 0) return;  // never below zero
  if (--_activeQ[prio] == 0 && prio < PRIO_BACKGROUND) _activePrio &= static_cast<uint8_t>(~(1u << (7 - prio)));
}

BPriority BScheduler::currentPriority() {
  LockGuard g;
  return static_cast<BPriority>(g_prioTable.prio[_activePrio]);
}

void BScheduler::registerQueue(BEvtQueue* q) {
  if (!q || q->_registered) return;
  B_ASSERT(q->isEmpty(), "to be registerd queue is not empty");
  BQListItem* node = new BQListItem{nullptr, q};
  BQListItem*& head = _QList[q->priority()];
  if (!head) {
    node->_next = node;
  } else {
    BQListItem* last = head;
    while (last->_next != head) last = last->_next;
    last->_next = node;
    node->_next = head;
  }
  head = node;
  q->_registered = true;
  if (!q->isEmpty()) wake(q->priority());
}

void BScheduler::unregisterQueue(BEvtQueue* q) {
  if (!q) return;
  BQListItem*& head = _QList[q->priority()];
  B_ASSERT(NULL != _QList[q->priority()], "cannot remove from empty list");
  if (!head || !q->_registered) return;
  if (!q->isEmpty()) sleep(q->priority());
  q->_registered = false;
  if (_currentQueue == q) _currentQueue = nullptr;
  if (head->_queue == q) {
    if (head->_next == head) {
      delete head;
      head = nullptr;
      return;
    }
    BQListItem* last = head;
    while (last->_next != head) last = last->_next;
    BQListItem* gone = head;
    head = head->_next;
    last->_next = head;
    delete gone;
    return;
  }
  for (BQListItem* p = head; p->_next != head; p = p->_next) {
    if (p->_next->_queue == q) {
      BQListItem* gone = p->_next;
      p->_next = gone->_next;
      delete gone;
      return;
    }
  }
}

bool BScheduler::isRegistered(BEvtQueue* q) { return q && q->_registered; }

void BScheduler::resetTarget() {
  _transitionData.mode = TRAN_NONE;
  _transitionData.target = nullptr;
}

void BScheduler::resetRTC() {
  _currentEvent = nullptr;
  _currentQueue = nullptr;
  resetTarget();
  _evtProcessed = false;
}

void BScheduler::setCurrentQueue(BEvtQueue* q) {
  _currentQueue = q;
  if (_stats.statChkRTCmax && q) {
    _currEvtQue.currQuePrio = q->priority();
    BCompositeState* o = q->owner();
    _currEvtQue.currQueMod = o ? o->moduleId() : 0;
    _currEvtQue.currQueCmp = o ? o->componentId() : 0;
    _currEvtQue.currQueSt = o ? o->stateId() : 0;
    _currEvtQue.currQueNrSigs = q->count();
  }
}

void BScheduler::setCurrentEvent(BEvent* e) {
  _currentEvent = e;
  if (_stats.statChkRTCmax && e) {
    _currEvtQue.currEvtMod = e->moduleId();
    _currEvtQue.currEvtCmp = e->componentId();
    _currEvtQue.currEvtSig = e->signalId();
  }
}

void BScheduler::setCurrentState(StateId id) { _currEvtQue.currActSt = id; }
void BScheduler::setCurrentAction(SystemAction action) { _currEvtQue.currSysAction = action; }
void BScheduler::setRTCMax(BTickType max) { _stats.statRTCMax = max; }

// One event run to completion. Each step below is a private function of its
// own so that the order of the work stays readable here.
void BScheduler::step() {
  resetRTC();
  timerManager().process();
  // The tick the timers just saw is the start of this step.
  BTickType start = timerManager().lastTick();
  BPriority p = currentPriority();
  if (!_QList[p]) {
    idleStep(p);
    return;
  }
  BEvent* e = nullptr;
  BCompositeState* top = chooseEvent(p, e);
  if (top) dispatchEvent(top, e);
  releasePending();
  recordStatistics(start, e);
  recycleEvent(e);
}

// No queue at the most urgent priority: only a system with nothing left to
// run gets here, and a terminating one ends once timers and queues are gone.
void BScheduler::idleStep(BPriority p) {
  if (p != PRIO_BACKGROUND) B_ASSERT_TXT(false, "PRIO_BACKGROUND == currentPrio", "No Queues at prioritylevel");
  switch (systemStatus()) {
    case SYSTEM_ACTIVE:
      B_ASSERT(0, "no (background) Q found for active system");
      return;
    case SYSTEM_SLEEPING:
    case SYSTEM_TERMINATED:
      return;
    case SYSTEM_TERMINATING:
      terminateWhenEmpty();
      return;
    default:
      B_ASSERT(0, "unknown systemstatus");
      return;
  }
}

void BScheduler::terminateWhenEmpty() {
  if (!timerManager().isEmpty()) return;
  for (int i = 0; i < NUM_PRIORITY_LEVEL; ++i)
    if (_QList[i]) return;
  systemStatus(SYSTEM_TERMINATED);
  BDiag::print("Destroy mutexId:" + BSystem::lockName());
  BSystem::closeLock();
  _recordList.clear();
}

// Round robin: the first non-empty queue from the head is served, and the
// head moves past it, so queues of one priority take turns. When all of them
// are empty the head's owner gets the sleep event. Returns the state to
// dispatch to; e is the event of the step.
BCompositeState* BScheduler::chooseEvent(BPriority p, BEvent*& e) {
  BQListItem* head = _QList[p];
  BQListItem* node = head;
  do {
    if (!node->_queue->isEmpty()) {
      BEvtQueue* served = node->_queue;
      e = served->get();
      _QList[p] = node->_next;
      setCurrentQueue(served);
      setCurrentEvent(e);
      return topOf(served);
    }
    node = node->_next;
  } while (node != head);
  _QList[p] = head->_next;
  BLocalEvent* sleepEvt = new BLocalEvent(SIG_SLEEP, true);
  sleepEvt->moduleId(MOD_VASK);
  sleepEvt->componentId(CMP_VASK);
  e = sleepEvt;
  setCurrentEvent(e);
  return topOf(head->_queue);
}

BCompositeState* BScheduler::topOf(BEvtQueue* q) {
  BCompositeState* top = q->owner();
  B_ASSERT(NULL != top, "owner (topstate) undefined");
  return top;
}

void BScheduler::dispatchEvent(BCompositeState* top, BEvent* e) {
  top->dispatch();
  BState* s = applyTopTransition(top);
  if (!_evtProcessed && e && e->signalId() < FIRST_SYSTEM_SIGNAL && (s->debugLevel() & DBG_ST_INT)) {
    std::ostringstream os;
    os << "=ti>;" << s->ids() << ";" << bEventText(e) << "processed";
    s->traceIf(DBG_ST_INT, os.str());
  }
  // A target nobody applied (asked at the top of a tree) is never entered.
  if (transitionMode() == TRAN_TARGET && targetState() && !targetState()->isPersistent()) delete targetState();
  resetTarget();
}

// Requests the top state left for itself are applied further up, by the
// states that enclose it. Returns the outermost state reached.
BState* BScheduler::applyTopTransition(BCompositeState* top) {
  BState* s = top;
  BCompositeState* c = s->_enclosing;
  while (transitionMode() != TRAN_NONE && transitionMode() != TRAN_INTERNAL && c) {
    SLListIterator<BState*> it(&c->_enclosedList);
    RegionId r = 0;
    bool found = false;
    for (it.first(); !it.end(); it.next(), ++r) {
      BState* x = nullptr;
      it.currentItem(&x);
      if (x == s) {
        found = true;
        break;
      }
    }
    if (found)
      c->handleTransition(&it, r);
    else
      B_ASSERT(0, "state not found in region of LCA");
    s = c;
    c = c->_enclosing;
  }
  return s;
}

// A binding or a root state that asked to go during the step goes now, when
// nothing of the step refers to it any more.
void BScheduler::releasePending() {
  if (_releaseBinding) {
    BBinding* b = _releaseBinding;
    _releaseBinding = nullptr;
    b->released();
    delete b;
  }
  if (_releaseRootState) {
    BRootState* r = _releaseRootState;
    _releaseRootState = nullptr;
    static_cast<BState*>(r)->abort();
    delete r;
  }
}

void BScheduler::recordStatistics(BTickType start, BEvent* e) {
  // The clock is read only when somebody looks at the duration.
  if (!e || !(_stats.statChkRTCmax || _traceNrEvents >= 0)) return;
  BTickType now = bTimerTick();
  if (now <= start) return;
  BTickType delta = now - start;
  bool appended = false;
  if (_stats.statChkRTCmax) {
    if (delta > _stats.statRTCHL) {
      _stats.statRTCQueMod = _currEvtQue.currQueMod;
      _stats.statRTCQueCmp = _currEvtQue.currQueCmp;
      _stats.statRTCQueSt = _currEvtQue.currQueSt;
      _stats.statRTCActSt = _currEvtQue.currActSt;
      _stats.statRTCSysAction = _currEvtQue.currSysAction;
      _stats.statRTCEvtMod = _currEvtQue.currEvtMod;
      _stats.statRTCEvtCmp = _currEvtQue.currEvtCmp;
      _stats.statRTCEvtSig = _currEvtQue.currEvtSig;
      _stats.statRTCHL = delta;
      _recordList.push_back(currentQueueAndEvent(delta));
      appended = true;
    }
    if (_stats.statRTCMax != 0 && delta > _stats.statRTCMax) {
      std::ostringstream os;
      std::string line = currentQueueAndEvent(delta);
      os << "RTC step too long, current:  " << delta * 10 << " ms rtcMax=" << _stats.statRTCMax << ", is "
         << _stats.statRTCMax * 10 << " ms, " << line;
      B_EXCEPTION(os.str());
      if (!appended) _recordList.push_back(line);
    }
  }
  if (_traceNrEvents >= 0) {
    _recordList.push_back(currentQueueAndEvent(delta));
    --_traceNrEvents;
  }
}

// The step's reference to its event is dropped, or the event is kept in the
// deferred list of its queue when the handler deferred it.
void BScheduler::recycleEvent(BEvent* e) {
  if (e) {
    if (!_deferedEvent) {
      e->destroy();
    } else {
      B_ASSERT_TXT(_currentQueue != NULL, "currentQ != NULL", "currentQ undefined");
      if (!_currentQueue || !_currentQueue->postDefered(e)) e->destroy();
    }
  }
  _deferedEvent = false;
  // Nothing outside a step may see the event of the step that just ended.
  _currentEvent = nullptr;
  _currentQueue = nullptr;
}

std::string BScheduler::currentQueueAndEvent(BTickType delta) {
  char buf[160];
  std::string out;
  if (_currEvtQue.currQuePrio != 255) {
    snprintf(buf, sizeof buf, "%4d:%3d:%3d:%2d:#%4d => %5d", _currEvtQue.currQuePrio, _currEvtQue.currQueMod,
             _currEvtQue.currQueCmp, _currEvtQue.currQueSt, _currEvtQue.currQueNrSigs, _currEvtQue.currActSt);
    out = buf;
  } else {
    out = "(NULL)";
  }
  snprintf(buf, sizeof buf, "%6s, %3d:%3d:%3d d:%llu", sysActionToStr(_currEvtQue.currSysAction),
           _currEvtQue.currEvtMod, _currEvtQue.currEvtCmp, _currEvtQue.currEvtSig, (unsigned long long)delta);
  return out + buf;
}

void BScheduler::addRecordHeader() {
  _recordList.push_back("Queue:                             Event:");
  _recordList.push_back("prio:mod:cmp:st:#evts => state, action, mod:cmp:sig delta tick.");
}

void BScheduler::reset() {
  for (int i = 0; i < NUM_PRIORITY_LEVEL; ++i) {
    while (_QList[i]) unregisterQueue(_QList[i]->_queue);
    _activeQ[i] = 0;
  }
  _activePrio = 0;
  _systemStatus = SYSTEM_TERMINATED;
  resetRTC();
  _deferedEvent = false;
  _releaseBinding = nullptr;
  _releaseRootState = nullptr;
  _currEvtQue = {255, 0, 0, 0, 0, 0, SYSACT_UNDEF, 0, 0, 0};
  _stats = {false, 0, 0, 0, 0, 0, 0, SYSACT_UNDEF, 0, 0, 0};
  _traceNrEvents = 0;
  _recordList.clear();
}
