#ifndef TLCTRLUPLREQEVT_H
#define TLCTRLUPLREQEVT_H

#include "BLocalEvent.h"

// The settings of the store are to be written into the device ("Programmeren").
class TlctrlUplReqEvt : public BLocalEvent {
public:
  TlctrlUplReqEvt();
};

#endif
