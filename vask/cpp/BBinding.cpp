#include "BBinding.h"

#include <sstream>

#include "BBinderState.h"
#include "BBindingEvent.h"
#include "BDiag.h"
#include "BEvtQueue.h"
#include "BRootState.h"

BBinding::BBinding(BKey* key)
    : _parent(nullptr), _child(nullptr), _parentModuleId(0), _parentComponentId(0), _key(key),
      _status(UNINITIALIZED) {}

BBinding::~BBinding() {}

ModuleId BBinding::childModuleId() { return _child ? _child->moduleId() : ModuleId(MOD_UNDEFINED); }
ComponentId BBinding::childComponentId() { return _child ? _child->componentId() : ComponentId(CMP_UNDEFINED); }
BKey* BBinding::key() { return _key; }
void BBinding::key(BKey* key) { _key = key; }
BBinderState* BBinding::parent() { return _parent; }
BRootState* BBinding::child() { return _child; }

const char* BBinding::currentStatus() {
  switch (_status) {
    case UNINITIALIZED: return "UNINITIALIZED";
    case SETUP: return "SETUP";
    case ACCEPTED: return "ACCEPTED";
    case REJECTED: return "REJECTED";
    case ACTIVATED: return "ACTIVATED";
    case RELEASING: return "RELEASING";
  }
  return "UNKNOWN";
}

void BBinding::parent(BBinderState* parent) {
  _parent = parent;
  _parentModuleId = parent ? parent->moduleId() : 0;
  _parentComponentId = parent ? parent->componentId() : 0;
}

void BBinding::postToParent(SignalId sig) {
  BBindingEvent* e = new BBindingEvent(sig, true);
  e->binding(this);
  e->moduleId(MOD_VASK);
  e->componentId(CMP_VASK);
  if (!_parent || !_parent->queue() || !_parent->queue()->post(e)) e->destroy();
}

void BBinding::setup() {
  B_ASSERT(UNINITIALIZED == _status, "unexpected call");
  if (_status != UNINITIALIZED) return;
  _status = SETUP;
  _child = createChild();
  B_ASSERT(NULL != _child, "child must be defined in createChild");
  if (!_child) return;
  if (!_child->isPersistent()) static_cast<BState*>(_child)->initialize();
  BBindingEvent* e = new BBindingEvent(SIG_SETUP_BINDING, true);
  e->binding(this);
  e->moduleId(MOD_VASK);
  e->componentId(CMP_VASK);
  if (!_child->queue() || !_child->queue()->post(e)) e->destroy();
}

void BBinding::accepted() {
  B_ASSERT(SETUP == _status || RELEASING == _status, "unexpected call");
  if (_status != SETUP) return;
  _status = ACCEPTED;
  postToParent(SIG_BINDING_ACCEPTED);
}

void BBinding::rejected() {
  B_ASSERT(SETUP == _status || RELEASING == _status, "unexpected call");
  if (_status != SETUP) return;
  _status = REJECTED;
  postToParent(SIG_BINDING_REJECTED);
}

void BBinding::activated() {
  B_ASSERT(ACCEPTED == _status || RELEASING == _status, "unexpected call");
  if (_status != ACCEPTED) return;
  _status = ACTIVATED;
  if (_child && (_child->debugLevel() & DBG_ACTBND)) {
    std::ostringstream os;
    os << "=actbnd>;" << _parentModuleId << ":" << int(_parentComponentId) << "->" << childModuleId() << ":"
       << int(childComponentId()) << " (" << _child->name() << ":" << _child->instName() << ")";
    BDiag::print(os.str());
  }
}

void BBinding::release() {
  B_ASSERT(UNINITIALIZED != _status, "unexpected call");
  if (_status == UNINITIALIZED || _status == RELEASING) return;
  _status = RELEASING;
  if (_parent) {
    _parent->removeBinding(this);
    // What the child sent up and the parent has not handled yet would refer
    // to this binding after it is deleted.
    if (_parent->queue()) _parent->queue()->removeBindingEvts(this);
  }
  if (_child && _child->queue()) {
    BBindingEvent* e = new BBindingEvent(SIG_RELEASE_BINDING, true);
    e->binding(this);
    e->moduleId(MOD_VASK);
    e->componentId(CMP_VASK);
    if (!_child->queue()->post(e)) e->destroy();
  }
}

void BBinding::released() {
  B_ASSERT(RELEASING == _status, "unexpected call");
  if (!_child) return;
  bool persistent = _child->isPersistent();
  if (_child->debugLevel() & DBG_ACTBND) {
    std::ostringstream os;
    os << "=delbnd>;" << _parentModuleId << ":" << int(_parentComponentId) << "->" << childModuleId() << ":"
       << int(childComponentId()) << " persistent:" << int(persistent) << " (" << _child->name() << ":"
       << _child->instName() << ")";
    BDiag::print(os.str());
  }
  BRootState* child = _child;
  if (!persistent) static_cast<BState*>(child)->abort();
  destroyChild();
  if (!persistent) delete child;
  _child = nullptr;
}

void BBinding::wdError() {
  BBindingEvent* e = new BBindingEvent(SIG_WATCHDOG_ERROR, true);
  e->binding(this);
  e->moduleId(MOD_VASK);
  e->componentId(CMP_VASK);
  if (!_parent || !_parent->queue() || !_parent->queue()->post(e)) e->destroy();
}
