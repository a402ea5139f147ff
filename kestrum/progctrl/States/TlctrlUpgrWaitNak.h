#ifndef TLCTRLUPGRWAITNAK_H
#define TLCTRLUPGRWAITNAK_H

#include "BSimpleState.h"

class TlctrlRoot;
class TlctrlUpgrading;

// The boot loader fits: waits for the device's NAK that opens the transfer.
class TlctrlUpgrWaitNak : public BSimpleState {
public:
  explicit TlctrlUpgrWaitNak(BCompositeState* enclosing);
  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;

private:
  TlctrlUpgrading* _upgrading;
  TlctrlRoot* _root;
};

#endif
