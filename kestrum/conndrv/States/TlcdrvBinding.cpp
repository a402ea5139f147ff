#include "TlcdrvBinding.h"

#include "TlcdrvRoot.h"

TlcdrvBinding::TlcdrvBinding() : BBinding(nullptr) {}

BRootState* TlcdrvBinding::createChild() { return TlcdrvRoot::instance(); }

void TlcdrvBinding::destroyChild() { TlcdrvRoot::destroy(); }
