#include "BMainState.h"

#include <cerrno>
#include <cstring>

#include "BDiag.h"
#include "BEvent.h"
#include "BScheduler.h"
#include "BSystem.h"

char BMainState::_mutexId[BMainState::MUTEX_ID_SIZE + 1] = "Vask_mutexId";

void BMainState::mutexId(const char* id) {
  strncpy(_mutexId, id ? id : "", MUTEX_ID_SIZE);
  _mutexId[MUTEX_ID_SIZE] = '\0';
}

BMainState::BMainState() : BRootState("main", MOD_MAIN, CMP_MAIN, PRIO_BACKGROUND) { BDiag::createTrace(); }

BMainState::~BMainState() { BDiag::destroyTrace(); }

void BMainState::startup() {
  if (strlen(_mutexId) < 8) {
    B_EXCEPTION("Error!! BMainState::_mutexId not set by Application !!\n"
                << "        Set at least 8 char string. Aborting ...");
    BScheduler::systemStatus(BScheduler::SYSTEM_TERMINATING);
    abort();
    return;
  }
  switch (BSystem::createLock(_mutexId)) {
    case BSystem::LOCK_EXISTS:
      B_EXCEPTION("Error!! mutexID " << _mutexId << "Already exists. Assign other Id");
      BScheduler::systemStatus(BScheduler::SYSTEM_TERMINATING);
      return;
    case BSystem::LOCK_ERROR:
      // Without a lock file the program still runs, only unguarded.
      B_EXCEPTION("Error!! mutexID " << _mutexId << " lock not taken: " << BSystem::lockError());
      break;
    case BSystem::LOCK_OK:
      break;
  }
  BScheduler::systemStatus(BScheduler::SYSTEM_SLEEPING);
  initialize();
}

void BMainState::shutdown() {
  BScheduler::systemStatus(BScheduler::SYSTEM_TERMINATING);
  if (_stateIsInitialised) abort();
}

void BMainState::onSleep() {}

void BMainState::onSetup(BBinding*) { B_ASSERT(0, "Cannot bind to the MainState"); }
void BMainState::onRelease(BBinding*) { B_ASSERT(0, "Cannot bind to the MainState"); }

void BMainState::dispatch() {
  const BEvent* e = BScheduler::currentEvent();
  if (e && e->signalId() == SIG_SLEEP) {
    onSleep();
    BScheduler::setCurrentAction(BScheduler::SYSACT_ONSLEEP);
    BScheduler::systemStatus(BScheduler::SYSTEM_SLEEPING);
    return;
  }
  BRootState::dispatch();
}
