#include "TlprotRoot.h"

#include "TlprotBndToConnDrv.h"
#include "TolProgIds.h"

TlprotRoot::TlprotRoot() : BRootState("Tlprot", TOL_PROG, PROT_PARSER, PRIO_4) {}

void TlprotRoot::onEntry(const BEvent*) { addRegion(new TlprotBndToConnDrv(this)); }

void TlprotRoot::onSetup(BBinding* b) { accept(b); }
