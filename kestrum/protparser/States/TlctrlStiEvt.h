#ifndef TLCTRLSTIEVT_H
#define TLCTRLSTIEVT_H

#include <cstdint>

#include "BBindingEvent.h"

// The device's status info: protocol version, status, number of entries
// and its identity texts.
class TlctrlStiEvt : public BBindingEvent {
public:
  enum { STRSIZE = 40 };

  TlctrlStiEvt();
  void printData(DebugLevel level) const override;

  uint8_t prVer;
  uint8_t extraStat;
  uint8_t totalNrEntries;
  char type[STRSIZE + 1];
  char softw[STRSIZE + 1];
  char special[STRSIZE + 1];
  char hardw[STRSIZE + 1];
};

#endif
