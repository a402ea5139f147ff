#ifndef TLCTRLDLDREQEVT_H
#define TLCTRLDLDREQEVT_H

#include "BLocalEvent.h"

// The user asks for the device's settings ("Ophalen").
class TlctrlDldReqEvt : public BLocalEvent {
public:
  TlctrlDldReqEvt();
};

#endif
