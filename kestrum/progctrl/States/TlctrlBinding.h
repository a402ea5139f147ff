#ifndef TLCTRLBINDING_H
#define TLCTRLBINDING_H

#include "BBinding.h"

// Lets a binder state own the controller as a child component. The program
// itself holds the controller's root directly under its main state.
class TlctrlBinding : public BBinding {
public:
  TlctrlBinding();
  BRootState* createChild() override;
  void destroyChild() override {}
};

#endif
