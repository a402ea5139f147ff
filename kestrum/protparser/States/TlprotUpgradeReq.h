#ifndef TLPROTUPGRADEREQ_H
#define TLPROTUPGRADEREQ_H

#include "BBindingEvent.h"

// Asks for the upgrade request frame.
class TlprotUpgradeReq : public BBindingEvent {
public:
  TlprotUpgradeReq();
  void printData(DebugLevel level) const override;
};

#endif
