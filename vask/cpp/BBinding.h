#ifndef BBINDING_H
#define BBINDING_H

#include "BTypes.h"

class BBinderState;
class BRootState;
class BKey;

// The link between a parent binder state and a child component: it creates
// the child, carries the setup / accept / activate / release handshake and is
// the path events travel on. The application derives one class per kind of child.
class BBinding {
public:
  enum Status { UNINITIALIZED = 0, SETUP = 1, ACCEPTED = 2, REJECTED = 3, ACTIVATED = 4, RELEASING = 5 };

  explicit BBinding(BKey* key);
  virtual ~BBinding();
  virtual BRootState* createChild() = 0;
  virtual void destroyChild() = 0;
  virtual ModuleId childModuleId();
  virtual ComponentId childComponentId();
  virtual BKey* key();
  virtual void key(BKey* key);
  virtual const char* currentStatus();
  virtual BBinderState* parent();
  virtual BRootState* child();
  virtual void setup();
  virtual void accepted();
  virtual void rejected();
  virtual void activated();
  virtual void release();
  virtual void released();
  virtual void parent(BBinderState* parent);
  virtual void wdError();

  ModuleId parentModuleId() const { return _parentModuleId; }
  ComponentId parentComponentId() const { return _parentComponentId; }
  Status status() const { return _status; }
  bool isConnecting() const { return _status == SETUP; }
  bool isAccepted() const { return _status == ACCEPTED; }
  bool isActivated() const { return _status == ACTIVATED; }
  bool isRejected() const { return _status == REJECTED; }

private:
  void postToParent(SignalId sig);

  BBinderState* _parent;
  BRootState* _child;
  ModuleId _parentModuleId;
  ComponentId _parentComponentId;
  BKey* _key;
  Status _status;
};

#endif
