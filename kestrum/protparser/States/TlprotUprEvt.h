#ifndef TLPROTUPREVT_H
#define TLPROTUPREVT_H

#include "BBindingEvent.h"

// Asks for the upload request frame.
class TlprotUprEvt : public BBindingEvent {
public:
  TlprotUprEvt();
  void printData(DebugLevel level) const override;
};

#endif
