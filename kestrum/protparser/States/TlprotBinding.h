#ifndef TLPROTBINDING_H
#define TLPROTBINDING_H

#include "BBinding.h"

// The binding by which the controller makes the protocol parser.
class TlprotBinding : public BBinding {
public:
  TlprotBinding();
  BRootState* createChild() override;
  void destroyChild() override {}
};

#endif
