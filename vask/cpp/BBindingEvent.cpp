#include "BBindingEvent.h"

#include "BBinding.h"
#include "BDiag.h"

BBindingEvent::BBindingEvent(SignalId sig, bool debug) : BEvent(sig, debug) {
  B_ASSERT(IS_EXTERNAL_SIGNAL(sig) || IS_SYSTEM_SIGNAL(sig),
           "Signal must be in external or system range, sig=" << int(sig));
}

BBindingEvent::~BBindingEvent() {}

void BBindingEvent::printData(DebugLevel) const {}

BKey* BBindingEvent::key() const {
  if (_binding && _binding->key()) return _binding->key();
  B_EXCEPTION("No key available");
  return nullptr;
}
