#ifndef BTIMERMANAGER_H
#define BTIMERMANAGER_H

#include "BTypes.h"

class BTimer;

// Keeps the armed timers in lists sorted by due tick and fires the due ones at
// the start of every scheduler step. A timer whose due tick lies beyond the
// next wrap of the 32-bit tick counter waits in the overflow list of its kind.
class BTimerManager {
public:
  BTimerManager();
  void enable(BTimer* timer);
  void disable(BTimer* timer);
  bool process();
  bool isEmpty() const;
  // The tick the last process() saw.
  BTickType lastTick() const { return _lastTimerTick; }
  // Ticks from now until the earliest armed timer is due: 0 when one is due
  // already, limit when none is due sooner (or none is armed).
  BTickType ticksToNextDue(BTickType limit) const;
  void synchroniseTime(BTickType ticks, bool backwards);
  void printData();
  // Takes the current tick as the last processed one (a new tick source).
  void rebase();

  static ModuleId _testMod;
  static ComponentId _testCmp;
  static SignalId _testSig;
  static ModuleId MOD_MAX;

private:
  void addToList(BTimer* timer, BTimer*& list);
  bool removeFromList(BTimer* timer, BTimer*& list);
  void processList(BTimer*& list, BTimer*& overflow, bool all);
  void printList(BTimer* list);
  bool traced(BTimer* t) const;

  BTimer* _relList = nullptr;
  BTimer* _relOverflowList = nullptr;
  BTimer* _absList = nullptr;
  BTimer* _absOverflowList = nullptr;
  BTickType _lastTimerTick;
  BTickType _prevTimerTick;
  char _dbgStr[510];
};

#endif
