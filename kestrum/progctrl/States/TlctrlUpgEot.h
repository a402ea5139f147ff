#ifndef TLCTRLUPGEOT_H
#define TLCTRLUPGEOT_H

#include "BSimpleState.h"

class TlctrlRoot;
class TlctrlUpgrading;

// The end of the transfer is sent; waits for the device to acknowledge it.
class TlctrlUpgEot : public BSimpleState {
public:
  explicit TlctrlUpgEot(BCompositeState* enclosing);
  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onExit(const BEvent* e) override;

private:
  TlctrlUpgrading* _upgrading;
  TlctrlRoot* _root;
};

#endif
