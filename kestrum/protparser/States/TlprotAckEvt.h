#ifndef TLPROTACKEVT_H
#define TLPROTACKEVT_H

#include "BBindingEvent.h"

// A lone ACK: to the device, or received from it.
class TlprotAckEvt : public BBindingEvent {
public:
  TlprotAckEvt();
  void printData(DebugLevel level) const override;
};

#endif
