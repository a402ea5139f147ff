#ifndef BSCHEDULER_H
#define BSCHEDULER_H

#include <string>
#include <vector>

#include "BTimerManager.h"
#include "BTypes.h"

class BEvent;
class BEvtQueue;
class BState;
class BBinding;
class BRootState;
class BCompositeState;

// Node of the circular list of the registered queues of one priority.
struct BQListItem {
  BQListItem* _next;
  BEvtQueue* _queue;
};

// The single-threaded priority scheduler: each step() runs one event to
// completion. All its data is static (one per process).
class BScheduler {
public:
  enum SystemStatus { SYSTEM_SLEEPING = 0, SYSTEM_ACTIVE = 1, SYSTEM_TERMINATING = 2, SYSTEM_TERMINATED = 3 };
  enum TransitionMode { TRAN_NONE = 0, TRAN_INTERNAL = 1, TRAN_TARGET = 2, TRAN_DONE = 3, TRAN_ERROR = 4 };
  enum SystemAction {
    SYSACT_ONENTRY = 0,
    SYSACT_ONEXIT = 1,
    SYSACT_ONEVENT = 2,
    SYSACT_ONDONE = 3,
    SYSACT_ONERROR = 4,
    SYSACT_ONINITIAL = 5,
    SYSACT_ONSETUP = 6,
    SYSACT_ONRELEASE = 7,
    SYSACT_ONSLEEP = 8,
    SYSACT_ONACCEPTED = 9,
    SYSACT_ONREJECTED = 10,
    SYSACT_ONWATCHDOGERROR = 11,
    SYSACT_UNDEF = 12
  };
  struct BTransitionData {
    TransitionMode mode;
    BState* target;
  };
  struct CurrentEvtQueIds {
    uint8_t currQuePrio;
    ModuleId currQueMod;
    ComponentId currQueCmp;
    StateId currQueSt;
    uint16_t currQueNrSigs;
    StateId currActSt;
    SystemAction currSysAction;
    ModuleId currEvtMod;
    ComponentId currEvtCmp;
    SignalId currEvtSig;
  };
  struct Statistics {
    bool statChkRTCmax;
    BTickType statRTCMax;
    BTickType statRTCHL;
    ModuleId statRTCQueMod;
    ComponentId statRTCQueCmp;
    StateId statRTCQueSt;
    StateId statRTCActSt;
    SystemAction statRTCSysAction;
    ModuleId statRTCEvtMod;
    ComponentId statRTCEvtCmp;
    SignalId statRTCEvtSig;
  };

  static void step();
  static bool terminated();
  static SystemStatus systemStatus();
  static void systemStatus(SystemStatus status);
  static void synchroniseTime(uint32_t seconds, bool backwards);
  static void setCurrentQueue(BEvtQueue* q);
  static void setCurrentEvent(BEvent* e);
  static void setCurrentState(StateId id);
  static void setCurrentAction(SystemAction action);
  static const char* sysActionToStr(SystemAction action);
  static const char* getVersion();

  // For the runtime's classes.
  static void wake(BPriority prio);
  static void sleep(BPriority prio);
  static void registerQueue(BEvtQueue* q);
  static void unregisterQueue(BEvtQueue* q);
  static bool isRegistered(BEvtQueue* q);
  static BEvent* currentEvent() { return _currentEvent; }
  static BEvtQueue* currentQueue() { return _currentQueue; }
  static TransitionMode transitionMode() { return _transitionData.mode; }
  static void transitionMode(TransitionMode mode) { _transitionData.mode = mode; }
  static BState* targetState() { return _transitionData.target; }
  static void targetState(BState* s) { _transitionData.target = s; }
  static void resetTarget();
  static void resetRTC();
  static bool evtProcessed() { return _evtProcessed; }
  static void evtProcessed(bool p) { _evtProcessed = p; }
  static bool deferedEvent() { return _deferedEvent; }
  static void deferedEvent(bool d) { _deferedEvent = d; }
  static void cleanupBinding(BBinding* b) { _releaseBinding = b; }
  static void cleanupRootState(BRootState* r) { _releaseRootState = r; }
  static BTimerManager& timerManager();
  static void setRTCMax(BTickType max);
  static bool vaskProcDbgStr(int argc, char** argv);
  // The most urgent priority with pending events (8 when none).
  static BPriority currentPriority();
  // Puts the scheduler back to its initial state (tests; a fresh start).
  static void reset();
  static const std::vector<std::string>& recordList() { return _recordList; }

  static ModuleId MOD_MAX;

private:
  static void idleStep(BPriority p);
  static void terminateWhenEmpty();
  static BCompositeState* chooseEvent(BPriority p, BEvent*& e);
  static BCompositeState* topOf(BEvtQueue* q);
  static void dispatchEvent(BCompositeState* top, BEvent* e);
  static BState* applyTopTransition(BCompositeState* top);
  static void releasePending();
  static void recordStatistics(BTickType start, BEvent* e);
  static void recycleEvent(BEvent* e);
  static std::string currentQueueAndEvent(BTickType delta);
  static void addRecordHeader();
  static void printQueues(int argc, char** argv, int wordIx);
  static void printEvtOverview();
  static void printPrio();
  static void printStat();
  static void printHelp();

  static BQListItem* _QList[NUM_PRIORITY_LEVEL];
  static uint8_t _activePrio;
  static uint16_t _activeQ[NUM_PRIORITY_LEVEL];
  static SystemStatus _systemStatus;
  static BTransitionData _transitionData;
  static bool _deferedEvent;
  static bool _evtProcessed;
  static BBinding* _releaseBinding;
  static BRootState* _releaseRootState;
  static BEvtQueue* _currentQueue;
  static BEvent* _currentEvent;
  static CurrentEvtQueIds _currEvtQue;
  static Statistics _stats;
  static int _traceNrEvents;
  static std::vector<std::string> _recordList;
};

#define VASK_SW_VERSION "VASK-4.3.0"

#endif
