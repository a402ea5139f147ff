#include "TlctrlUpgrUpload.h"

#include "BBindingEvent.h"
#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "BLocalEvent.h"
#include "TlctrlRoot.h"
#include "TlctrlUpgEot.h"
#include "TlctrlUpgrading.h"
#include "TlprotSignals.h"
#include "TolProgIds.h"

TlctrlUpgrUpload::TlctrlUpgrUpload(BCompositeState* enclosing, bool uplReady)
    : BSimpleState(enclosing, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLUPGRUPLOAD),
      _upgrading(CHECKCAST(TlctrlUpgrading, this->enclosing(TlctrlRoot::TLCTRLUPGRADING))),
      _uplReady(uplReady) {}

void TlctrlUpgrUpload::onEvent(const BEvent* e) {
  if (!e || !_upgrading || e->moduleId() != TOL_PROG) return;
  bool result = true;
  if (e->componentId() == PROT_PARSER) {
    switch (e->signalId()) {
      case TLPROT_REP_ACK:
        if (_uplReady)
          result = sendLocal(new BLocalEvent(TlctrlRoot::LOC_UPG_DATA_READY, true));
        else
          _uplReady = _upgrading->sendPacket();
        transition(static_cast<BState*>(nullptr));
        break;
      case TLPROT_REP_NAK:
        _uplReady = _upgrading->re_SendPacket();
        transition(static_cast<BState*>(nullptr));
        break;
      case TLPROT_REP_BTL_REQ:
        // The device restarted in the middle of the transfer.
        transition(B_ERROR);
        break;
      default:
        break;
    }
  } else if (e->componentId() == PROG_CTRL && e->signalId() == TlctrlRoot::LOC_UPG_DATA_READY) {
    result = sendExternal(new BBindingEvent(TLPROT_EOT, true), TOL_PROG, PROT_PARSER, nullptr) > 0;
    transition(new TlctrlUpgEot(enclosing()));
  }
  B_ASSERT(result, "Unsuccessful result event=" << static_cast<int>(e->signalId()));
}
