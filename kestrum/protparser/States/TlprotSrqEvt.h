#ifndef TLPROTSRQEVT_H
#define TLPROTSRQEVT_H

#include "BBindingEvent.h"

// Asks for the status request frame.
class TlprotSrqEvt : public BBindingEvent {
public:
  TlprotSrqEvt();
  void printData(DebugLevel level) const override;
};

#endif
