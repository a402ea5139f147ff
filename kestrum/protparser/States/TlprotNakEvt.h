#ifndef TLPROTNAKEVT_H
#define TLPROTNAKEVT_H

#include "BBindingEvent.h"

// A lone NAK: to the device, or received from it.
class TlprotNakEvt : public BBindingEvent {
public:
  TlprotNakEvt();
  void printData(DebugLevel level) const override;
};

#endif
