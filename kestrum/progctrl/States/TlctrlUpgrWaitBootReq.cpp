#include "TlctrlUpgrWaitBootReq.h"

#include "BCheckcast.h"
#include "BEvent.h"
#include "Language.h"
#include "TlctrlRoot.h"
#include "TlctrlUpgrWaitStatInfo.h"
#include "TlctrlUpgrading.h"
#include "TlprotSignals.h"
#include "TolProgIds.h"

TlctrlUpgrWaitBootReq::TlctrlUpgrWaitBootReq(BCompositeState* enclosing)
    : BSimpleState(enclosing, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLUPGRWAITBOOTREQ),
      _upgrading(CHECKCAST(TlctrlUpgrading, this->enclosing(TlctrlRoot::TLCTRLUPGRADING))),
      _root(CHECKCAST(TlctrlRoot, this->enclosing(STATE_ROOT))) {}

void TlctrlUpgrWaitBootReq::onEntry(const BEvent*) {
  if (_upgrading) _upgrading->startTimer();
  if (_root) _root->frmStatusInfo(gettext("Upgrading, wait boot request", 0), false);
}

void TlctrlUpgrWaitBootReq::onEvent(const BEvent* e) {
  if (!e || !_upgrading || e->moduleId() != TOL_PROG || e->componentId() != PROT_PARSER) return;
  if (e->signalId() != TLPROT_REP_BTL_REQ) return;
  _upgrading->sendBtlData(false);
  transition(new TlctrlUpgrWaitStatInfo(enclosing()));
}

void TlctrlUpgrWaitBootReq::onExit(const BEvent*) {
  if (_root) _root->frmStatusInfo(gettext("Upgrading", 0), false);
}
