#include "BLocalEvent.h"

#include "BDiag.h"

BLocalEvent::BLocalEvent(SignalId sig, bool debug) : BEvent(sig, debug) {
  B_ASSERT(IS_LOCAL_SIGNAL(sig) || IS_SYSTEM_SIGNAL(sig),
           "signal must be in local or system range, sig=" << int(sig));
}

void BLocalEvent::printData(DebugLevel) const {}
