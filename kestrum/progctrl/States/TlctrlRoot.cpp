#include "TlctrlRoot.h"

TlctrlRoot::TlctrlRoot() : BRootState("Tlctrl", TOL_PROG, PROG_CTRL, PRIO_4) {
  _lastRevpackFile[0] = '\0';
  _lastBinFile[0] = '\0';
}

TlctrlRoot::~TlctrlRoot() {}

void TlctrlRoot::onSetup(BBinding* b) { accept(b); }
void TlctrlRoot::onRelease(BBinding*) {}
