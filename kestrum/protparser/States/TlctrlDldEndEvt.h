#ifndef TLCTRLDLDENDEVT_H
#define TLCTRLDLDENDEVT_H

#include "BBindingEvent.h"

// The device has sent all its setting entries.
class TlctrlDldEndEvt : public BBindingEvent {
public:
  TlctrlDldEndEvt();
  void printData(DebugLevel level) const override;
};

#endif
