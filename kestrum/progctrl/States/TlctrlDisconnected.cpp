#include "TlctrlDisconnected.h"

#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "Language.h"
#include "TlctrlConnected.h"
#include "TlctrlRoot.h"
#include "TlctrlStiEvt.h"
#include "TlprotSignals.h"
#include "TlprotSrqEvt.h"
#include "TolProgIds.h"

TlctrlDisconnected::TlctrlDisconnected(BCompositeState* enclosing)
    : BSimpleState(enclosing, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLDISCONNECTED),
      _root(CHECKCAST(TlctrlRoot, this->enclosing(STATE_ROOT))) {}

void TlctrlDisconnected::onEntry(const BEvent*) {
  if (!_root) return;
  _root->setError(TlctrlRoot::CTRL_TOLVAN_NOT_CONNECTED, true);
  _root->frmStatusRoutine(_root->errorText().c_str(), true);
  _root->startLifeCkTmr();
  // The device that was there is gone: forget its identity.
  _root->sbStoreStInfo(nullptr, nullptr);
  // The next connection may alert its status byte errors again.
  _root->showErrorAlert(true);
}

void TlctrlDisconnected::lifeCheckTimer() {
  if (debugLevel() & DBG_LOW) BDiag::print("-->TlctrlDisconnected::lifeCheckTimer" + traceSuffix());
}

void TlctrlDisconnected::onEvent(const BEvent* e) {
  if (!e || !_root) return;
  bool result = true;
  // The signal numbers are told apart without their source.
  switch (e->signalId()) {
    case TlctrlRoot::LOC_LIFECHECK_TIMER:
      lifeCheckTimer();
      result = sendExternal(new TlprotSrqEvt(), TOL_PROG, PROT_PARSER, nullptr) > 0;
      _root->replyRequested();
      _root->frmStatusTick(_root->errorText().c_str(), true);
      transition(static_cast<BState*>(nullptr));
      break;
    case TLPROT_REP_STATUS_INFO:
      _root->replyAnswered();
      _root->sbStoreStInfo(CHECKCAST_CONST(TlctrlStiEvt, e), nullptr);
      transition(new TlctrlConnected(enclosing()));
      break;
    case TLPROT_REP_BTL_REQ:
      _root->upgrInitByTol(true);
      _root->frmStatusInfo(gettext("Verbonden", 0), false);
      transition(new TlctrlConnected(enclosing()));
      break;
    default:
      break;
  }
  B_ASSERT(result, "Unsuccessful result event=" << static_cast<int>(e->signalId()));
}

void TlctrlDisconnected::onExit(const BEvent*) {
  if (_root) _root->stopLifeCkTmr();
}
