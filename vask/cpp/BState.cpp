#include "BState.h"

#include <cstdio>
#include <sstream>

#include "BCompositeState.h"
#include "BDiag.h"
#include "BEvtQueue.h"
#include "BBinding.h"
#include "BBindingEvent.h"
#include "BRootState.h"
#include "BBinderState.h"
#include "BLocalEvent.h"
#include "BScheduler.h"

std::string bEventText(const BEvent* e) {
  std::ostringstream os;
  if (e)
    os << "evt[" << e->moduleId() << ":" << int(e->componentId()) << ":" << int(e->signalId()) << ";"
       << static_cast<const void*>(e) << "]";
  else
    os << "evt[(NULL)]";
  return os.str();
}

BState::BState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id)
    : _stateIsInitialised(false), _enclosing(enclosing), _moduleId(mod), _componentId(cmp),
      _stateId(id) {}

BState::~BState() {}

std::string BState::ids() const {
  std::ostringstream os;
  os << _moduleId << ":" << int(_componentId) << ":" << int(_stateId);
  return os.str();
}

std::string BState::traceSuffix() { return std::string(" (") + name() + ":" + instName() + ")"; }

void BState::traceIf(DebugLevel bits, const std::string& text) {
  if (debugLevel() & bits) BDiag::print(text + traceSuffix());
}

void BState::traceEntryExit(bool entry) {
  if (!_enclosing) return;
  DebugLevel bit = entry ? DBG_ONENTRY : DBG_ONEXIT;
  if (!(debugLevel() & bit)) return;
  traceIf(bit, std::string(entry ? "=ent>;" : "=ext>;") + ids() + ";enclosing[" + _enclosing->ids() + "]");
}

void BState::transition(BFinal final) {
  B_ASSERT(BScheduler::TRAN_NONE == BScheduler::transitionMode() && NULL == BScheduler::targetState(),
           "triggerless transition not suported, mod:comp:state=" << ids());
  switch (final) {
    case B_DONE:
      BScheduler::transitionMode(BScheduler::TRAN_DONE);
      break;
    case B_ERROR:
      BScheduler::transitionMode(BScheduler::TRAN_ERROR);
      break;
    default:
      B_ASSERT(0, "undefined transition mode");
      break;
  }
  BScheduler::targetState(nullptr);
}

void BState::transition(BState* target) {
  B_ASSERT(BScheduler::TRAN_NONE == BScheduler::transitionMode() && NULL == BScheduler::targetState(),
           "triggerless transition not suported, mod:comp:state=" << ids());
  // A pending target that is replaced would never be entered: free it.
  BState* old = BScheduler::targetState();
  if (old && old != target && !old->isPersistent()) delete old;
  BScheduler::transitionMode(target ? BScheduler::TRAN_TARGET : BScheduler::TRAN_INTERNAL);
  BScheduler::targetState(target);
}

void BState::reloadWatchdog(uint16_t time) {
  B_ASSERT(this->enclosing() != NULL, "Enclosing undefined");
  B_ASSERT(time != 0, "watchdog reload time may not be 0");
  if (_enclosing) _enclosing->reloadWatchdog(time);
}

bool BState::postLocal(BLocalEvent* e, BEvtQueue* q) {
  e->moduleId(_moduleId);
  e->componentId(_componentId);
  if (!q || !q->post(e)) {
    B_ASSERT(0, "Event cannot be send");
    e->destroy();
    return false;
  }
  if (e->evtdbg() && (debugLevel() & DBG_SIGNAL)) {
    std::ostringstream os;
    os << "=sl>;" << _moduleId << ":" << int(_componentId) << "->"
       << int(q->owner() ? q->owner()->stateId() : 0) << ";" << bEventText(e) << "send";
    traceIf(DBG_SIGNAL, os.str());
  }
  if (e->evtdbg() && (debugLevel() & DBG_DATA)) e->printData(debugLevel());
  return true;
}

bool BState::sendLocal(BLocalEvent* e) {
  if (!e) {
    B_ASSERT_TXT(false, "event != NULL", "event undefined");
    return false;
  }
  BCompositeState* target = enclosing(STATE_UNDEFINED);
  return postLocal(e, target ? target->queue() : nullptr);
}

bool BState::sendLocal(BLocalEvent* e, StateId id) {
  if (!e) {
    B_ASSERT_TXT(false, "event != NULL", "event undefined");
    return false;
  }
  if (_stateId == id) return postLocal(e, queue());
  if (_enclosing) return _enclosing->sendLocal(e, id);
  B_ASSERT(0, "Event cannot be send, root reached");
  e->destroy();
  return false;
}

uint16_t BState::sendExternal(BBindingEvent* e, ModuleId mod, ComponentId cmp, BKey* key) {
  if (!e) {
    B_ASSERT_TXT(false, "event != NULL", "event undefined");
    return 0;
  }
  if (_enclosing) return _enclosing->sendExternal(e, mod, cmp, key);
  // Without a root there is nobody to route it: drop the sender's reference.
  e->destroy();
  return 0;
}

uint16_t BState::sendBack(BBindingEvent* e, ModuleId mod, ComponentId cmp, BKey* key) {
  if (!e) {
    B_ASSERT_TXT(false, "event != NULL", "event undefined");
    return 0;
  }
  if (_enclosing) return _enclosing->sendBack(e, mod, cmp, key);
  e->destroy();
  return 0;
}

uint16_t BState::sendBack(BBindingEvent* e, BKey* key) { return sendBack(e, MOD_UNDEFINED, CMP_UNDEFINED, key); }

void BState::onEntry(const BEvent*) {}
void BState::onEvent(const BEvent*) {}
void BState::onExit(const BEvent*) {}

void BState::printVaskData() {
  std::ostringstream os;
  os << "this:" << static_cast<void*>(this) << " " << ids() << " enclosing:" << static_cast<void*>(_enclosing);
  BDiag::print(os.str());
}

void BState::printData(int argc, char** argv) { printStateData(argc, argv); }

void BState::printStateData(int, char**) {
  std::ostringstream os;
  os << "------ id:" << int(_stateId) << " ------";
  BDiag::print(os.str());
}

BCompositeState* BState::enclosing(StateId id) {
  if (id == STATE_UNDEFINED) return _enclosing;
  for (BCompositeState* c = _enclosing; c; c = c->_enclosing)
    if (c->stateId() == id) return c;
  B_ASSERT_TXT(false, "state == STATE_UNDEFINED", "Enclosing state not found, root reached");
  return nullptr;
}

BEvtQueue* BState::queue() { return _enclosing ? _enclosing->queue() : nullptr; }
DebugLevel BState::debugLevel() { return _enclosing ? _enclosing->debugLevel() : 0; }
BState* BState::getState(StateId id) { return _stateId == id ? this : nullptr; }
void BState::clearDeferedEvts() {
  if (_enclosing) _enclosing->clearDeferedEvts();
}
void BState::retryDeferedEvts() {
  if (_enclosing) _enclosing->retryDeferedEvts();
}
const char* BState::name() { return _enclosing ? _enclosing->name() : ""; }
std::string BState::instName() { return _enclosing ? _enclosing->instName() : std::string(); }

bool BState::sendBack(const BBindingEvent* original, BBindingEvent* answer) {
  if (!original) {
    B_ASSERT_TXT(false, "originalEvent != NULL", "event undefined");
    if (answer) answer->destroy();
    return false;
  }
  if (!answer) {
    B_ASSERT_TXT(false, "newEvent != NULL", "event undefined");
    return false;
  }
  BBinding* b = original->binding();
  if (!b) {
    B_ASSERT_TXT(false, "originalEvent->binding() != NULL", "event has no binding");
    answer->destroy();
    return false;
  }
  answer->binding(b);
  answer->moduleId(b->childModuleId());
  answer->componentId(b->childComponentId());
  BCompositeState* dest = nullptr;
  if (original->source() == BBindingEvent::PARENT) {
    answer->source(BBindingEvent::CHILD);
    dest = b->parent();
  } else if (original->source() == BBindingEvent::CHILD) {
    answer->source(BBindingEvent::PARENT);
    dest = b->child();
  } else {
    B_ASSERT(0, "unknown source");
  }
  if (!dest || !(b->isAccepted() || b->isActivated())) {
    std::ostringstream os;
    os << "Event cannot be send, binding not activated" << " this: " << ids() << " dest: "
       << (dest ? dest->ids() : std::string("0:0:0")) << " orgSig:" << int(original->signalId())
       << " newSig=" << int(answer->signalId());
    B_EXCEPTION(os.str());
    answer->destroy();
    return false;
  }
  if (BDiag::reRouteEvent(answer, _moduleId, _componentId)) {
    answer->destroy();
    return true;
  }
  BEvtQueue* q = dest->queue();
  bool posted = q && (b->isActivated() ? q->post(answer) : q->postDefered(answer));
  if (!posted) {
    answer->destroy();
    return false;
  }
  DebugLevel level = debugLevel();
  if (answer->evtdbg() && (level & DBG_SIGNAL)) {
    std::ostringstream os;
    os << "=sb>;" << _moduleId << ":" << int(_componentId) << "->" << dest->ids() << ";" << bEventText(answer)
       << "send";
    traceIf(DBG_SIGNAL, os.str());
  }
  if (answer->evtdbg() && (level & DBG_DATA)) answer->printData(level);
  return true;
}
