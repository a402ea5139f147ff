#include "TlctrlInit.h"

#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "BTimer.h"
#include "CdrvErrorEvt.h"
#include "Language.h"
#include "Main.h"
#include "TlcdrvSignals.h"
#include "TlctrlBndToProt.h"
#include "TlctrlConnected.h"
#include "TlctrlDisconnected.h"
#include "TlctrlRoot.h"
#include "TlctrlStiEvt.h"
#include "TlprotSignals.h"
#include "TlprotSrqEvt.h"
#include "TolProgIds.h"

TlctrlInit::TlctrlInit(BCompositeState* enclosing)
    : BSimpleState(enclosing, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLINIT),
      _root(CHECKCAST(TlctrlRoot, this->enclosing(STATE_ROOT))),
      _lifeChkTmr(new BTimer(queue(), BTimer::ONE_SHOT)) {}

TlctrlInit::~TlctrlInit() { delete _lifeChkTmr; }

void TlctrlInit::onEntry(const BEvent*) {
  if (TlctrlBndToProt* bnd = dynamic_cast<TlctrlBndToProt*>(enclosing())) bnd->portSettings();
  sendExternal(new TlprotSrqEvt(), TOL_PROG, PROT_PARSER, nullptr);
  _lifeChkTmr->load(BTimer::nSecs(INIT_TMR_INTV), TlctrlRoot::LOC_LIFECHECK_TIMER);
  if (!_root) return;
  _root->replyRequested();
  _root->startLifeCkTimeout();
  _root->frmStatusInfo(gettext("Initializeren ...", 0), false);
}

void TlctrlInit::onEvent(const BEvent* e) {
  if (!e || !_root) return;
  bool result = true;
  // The signal numbers below are told apart without their source.
  switch (e->signalId()) {
    case TLPROT_REP_STATUS_INFO:
      _root->replyAnswered();
      _root->stopLifeCkTimeout();
      _root->sbStoreStInfo(CHECKCAST_CONST(TlctrlStiEvt, e), nullptr);
      transition(new TlctrlConnected(enclosing()));
      return;
    case TLPROT_REP_BTL_REQ:
      // The device starts in its boot loader and wants firmware.
      _root->upgrInitByTol(true);
      transition(new TlctrlConnected(enclosing()));
      return;
    case TlctrlRoot::LOC_LIFECHECK_TIMEOUT:
      if (!_root->lifeCkTimeoutStands()) {
        transition(static_cast<BState*>(nullptr));
        return;
      }
      Main::_exitCode = 1;
      transition(new TlctrlDisconnected(enclosing()));
      return;
    case TlctrlRoot::LOC_LIFECHECK_TIMER:
      result = sendExternal(new TlprotSrqEvt(), TOL_PROG, PROT_PARSER, nullptr) > 0;
      _root->replyRequested();
      _lifeChkTmr->load(BTimer::nSecs(INIT_TMR_INTV), TlctrlRoot::LOC_LIFECHECK_TIMER);
      transition(static_cast<BState*>(nullptr));
      break;
    default:
      break;
  }
  if (e->moduleId() == TOL_PROG && e->componentId() == CONN_DRV && e->signalId() == CDRV_ERROR) {
    const CdrvErrorEvt* err = CHECKCAST_CONST(CdrvErrorEvt, e);
    if (!err) {
      result = false;
    } else if (err->error() == CdrvErrorEvt::CDRV_SET_COM_NOT_OPEN) {
      _root->setError(TlctrlRoot::CTRL_COM_NOT_OPEN, true);
      // The disconnected state waits without limit.
      _root->stopLifeCkTimeout();
      transition(new TlctrlDisconnected(enclosing()));
    } else if (err->error() == CdrvErrorEvt::CDRV_CLEAR_COM_NOT_OPEN) {
      _root->setError(TlctrlRoot::CTRL_COM_NOT_OPEN, false);
    } else {
      B_ASSERT(false, "Unknown cdrv error:" << static_cast<int>(err->error()));
      result = false;
    }
  }
  B_ASSERT(result, "Unsuccessful result event=" << static_cast<int>(e->signalId()));
}

void TlctrlInit::onExit(const BEvent*) {}
