#include "BRootState.h"

#include <cstdio>
#include <sstream>

#include "BBinderState.h"
#include "BBinding.h"
#include "BBindingEvent.h"
#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvtQueue.h"
#include "BKey.h"
#include "BLocalEvent.h"
#include "BScheduler.h"
#include "BTimer.h"

bool BRootState::_suspendWatchdogs = false;

BRootState::BRootState(const char* name, ModuleId mod, ComponentId cmp, BPriority prio)
    : BCompositeState(nullptr, mod, cmp, STATE_ROOT, prio, nullptr), _name(name ? name : ""),
      _tmrWatchdog(nullptr), _debugLevel(0) {}

BRootState::~BRootState() { delete _tmrWatchdog; }

std::string BRootState::rootIds() {
  std::ostringstream os;
  os << "mod=" << _moduleId << " cmp=" << int(_componentId) << " (" << _name << ":" << _instName << ")";
  return os.str();
}

static bool keyMatches(BKey* key, BBinding* b) { return !key || (b->key() && key->match(b->key())); }

void BRootState::accept(BBinding* b) {
  if (b) b->accepted();
}

void BRootState::reject(BBinding* b) {
  if (b) b->rejected();
}

// Accepts or rejects every binding still in setup whose parent matches.
uint16_t BRootState::answerSetup(ModuleId mod, ComponentId cmp, BKey* key, bool acceptIt) {
  uint16_t n = 0;
  SLListIterator<BBinding*> it(&_parentList);
  for (it.first(); !it.end(); it.next()) {
    BBinding* b = nullptr;
    it.currentItem(&b);
    if (b->isConnecting() && (mod == MOD_UNDEFINED || b->parentModuleId() == mod) &&
        (cmp == CMP_UNDEFINED || b->parentComponentId() == cmp) && keyMatches(key, b)) {
      if (acceptIt)
        b->accepted();
      else
        b->rejected();
      ++n;
    }
  }
  return n;
}

uint16_t BRootState::accept(ModuleId mod, ComponentId cmp, BKey* key) { return answerSetup(mod, cmp, key, true); }

uint16_t BRootState::accept(BKey* key) { return accept(MOD_UNDEFINED, CMP_UNDEFINED, key); }

uint16_t BRootState::reject(ModuleId mod, ComponentId cmp, BKey* key) { return answerSetup(mod, cmp, key, false); }

uint16_t BRootState::reject(BKey* key) { return reject(MOD_UNDEFINED, CMP_UNDEFINED, key); }

void BRootState::instName(std::string name) { _instName = name; }
void BRootState::debugLevel(DebugLevel level) { _debugLevel = level; }

void BRootState::addBinding(BBinding* b) { _parentList.append(b); }

void BRootState::removeBinding(BBinding* b) {
  if (!_parentList.remove(b)) {
    B_ASSERT(0, "connot remove binding from _parentList");
    return;
  }
  BScheduler::cleanupBinding(b);
}

void BRootState::transition(BFinal) {
  if (isPersistent())
    BScheduler::cleanupRootState(this);
  else
    B_ASSERT(0, "Nonpersistent rootState cannot transit to final.");
}

void BRootState::transition(BState* target) {
  if (!target) {
    BScheduler::transitionMode(BScheduler::TRAN_INTERNAL);
    BScheduler::targetState(nullptr);
    return;
  }
  B_ASSERT(false, "RootState cannot transit.");
  if (!target->isPersistent()) delete target;  // it can never be entered
}

void BRootState::reloadWatchdog(uint16_t time) {
  B_ASSERT(time != 0, "watchdog reload time may not be 0");
  // A zero reload would time the component out at once: keep the old one.
  if (time == 0 || !_tmrWatchdog) return;
  _tmrWatchdog->fireIn(_queue, BTimer::nSecs(time), SIG_WATCHDOG_TIMEOUT);
}

bool BRootState::sendLocal(BLocalEvent* e) {
  if (!e) {
    B_ASSERT_TXT(false, "event != NULL", "event undefined");
    return false;
  }
  return postLocal(e, _queue);
}

bool BRootState::sendLocal(BLocalEvent* e, StateId id) {
  if (!e) {
    B_ASSERT_TXT(false, "event != NULL", "event undefined");
    return false;
  }
  if (id == STATE_ROOT) return postLocal(e, _queue);
  B_ASSERT(0, "Event cannot be send, root reached");
  e->destroy();
  return false;
}

uint16_t BRootState::sendExternal(BBindingEvent* e, ModuleId mod, ComponentId cmp, BKey* key) {
  if (!e) {
    B_ASSERT_TXT(false, "event != NULL", "event undefined");
    return 0;
  }
  uint16_t deliveries = static_cast<uint16_t>(e->refCount() - 1);
  if (deliveries == 0 && !key) {
    std::ostringstream os;
    os << "Event not send, no mathing childs found" << " this: mod=" << _moduleId << " cmp=" << int(_componentId)
       << " st=" << int(_stateId) << " " << _name << ":" << _instName
       << " evt: mod=" << mod << " cmp=" << int(cmp) << " sig=" << int(e->signalId());
    B_EXCEPTION(os.str());
  }
  e->destroy();
  return deliveries;
}

uint16_t BRootState::sendBack(BBindingEvent* e, ModuleId mod, ComponentId cmp, BKey* key) {
  if (!e) {
    B_ASSERT_TXT(false, "event != NULL", "event undefined");
    return 0;
  }
  std::ostringstream failText;
  failText << " State: " << " mod=" << _moduleId << " cmp=" << int(_componentId) << " st=" << int(_stateId) << " "
           << _name << ":" << _instName << " Target: " << " mod=" << mod << " cmp=" << int(cmp) << " Event: "
           << " mod=" << e->moduleId() << " cmp=" << int(e->componentId()) << " sig=" << int(e->signalId());
  SLListIterator<BBinding*> it(&_parentList);
  for (it.first(); !it.end(); it.next()) {
    BBinding* b = nullptr;
    it.currentItem(&b);
    if (!(b->isAccepted() || b->isActivated())) continue;
    if (mod != MOD_UNDEFINED && b->parentModuleId() != mod) continue;
    if (cmp != CMP_UNDEFINED && b->parentComponentId() != cmp) continue;
    if (!keyMatches(key, b)) continue;
    e->source(BBindingEvent::CHILD);
    e->binding(b);
    e->moduleId(_moduleId);
    e->componentId(_componentId);
    if (BDiag::reRouteEvent(e, _moduleId, _componentId)) continue;
    BEvtQueue* q = b->parent() ? b->parent()->queue() : nullptr;
    bool posted = q && (b->isActivated() ? q->post(e) : q->postDefered(e));
    if (!posted) {
      B_EXCEPTION("Post failed" << failText.str());
      if (key) key->printData(0xFFFF);
      continue;
    }
    if (e->evtdbg() && (_debugLevel & DBG_SIGNAL)) {
      std::ostringstream os;
      os << "=sb>;" << _moduleId << ":" << int(_componentId) << "->" << b->parentModuleId() << ":"
         << int(b->parentComponentId()) << ":" << int(b->parent()->stateId()) << ";" << bEventText(e) << "send";
      traceIf(DBG_SIGNAL, os.str());
      if (b->key()) b->key()->printData(_debugLevel);
    }
    if (e->evtdbg() && (_debugLevel & DBG_DATA)) e->printData(_debugLevel);
    e->copy();
  }
  uint16_t deliveries = static_cast<uint16_t>(e->refCount() - 1);
  if (deliveries == 0 && !key) B_EXCEPTION("Event not send, no mathing parents found" << failText.str());
  e->destroy();
  return deliveries;
}

void BRootState::printData(int argc, char** argv) {
  BDiag::print("PrintStateData: " + _name + ":" + _instName);
  for (int i = 1; i < argc; ++i) {
    std::string w = argv[i] ? argv[i] : "";
    if (w == "bnd") {
      BDiag::print("BRootState bindings:");
      BDiag::print(">>>>>>>>>>>>>>>>>>>>>>>>>>>>>");
      std::ostringstream os;
      os << "this:" << static_cast<void*>(this) << " #parent bindings=" << _parentList.count();
      BDiag::print(os.str());
      SLListIterator<BBinding*> it(&_parentList);
      for (it.first(); !it.end(); it.next()) {
        BBinding* b = nullptr;
        it.currentItem(&b);
        std::ostringstream l;
        BBinderState* p = b->parent();
        l << "bndPtr:" << static_cast<void*>(b) << " status:" << b->currentStatus() << " mod:" << b->parentModuleId()
          << " comp:" << int(b->parentComponentId()) << " " << (p ? p->name() : "") << ":"
          << (p ? p->instName() : std::string());
        BDiag::print(l.str());
      }
      BDiag::print("<<<<<<<<<<<<<<<<<<<<<<<<<<<<<");
    } else if (w == "-help") {
      BDiag::print("BRootState -help:");
      BDiag::print("bnd, (Prints all the bindings)");
    }
  }
  BCompositeState::printData(argc, argv);
}

BCompositeState* BRootState::enclosing(StateId id) {
  B_ASSERT_TXT(id == STATE_UNDEFINED, "state == STATE_UNDEFINED", "Enclosing state not found, root reached");
  return nullptr;
}

void BRootState::clearDeferedEvts() {
  B_ASSERT(_queue != NULL, "Queue undefined");
  if (_queue) _queue->clearDeferedEvts();
}

void BRootState::retryDeferedEvts() {
  B_ASSERT(_queue != NULL, "Queue undefined");
  if (_queue) _queue->retryDeferedEvts();
}

void BRootState::initialize() {
  if (!_tmrWatchdog) _tmrWatchdog = new BTimer();
  BDiag::registerRootState(true, this);
  char buf[32];
  snprintf(buf, sizeof buf, "%p", static_cast<void*>(this));
  _instName = buf;
  BCompositeState::initialize();
  if (_debugLevel & DBG_ONENTRY) {
    std::ostringstream os;
    os << "=entrt>;" << _moduleId << ":" << int(_componentId) << ";";
    traceIf(DBG_ONENTRY, os.str());
  }
}

void BRootState::abort() {
  if (!_parentList.isEmpty()) {
    B_EXCEPTION("Parentlist not empty " << rootIds());
    BDiag::print("Parents:");
    SLListIterator<BBinding*> it(&_parentList);
    for (it.first(); !it.end(); it.next()) {
      BBinding* b = nullptr;
      it.currentItem(&b);
      std::ostringstream os;
      os << "mod:" << b->parentModuleId() << " comp:" << int(b->parentComponentId());
      BDiag::print(os.str());
    }
  }
  if (_debugLevel & DBG_ONEXIT) {
    std::ostringstream os;
    os << "=extrt>;" << _moduleId << ":" << int(_componentId) << ";";
    traceIf(DBG_ONEXIT, os.str());
  }
  BCompositeState::abort();
  BDiag::registerRootState(false, this);
  delete _tmrWatchdog;
  _tmrWatchdog = nullptr;
}

void BRootState::watchdogTimeout() {
  if (_suspendWatchdogs) {
    if (_tmrWatchdog) _tmrWatchdog->restart();
    return;
  }
  B_EXCEPTION("Watchdog timeout " << rootIds());
  BDiag::command("vask ssm -name " + _name + " -instname " + _instName);
  SLListIterator<BBinding*> it(&_parentList);
  for (it.first(); !it.end(); it.next()) {
    BBinding* b = nullptr;
    it.currentItem(&b);
    if (b->isConnecting() || b->isAccepted() || b->isActivated()) b->wdError();
  }
  if (_tmrWatchdog) _tmrWatchdog->fireIn(_queue, BTimer::nSecs(10), SIG_WATCHDOG_RESET);
}

bool BRootState::dispatchSystem(const BEvent* e) {
  switch (e->signalId()) {
    case SIG_SETUP_BINDING: {
      BBinding* b = e->binding();
      if (!b) return true;
      addBinding(b);
      onSetup(b);
      BScheduler::setCurrentAction(BScheduler::SYSACT_ONSETUP);
      return true;
    }
    case SIG_RELEASE_BINDING: {
      BBinding* b = e->binding();
      if (!b) return true;
      onRelease(b);
      BScheduler::setCurrentAction(BScheduler::SYSACT_ONRELEASE);
      removeBinding(b);
      if (_queue) _queue->removeBindingEvts(b);
      return true;
    }
    case SIG_WATCHDOG_TIMEOUT:
      watchdogTimeout();
      return true;
    case SIG_WATCHDOG_RESET:
      B_FATAL_EXCEPTION("Watchdog not handled by parent, now we reset. " << rootIds());
      return true;
    default:
      return false;
  }
}

void BRootState::dispatch() {
  if (!_stateIsInitialised) return;
  const BEvent* e = BScheduler::currentEvent();
  if (e && dispatchSystem(e)) return;
  BCompositeState::dispatch();
}
