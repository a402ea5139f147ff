#ifndef TLPROTDLREVT_H
#define TLPROTDLREVT_H

#include "BBindingEvent.h"

// Asks for the download request frame.
class TlprotDlrEvt : public BBindingEvent {
public:
  TlprotDlrEvt();
  void printData(DebugLevel level) const override;
};

#endif
