#ifndef TLCTRLINIT_H
#define TLCTRLINIT_H

#include "BSimpleState.h"

class TlctrlRoot;
class BTimer;

// The controller's first state: finds out whether a device answers.
class TlctrlInit : public BSimpleState {
public:
  explicit TlctrlInit(BCompositeState* enclosing);
  ~TlctrlInit() override;
  // Seconds between status requests while no device has answered yet.
  static const int INIT_TMR_INTV = 2;
  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onExit(const BEvent* e) override;

private:
  TlctrlRoot* _root;
  BTimer* _lifeChkTmr;
};

#endif
