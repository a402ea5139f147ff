#ifndef TLPROTPACKNR1CMPL_H
#define TLPROTPACKNR1CMPL_H

#include <cstdint>

#include "BBindingEvent.h"

// The complement of a packet number to send alone.
class TlprotPacknr1cmpl : public BBindingEvent {
public:
  explicit TlprotPacknr1cmpl(uint8_t value = 0);
  void printData(DebugLevel level) const override;

  uint8_t nr() const { return _nr; }
  void nr(uint8_t v) { _nr = v; }

private:
  uint8_t _nr;
};

#endif
