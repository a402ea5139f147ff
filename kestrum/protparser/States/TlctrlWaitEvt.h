#ifndef TLCTRLWAITEVT_H
#define TLCTRLWAITEVT_H

#include "BBindingEvent.h"

// The device is busy; the request is to be repeated.
class TlctrlWaitEvt : public BBindingEvent {
public:
  TlctrlWaitEvt();
  void printData(DebugLevel level) const override;
};

#endif
