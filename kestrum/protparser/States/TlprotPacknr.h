#ifndef TLPROTPACKNR_H
#define TLPROTPACKNR_H

#include <cstdint>

#include "BBindingEvent.h"

// A packet number (or its complement) to send alone.
class TlprotPacknr : public BBindingEvent {
public:
  explicit TlprotPacknr(uint8_t value = 0);
  void printData(DebugLevel level) const override;

  uint8_t nr() const { return _nr; }
  void nr(uint8_t v) { _nr = v; }

private:
  uint8_t _nr;
};

#endif
