#include "BTimerManager.h"

#include <cstdio>
#include <initializer_list>
#include <sstream>

#include "BCompositeState.h"
#include "BDiag.h"
#include "BEvtQueue.h"
#include "BTimer.h"
#include "BTimerTick.h"

ModuleId BTimerManager::_testMod = 0;
ComponentId BTimerManager::_testCmp = 0;
SignalId BTimerManager::_testSig = 100;
ModuleId BTimerManager::MOD_MAX = 0xFFFF;

BTimerManager::BTimerManager() {
  _lastTimerTick = _prevTimerTick = bTimerTick();
  _dbgStr[0] = '\0';
  // All tick arithmetic relies on unsigned wrap-around.
  uint32_t test = 0xFFFFFFF8u;
  B_ASSERT(0x00000008 == (test += 0x10), "Overflow at \"+=\" has the wrong behavioral");
}

void BTimerManager::rebase() { _lastTimerTick = _prevTimerTick = bTimerTick(); }

void BTimerManager::enable(BTimer* timer) {
  B_ASSERT(timer != NULL, "timer undefined");
  if (!timer) return;
  bool beyondWrap = timer->_timeStamp <= _lastTimerTick;
  if (timer->_absoluteTimer)
    addToList(timer, beyondWrap ? _absOverflowList : _absList);
  else
    addToList(timer, beyondWrap ? _relOverflowList : _relList);
}

void BTimerManager::disable(BTimer* timer) {
  B_ASSERT(timer != NULL, "timer undefined");
  if (!timer) return;
  if (timer->_absoluteTimer) {
    if (!removeFromList(timer, _absList)) removeFromList(timer, _absOverflowList);
  } else {
    if (!removeFromList(timer, _relList)) removeFromList(timer, _relOverflowList);
  }
}

bool BTimerManager::isEmpty() const {
  return !_relList && !_relOverflowList && !_absList && !_absOverflowList;
}

void BTimerManager::addToList(BTimer* timer, BTimer*& list) {
  B_ASSERT(NULL != timer, "timer must be defined");
  if (!timer) return;
  if (!list || timer->_timeStamp <= list->_timeStamp) {
    timer->_next = list;
    list = timer;
    return;
  }
  BTimer* p = list;
  while (p->_next && p->_next->_timeStamp <= timer->_timeStamp) p = p->_next;
  timer->_next = p->_next;
  p->_next = timer;
}

bool BTimerManager::removeFromList(BTimer* timer, BTimer*& list) {
  for (BTimer** link = &list; *link; link = &(*link)->_next) {
    if (*link == timer) {
      *link = timer->_next;
      timer->_next = nullptr;
      return true;
    }
  }
  return false;
}

bool BTimerManager::traced(BTimer* t) const {
  if (_testMod == 0 || !t->_queue || !t->_queue->owner()) return false;
  BCompositeState* o = t->_queue->owner();
  return o->moduleId() == _testMod && o->componentId() == _testCmp && t->_signal == _testSig;
}

void BTimerManager::processList(BTimer*& list, BTimer*& overflow, bool all) {
  bool anyTraced = false;
  while (list && (all || list->_timeStamp <= _lastTimerTick)) {
    BTimer* t = list;
    if (traced(t)) {
      anyTraced = true;
      snprintf(_dbgStr, sizeof _dbgStr,
               "BTimerManager::processList, all:%d mod:%d cmp:%d sig:%d prevTick:%llu lastTick:%llu timest:%llu "
               "intv:%llu lst:%p lst_next:%p",
               all, t->_queue->owner()->moduleId(), t->_queue->owner()->componentId(), t->_signal,
               (unsigned long long)_prevTimerTick, (unsigned long long)_lastTimerTick,
               (unsigned long long)t->_timeStamp, (unsigned long long)t->_interval, (void*)list,
               (void*)list->_next);
      BDiag::print(_dbgStr);
    }
    // Unlinked before it fires, so a fire() that touches the lists is safe.
    list = t->_next;
    t->_next = nullptr;
    uint32_t generation = t->_generation;
    t->fire();
    if (t->_generation != generation || !t->_armed) continue;  // re-armed or disarmed by fire()
    if (t->_interval == 0) {
      t->_armed = false;
      continue;
    }
    BTickType old = t->_timeStamp;
    // A timer that fell behind (the process did not run for a while) fires
    // once and keeps its rhythm: its next due tick is the first one of its
    // period after now, not each one it missed.
    BTickType periods = 1;
    int32_t behind = static_cast<int32_t>(_lastTimerTick - (old + t->_interval));
    if (behind >= 0) periods += static_cast<BTickType>(behind) / t->_interval + 1;
    t->_timeStamp = old + periods * t->_interval;
    if (t->_timeStamp < old)
      addToList(t, overflow);  // due only after the tick counter wraps
    else
      addToList(t, list);
    if (anyTraced) {
      snprintf(_dbgStr, sizeof _dbgStr, "BTimerManager::fire, new timest:%llu", (unsigned long long)t->_timeStamp);
      BDiag::print(_dbgStr);
    }
  }
  if (anyTraced) BDiag::print("<--=processList");
}

BTickType BTimerManager::ticksToNextDue(BTickType limit) const {
  // The lists are sorted by due tick; the overflow lists are due only after
  // the tick counter wraps, so not soon. The difference is taken modulo the
  // counter, so a timer left in a list when the counter wrapped counts as due.
  BTickType now = bTimerTick();
  BTickType next = limit;
  for (const BTimer* head : {_relList, _absList}) {
    if (!head) continue;
    int32_t ahead = static_cast<int32_t>(head->_timeStamp - now);
    if (ahead <= 0) return 0;
    if (static_cast<BTickType>(ahead) < next) next = static_cast<BTickType>(ahead);
  }
  return next;
}

bool BTimerManager::process() {
  _prevTimerTick = _lastTimerTick;
  _lastTimerTick = bTimerTick();
  if (_prevTimerTick == _lastTimerTick) return false;
  if (_prevTimerTick < _lastTimerTick) {
    processList(_relList, _relOverflowList, false);
    processList(_absList, _absOverflowList, false);
    return true;
  }
  if (_prevTimerTick - _lastTimerTick < 0x80000000u) return false;  // the clock went back a little
  // The tick counter wrapped. Every timer still in a normal list was due
  // before the wrap, so all of them fire now (a repeating one until its next
  // due tick lies after the wrap, in the overflow list). Then the overflow
  // lists, the timers due after the wrap, become the normal lists.
  processList(_relList, _relOverflowList, true);
  processList(_absList, _absOverflowList, true);
  _relList = _relOverflowList;
  _absList = _absOverflowList;
  _relOverflowList = _absOverflowList = nullptr;
  processList(_relList, _relOverflowList, false);
  processList(_absList, _absOverflowList, false);
  return true;
}

void BTimerManager::synchroniseTime(BTickType ticks, bool backwards) {
  BTickType old = _lastTimerTick;
  BTickType now = bTimerTick();
  BTickType newNow = backwards ? now - ticks : now + ticks;
  _lastTimerTick = _prevTimerTick = now;
  BTimer* rel = _relList;
  BTimer* ovf = _relOverflowList;
  _relList = _relOverflowList = nullptr;
  while (rel) {
    BTimer* t = rel;
    rel = rel->_next;
    t->_next = nullptr;
    bool due = old <= newNow ? (t->_timeStamp >= old && t->_timeStamp <= newNow)
                             : (t->_timeStamp >= old || t->_timeStamp <= newNow);
    t->_timeStamp = backwards ? t->_timeStamp + ticks : t->_timeStamp - ticks;
    addToList(t, (due || t->_timeStamp > _lastTimerTick) ? _relList : _relOverflowList);
  }
  while (ovf) {
    BTimer* t = ovf;
    ovf = ovf->_next;
    t->_next = nullptr;
    t->_timeStamp = backwards ? t->_timeStamp + ticks : t->_timeStamp - ticks;
    addToList(t, t->_timeStamp > _lastTimerTick ? _relList : _relOverflowList);
  }
}

void BTimerManager::printList(BTimer* list) {
  for (BTimer* t = list; t; t = t->_next) {
    std::ostringstream os;
    BCompositeState* o = t->_queue ? t->_queue->owner() : nullptr;
    os << "mod:" << (o ? o->moduleId() : 0) << ";comp:" << int(o ? o->componentId() : 0)
       << ";sig:" << int(t->_signal);
    BDiag::print(os.str());
  }
}

void BTimerManager::printData() {
  BDiag::print("Timer List (relative timers):");
  printList(_relList);
  BDiag::print("Timer Overflow List (relative timers):");
  printList(_relOverflowList);
  BDiag::print("Timer List (absolute timers):");
  printList(_absList);
  BDiag::print("Timer Overflow List (absolute timers):");
  printList(_absOverflowList);
}
