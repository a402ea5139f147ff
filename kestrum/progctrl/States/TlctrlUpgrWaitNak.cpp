#include "TlctrlUpgrWaitNak.h"

#include "BCheckcast.h"
#include "BEvent.h"
#include "Language.h"
#include "TlctrlRoot.h"
#include "TlctrlUpgrUpload.h"
#include "TlctrlUpgrading.h"
#include "TlprotSignals.h"
#include "TolProgIds.h"

TlctrlUpgrWaitNak::TlctrlUpgrWaitNak(BCompositeState* enclosing)
    : BSimpleState(enclosing, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLUPGRWAITNAK),
      _upgrading(CHECKCAST(TlctrlUpgrading, this->enclosing(TlctrlRoot::TLCTRLUPGRADING))),
      _root(CHECKCAST(TlctrlRoot, this->enclosing(STATE_ROOT))) {}

void TlctrlUpgrWaitNak::onEntry(const BEvent*) {
  if (_root) _root->frmStatusInfo(gettext("Upgrading, wait Nak", 0), false);
  if (_upgrading) _upgrading->startTimer();
}

void TlctrlUpgrWaitNak::onEvent(const BEvent* e) {
  if (!e || !_upgrading || e->moduleId() != TOL_PROG || e->componentId() != PROT_PARSER) return;
  if (e->signalId() != TLPROT_REP_NAK) return;
  // An image that fits in one packet is complete with the first one.
  bool complete = _upgrading->sendPacket();
  transition(new TlctrlUpgrUpload(enclosing(), complete));
}
