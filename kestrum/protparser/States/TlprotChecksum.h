#ifndef TLPROTCHECKSUM_H
#define TLPROTCHECKSUM_H

#include <cstdint>

#include "BBindingEvent.h"

// A checksum byte to send alone.
class TlprotChecksum : public BBindingEvent {
public:
  explicit TlprotChecksum(uint8_t value = 0);
  void printData(DebugLevel level) const override;

  uint8_t checkSum() const { return _checkSum; }
  void checkSum(uint8_t v) { _checkSum = v; }

private:
  uint8_t _checkSum;
};

#endif
