#ifndef TLCTRLBTLREQ_H
#define TLCTRLBTLREQ_H

#include "BBindingEvent.h"

// The device's boot loader asks for the second-stage loader.
class TlctrlBtlReq : public BBindingEvent {
public:
  TlctrlBtlReq();
  void printData(DebugLevel level) const override;
};

#endif
