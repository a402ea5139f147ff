#include "TlctrlBndToProt.h"

#include "TlctrlRoot.h"
#include "TolProgIds.h"

TlctrlBndToProt::TlctrlBndToProt(TlctrlRoot* root)
    : BBinderState(root, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLBNDTOPROT, PRIO_4), _root(root) {}

void TlctrlBndToProt::onEntry(const BEvent*) {}
void TlctrlBndToProt::onEvent(const BEvent*) {}
bool TlctrlBndToProt::portSettings() { return false; }
bool TlctrlBndToProt::handleError(const CdrvErrorEvt*) { return false; }
