#ifndef CDRVSTREVT_H
#define CDRVSTREVT_H

#include <cstddef>
#include <cstdint>

#include "BBindingEvent.h"

// A byte string: to the driver to be written, from the driver as received.
class CdrvStrEvt : public BBindingEvent {
public:
  static constexpr uint16_t MAXDATA = 2048;

  CdrvStrEvt();
  CdrvStrEvt(const void* bytes, size_t n);
  void printData(DebugLevel level) const override;

  // Copies at most MAXDATA bytes; returns the number kept.
  size_t assign(const void* bytes, size_t n);
  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(data); }

  uint16_t nrBytes;
  int8_t data[MAXDATA];
};

#endif
