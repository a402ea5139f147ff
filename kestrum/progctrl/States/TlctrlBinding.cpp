#include "TlctrlBinding.h"

#include "TlctrlRoot.h"

TlctrlBinding::TlctrlBinding() : BBinding(nullptr) {}

BRootState* TlctrlBinding::createChild() { return new TlctrlRoot(); }
