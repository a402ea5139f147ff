#ifndef BKEY_H
#define BKEY_H

#include "BTypes.h"

// A key an application may attach to a binding to address it among others.
class BKey {
public:
  virtual bool match(BKey* other) = 0;
  virtual void printData(DebugLevel level) = 0;
  virtual ~BKey() {}
};

#endif
