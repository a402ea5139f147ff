#ifndef TLCTRLBOOTINF_H
#define TLCTRLBOOTINF_H

#include "BBindingEvent.h"

// What the device's boot loader tells about the hardware.
class TlctrlBootInf : public BBindingEvent {
public:
  enum { STRSIZE = 40 };

  TlctrlBootInf();
  void printData(DebugLevel level) const override;

  char type[STRSIZE + 1];
  char special[STRSIZE + 1];
  char hardw[STRSIZE + 1];
};

#endif
