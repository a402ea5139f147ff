#ifndef TLPROTUPLENDEVT_H
#define TLPROTUPLENDEVT_H

#include "BBindingEvent.h"

// Asks for the upload end frame.
class TlprotUplEndEvt : public BBindingEvent {
public:
  TlprotUplEndEvt();
  void printData(DebugLevel level) const override;
};

#endif
