#ifndef TLCTRLUPLENDEVT_H
#define TLCTRLUPLENDEVT_H

#include "BLocalEvent.h"

// The upload state has sent its last entry (or was stopped).
class TlctrlUplEndEvt : public BLocalEvent {
public:
  TlctrlUplEndEvt();
};

#endif
