#ifndef TLCTRLUPGRWAITBOOTREQ_H
#define TLCTRLUPGRWAITBOOTREQ_H

#include "BSimpleState.h"

class TlctrlRoot;
class TlctrlUpgrading;

// Waits until the device, restarted into its boot loader, asks for the
// second-stage loader.
class TlctrlUpgrWaitBootReq : public BSimpleState {
public:
  explicit TlctrlUpgrWaitBootReq(BCompositeState* enclosing);
  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onExit(const BEvent* e) override;

private:
  TlctrlUpgrading* _upgrading;
  TlctrlRoot* _root;
};

#endif
