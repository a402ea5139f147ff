#include "TlctrlBndToProt.h"

#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "CdrvErrorEvt.h"
#include "CdrvPortSetEvt.h"
#include "TlcdrvBinding.h"
#include "TlcdrvSignals.h"
#include "TlctrlInit.h"
#include "TlctrlRoot.h"
#include "TlprotBinding.h"
#include "TolProgIds.h"

TlctrlBndToProt::TlctrlBndToProt(TlctrlRoot* root)
    : BBinderState(root, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLBNDTOPROT, PRIO_4),
      _root(CHECKCAST(TlctrlRoot, enclosing())) {}

void TlctrlBndToProt::onEntry(const BEvent*) {
  if (_root) _root->frmCtrlBndSt(this);
  addRegion(new TlctrlInit(this));
  // The driver is one instance, shared with the parser's own binding to it.
  addBinding(new TlcdrvBinding());
  addBinding(new TlprotBinding());
}

void TlctrlBndToProt::onEvent(const BEvent* e) {
  if (!e || e->moduleId() != TOL_PROG || e->componentId() == PROG_CTRL) return;
  bool result = true;
  if (e->componentId() == CONN_DRV && e->signalId() == CDRV_ERROR)
    result = handleError(CHECKCAST_CONST(CdrvErrorEvt, e));
  B_ASSERT(result, "Unsuccessful result event=" << static_cast<int>(e->signalId()));
}

bool TlctrlBndToProt::handleError(const CdrvErrorEvt* e) {
  if (!e || !_root) return false;
  switch (e->error()) {
    case CdrvErrorEvt::CDRV_SET_COM_NOT_OPEN:
      _root->setError(TlctrlRoot::CTRL_COM_NOT_OPEN, true);
      return true;
    case CdrvErrorEvt::CDRV_CLEAR_COM_NOT_OPEN:
      _root->setError(TlctrlRoot::CTRL_COM_NOT_OPEN, false);
      return true;
    default:
      B_ASSERT(false, "Unknown cdrv error:" << static_cast<int>(e->error()));
      return false;
  }
}

bool TlctrlBndToProt::portSettings() {
  if (!_root) return false;
  return sendExternal(new CdrvPortSetEvt(_root->cfgComPort()), TOL_PROG, CONN_DRV, nullptr) > 0;
}
