#include "BBinderState.h"

#include <sstream>

#include "BBinding.h"
#include "BBindingEvent.h"
#include "BDiag.h"
#include "BEvtQueue.h"
#include "BKey.h"
#include "BRootState.h"
#include "BScheduler.h"

BBinderState::BBinderState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id, BPriority prio)
    : BCompositeState(enclosing, mod, cmp, id, prio, nullptr), _abCounter(0) {}

BBinderState::~BBinderState() {}

void BBinderState::addBinding(BBinding* b) {
  if (!b) return;
  b->parent(this);
  _childList.append(b);
  b->setup();
}

uint16_t BBinderState::sendExternal(BBindingEvent* e, ModuleId mod, ComponentId cmp, BKey* key) {
  if (!e) {
    B_ASSERT_TXT(false, "event != NULL", "event undefined");
    return 0;
  }
  SLListIterator<BBinding*> it(&_childList);
  for (it.first(); !it.end(); it.next()) {
    BBinding* b = nullptr;
    it.currentItem(&b);
    if (b->childModuleId() != mod || mod == MOD_UNDEFINED) continue;
    if (cmp != CMP_UNDEFINED && b->childComponentId() != cmp) continue;
    if (key && !(b->key() && key->match(b->key()))) continue;
    if (!b->isActivated()) {
      B_EXCEPTION("Binding not activated" << " mod=" << mod << " cmp=" << int(cmp) << " sig=" << int(e->signalId()));
      if (key) key->printData(0xFFFF);
      continue;
    }
    e->source(BBindingEvent::PARENT);
    e->binding(b);
    e->moduleId(b->childModuleId());
    e->componentId(b->childComponentId());
    if (BDiag::reRouteEvent(e, _moduleId, _componentId)) continue;
    BEvtQueue* q = b->child() ? b->child()->queue() : nullptr;
    if (!q || !q->post(e)) {
      B_EXCEPTION("Post failed" << " mod=" << mod << " cmp=" << int(cmp) << " sig=" << int(e->signalId()));
      if (key) key->printData(0xFFFF);
      continue;
    }
    DebugLevel level = debugLevel();
    if (e->evtdbg() && (level & DBG_SIGNAL)) {
      std::ostringstream os;
      os << "=se>;" << ids() << "->" << b->childModuleId() << ":" << int(b->childComponentId()) << ";"
         << bEventText(e) << "send";
      traceIf(DBG_SIGNAL, os.str());
      if (b->key()) b->key()->printData(level);
    }
    if (e->evtdbg() && (level & DBG_DATA)) e->printData(level);
    e->copy();
  }
  return BCompositeState::sendExternal(e, mod, cmp, key);
}

void BBinderState::printData(int argc, char** argv) {
  BCompositeState::printData(argc, argv);
  for (int i = 1; i < argc; ++i) {
    std::string w = argv[i] ? argv[i] : "";
    if (w == "bnd") {
      BDiag::print("BBinderState bindings:");
      BDiag::print(">>>>>>>>>>>>>>>>>>>>>>>>>>>>>");
      std::ostringstream os;
      os << "this:" << static_cast<void*>(this) << " #bindings=" << _childList.count();
      BDiag::print(os.str());
      SLListIterator<BBinding*> it(&_childList);
      for (it.first(); !it.end(); it.next()) {
        BBinding* b = nullptr;
        it.currentItem(&b);
        std::ostringstream l;
        BRootState* c = b->child();
        l << "bndPtr:" << static_cast<void*>(b) << " status:" << b->currentStatus() << " mod:" << b->childModuleId()
          << " comp:" << int(b->childComponentId()) << " " << (c ? c->name() : "") << ":"
          << (c ? c->instName() : std::string());
        BDiag::print(l.str());
      }
      BDiag::print("<<<<<<<<<<<<<<<<<<<<<<<<<<<<<");
    } else if (w == "-help") {
      BDiag::print("BBinderState -help:");
      BDiag::print("bnd, (Prints all the bindings)");
    }
  }
}

void BBinderState::initialize() {
  traceEntryExit(true);
  _stateIsInitialised = true;
  if (_autoQueue) BScheduler::registerQueue(_queue);
  onEntry(BScheduler::currentEvent());
  BScheduler::setCurrentAction(BScheduler::SYSACT_ONENTRY);
  // The regions are entered once every child has accepted its binding.
}

void BBinderState::dispatch() {
  if (!_stateIsInitialised) return;
  const BEvent* e = BScheduler::currentEvent();
  switch (e ? e->signalId() : 0) {
    case SIG_BINDING_ACCEPTED:
      ++_abCounter;
      if (_abCounter == _childList.count()) {
        SLListIterator<BBinding*> it(&_childList);
        for (it.first(); !it.end(); it.next()) {
          BBinding* b = nullptr;
          it.currentItem(&b);
          b->activated();
        }
        enterRegions();
        BCompositeState::retryDeferedEvts();
      }
      BScheduler::setCurrentAction(BScheduler::SYSACT_ONACCEPTED);
      return;
    case SIG_BINDING_REJECTED:
      cleanupBindings();
      onRejected();
      BScheduler::setCurrentAction(BScheduler::SYSACT_ONREJECTED);
      return;
    case SIG_WATCHDOG_ERROR:
      onWatchdogError(e->binding());
      BScheduler::setCurrentAction(BScheduler::SYSACT_ONWATCHDOGERROR);
      return;
    default:
      BCompositeState::dispatch();
  }
}

void BBinderState::abort() {
  BCompositeState::abort();
  cleanupBindings();
}

void BBinderState::cleanupBindings() {
  BBinding* b = nullptr;
  while (_childList.popFront(&b)) b->release();
  // New bindings made after this count their acceptances anew.
  _abCounter = 0;
}
