#ifndef TLPROTBOOTLOADDATA_H
#define TLPROTBOOTLOADDATA_H

#include <cstddef>
#include <cstdint>

#include "BBindingEvent.h"

// The second-stage boot loader image, sent as one boot-load data frame.
class TlprotBootLoadData : public BBindingEvent {
public:
  enum { MAX = 2048 };

  TlprotBootLoadData();
  void printData(DebugLevel level) const override;

  // Copies at most MAX bytes; returns the number kept.
  size_t assign(const void* bytes, size_t n);
  uint16_t nrBytes() const { return _nrBytes; }
  const uint8_t* data() const { return _data; }

private:
  uint16_t _nrBytes;
  uint8_t _data[MAX];
};

#endif
