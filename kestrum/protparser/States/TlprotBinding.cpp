#include "TlprotBinding.h"

#include "TlprotRoot.h"

TlprotBinding::TlprotBinding() : BBinding(nullptr) {}

BRootState* TlprotBinding::createChild() { return new TlprotRoot(); }
