#ifndef BINDINGFIXTURE_H
#define BINDINGFIXTURE_H

#include <vector>

#include "BKey.h"
#include "VaskFixture.h"

// An event that counts its living copies, so tests see when it is deleted.
struct Counted : BBindingEvent {
  Counted(SignalId sig, int* alive) : BBindingEvent(sig, true), _alive(alive) { ++*_alive; }
  ~Counted() override { --*_alive; }
  int* _alive;
};

// Binds one child root made with the given name and ids; the tests keep the
// child to drive its side of the handshake.
struct TBinding : BBinding {
  TBinding(const char* name, ModuleId mod, ComponentId cmp, bool autoAccept, BPriority prio = PRIO_4)
      : BBinding(nullptr), _name(name), _mod(mod), _cmp(cmp), _autoAccept(autoAccept), _prio(prio) {}
  BRootState* createChild() override {
    _root = new TRoot(_name, _mod, _cmp, _prio);
    _root->_autoAccept = _autoAccept;
    return _root;
  }
  void destroyChild() override { journal().push_back(std::string("destroyChild:") + _name); }
  const char* _name;
  ModuleId _mod;
  ComponentId _cmp;
  bool _autoAccept;
  BPriority _prio;
  TRoot* _root = nullptr;
};

struct ChildSpec {
  const char* name;
  ModuleId mod;
  ComponentId cmp;
  bool autoAccept;
  BPriority prio = PRIO_4;
  BKey* key = nullptr;
};

// A key that matches keys of the same number.
struct TKey : BKey {
  explicit TKey(int n) : _n(n) {}
  bool match(BKey* other) override {
    TKey* k = dynamic_cast<TKey*>(other);
    return k && k->_n == _n;
  }
  void printData(DebugLevel level) override { journal().push_back("key:" + std::to_string(_n) + ":" + std::to_string(level)); }
  int _n;
};

// A binder that makes its bindings when entered.
struct TBinder : BBinderState {
  TBinder(BCompositeState* enc, ModuleId mod, ComponentId cmp, std::vector<ChildSpec> children)
      : BBinderState(enc, mod, cmp, 30, PRIO_4), _children(children) {}
  bool isPersistent() override { return false; }
  void onEntry(const BEvent*) override {
    journal().push_back("entry:binder");
    for (const ChildSpec& c : _children) {
      TBinding* b = new TBinding(c.name, c.mod, c.cmp, c.autoAccept, c.prio);
      b->key(c.key);
      _bindings.push_back(b);
      addBinding(b);
    }
  }
  void onEvent(const BEvent* e) override {
    journal().push_back("event:binder:" + std::to_string(e->signalId()));
    if (_h) _h(this, e);
  }
  void onRejected() override { journal().push_back("rejected"); }
  void onWatchdogError(BBinding* b) override {
    journal().push_back("wderror");
    _wdBinding = b;
  }
  TRoot* child(size_t i) { return i < _bindings.size() ? _bindings[i]->_root : nullptr; }
  std::vector<ChildSpec> _children;
  std::vector<TBinding*> _bindings;  // owned by the runtime once added
  BBinding* _wdBinding = nullptr;
  Handler _h;
};

#endif
