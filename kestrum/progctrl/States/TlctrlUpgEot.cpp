#include "TlctrlUpgEot.h"

#include "BBindingEvent.h"
#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "BLocalEvent.h"
#include "Language.h"
#include "TlctrlRoot.h"
#include "TlctrlUpgrading.h"
#include "TlprotSignals.h"
#include "TolProgIds.h"

TlctrlUpgEot::TlctrlUpgEot(BCompositeState* enclosing)
    : BSimpleState(enclosing, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLUPGEOT),
      _upgrading(CHECKCAST(TlctrlUpgrading, this->enclosing(TlctrlRoot::TLCTRLUPGRADING))),
      _root(CHECKCAST(TlctrlRoot, this->enclosing(STATE_ROOT))) {}

void TlctrlUpgEot::onEntry(const BEvent*) {
  if (_upgrading) _upgrading->startTimer();
}

void TlctrlUpgEot::onEvent(const BEvent* e) {
  if (!e || !_upgrading || e->moduleId() != TOL_PROG || e->componentId() != PROT_PARSER) return;
  bool result = true;
  switch (e->signalId()) {
    case TLPROT_REP_ACK:
      result = sendLocal(new BLocalEvent(TlctrlRoot::LOC_UPGRADE_END, true));
      transition(static_cast<BState*>(nullptr));
      break;
    case TLPROT_REP_NAK:
      result = sendExternal(new BBindingEvent(TLPROT_EOT, true), TOL_PROG, PROT_PARSER, nullptr) > 0;
      _upgrading->startTimer();
      transition(static_cast<BState*>(nullptr));
      break;
    default:
      break;
  }
  B_ASSERT(result, "Unsuccessful result event=" << static_cast<int>(e->signalId()));
}

void TlctrlUpgEot::onExit(const BEvent*) {
  if (_root) _root->frmStatusInfo(gettext("Upgrading, End Of Tx", 0), false);
  if (_upgrading) _upgrading->stopTimer();
}
