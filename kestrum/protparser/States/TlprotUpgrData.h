#ifndef TLPROTUPGRDATA_H
#define TLPROTUPGRDATA_H

#include <cstddef>
#include <cstdint>

#include "BBindingEvent.h"

// The data bytes of one firmware packet, sent unframed.
class TlprotUpgrData : public BBindingEvent {
public:
  enum { MAX = 128 };

  TlprotUpgrData();
  void printData(DebugLevel level) const override;

  // Copies at most MAX bytes; returns the number kept.
  size_t assign(const void* bytes, size_t n);
  uint8_t nrBytes() const { return _nrBytes; }
  const uint8_t* data() const { return _data; }

private:
  uint8_t _nrBytes;
  uint8_t _data[MAX];
};

#endif
