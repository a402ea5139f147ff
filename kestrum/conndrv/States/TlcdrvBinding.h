#ifndef TLCDRVBINDING_H
#define TLCDRVBINDING_H

#include "BBinding.h"

// The binding by which a parent uses the one shared connection driver.
class TlcdrvBinding : public BBinding {
public:
  TlcdrvBinding();
  BRootState* createChild() override;
  void destroyChild() override;
};

#endif
