#ifndef TLPROTROOT_H
#define TLPROTROOT_H

#include "BRootState.h"

// The protocol parser component: between the controller and the driver.
class TlprotRoot : public BRootState {
public:
  TlprotRoot();
  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onSetup(BBinding* b) override;
  void onRelease(BBinding*) override {}
  void onEvent(const BEvent*) override {}
  void printStateData(int, char**) override {}
};

#endif
