#include "TlctrlUpgrWaitStatInfo.h"

#include <cstring>
#include <string>

#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "BTimer.h"
#include "FrmKestrumImpl.h"
#include "Language.h"
#include "RevPackDb.h"
#include "TlctrlBootInf.h"
#include "TlctrlRoot.h"
#include "TlctrlUpgrWaitNak.h"
#include "TlctrlUpgrading.h"
#include "TlprotSignals.h"
#include "TolProgIds.h"

int TlctrlUpgrWaitStatInfo::_selfTransition = 0;

TlctrlUpgrWaitStatInfo::TlctrlUpgrWaitStatInfo(BCompositeState* enclosing)
    : BSimpleState(enclosing, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLUPGRWAITSTATINFO),
      _upgrading(CHECKCAST(TlctrlUpgrading, this->enclosing(TlctrlRoot::TLCTRLUPGRADING))),
      _timer(new BTimer()),
      _root(CHECKCAST(TlctrlRoot, this->enclosing(STATE_ROOT))),
      _failing(false) {}

TlctrlUpgrWaitStatInfo::~TlctrlUpgrWaitStatInfo() { delete _timer; }

void TlctrlUpgrWaitStatInfo::traceMed(const char* operation) {
  if (debugLevel() & DBG_MED) BDiag::print(std::string("-->TlctrlUpgrWaitStatInfo::") + operation + traceSuffix());
}

void TlctrlUpgrWaitStatInfo::startTimer() {
  traceMed("startTimer");
  _timer->fireEvery(queue(), BTimer::nSecs(BOOTINFO_TIMEOUT_INTV), TlctrlRoot::LOC_BOOTINFO_TO);
}

void TlctrlUpgrWaitStatInfo::stopTimer() {
  traceMed("stopTimer");
  _timer->disarm();
}

void TlctrlUpgrWaitStatInfo::onEntry(const BEvent*) {
  if (_upgrading) _upgrading->startTimer();
  if (_root) _root->frmStatusInfo(gettext("Upgrading, wait status info", 0), false);
  startTimer();
}

void TlctrlUpgrWaitStatInfo::onEvent(const BEvent* e) {
  if (!e || !_upgrading || !_root || e->moduleId() != TOL_PROG) return;
  if (e->componentId() == PROT_PARSER) {
    switch (e->signalId()) {
      case TLPROT_REP_BTL_REQ:
        // The loader did not arrive: it goes out again.
        startTimer();
        _upgrading->sendBtlData(false);
        transition(static_cast<BState*>(nullptr));
        break;
      case TLPROT_REP_BOOT_INFO:
        bootInfo(e);
        break;
      default:
        break;
    }
  } else if (e->componentId() == PROG_CTRL && e->signalId() == TlctrlRoot::LOC_BOOTINFO_TO) {
    bootInfoTimeout();
  } else if (e->componentId() == PROG_CTRL && e->signalId() == TlctrlRoot::LOC_BOOT_PAUSE) {
    pauseOver();
  }
}

void TlctrlUpgrWaitStatInfo::bootInfoTimeout() {
  // The device needs a moment to start the loader: the pause is a timer, so
  // the window and the line are served meanwhile.
  if (_upgrading->sendBtlData(true)) {
    _root->frmStatusInfo(gettext("Wait status info, try other 2nd stage bootloader...", 0), false);
  } else {
    _root->frmStatusInfo(gettext("Wait status info, Error!!", 0), false);
    _failing = true;
  }
  startPause();
  transition(static_cast<BState*>(nullptr));
}

void TlctrlUpgrWaitStatInfo::startPause() {
  traceMed("startPause");
  BTickType ticks = static_cast<BTickType>(RevPackDb::bootPauseMs() / 10);
  _timer->fireIn(queue(), ticks > 0 ? ticks : 1, TlctrlRoot::LOC_BOOT_PAUSE);
}

void TlctrlUpgrWaitStatInfo::pauseOver() {
  if (_failing)
    transition(B_ERROR);
  else {
    startTimer();
    transition(static_cast<BState*>(nullptr));
  }
}

void TlctrlUpgrWaitStatInfo::bootInfo(const BEvent* e) {
  const TlctrlBootInf* info = CHECKCAST_CONST(TlctrlBootInf, e);
  if (!info) {
    transition(static_cast<BState*>(nullptr));
    return;
  }
  if (debugLevel() & DBG_HIGH)
    BDiag::print(std::string("-->TlctrlUpgrWaitStatInfo::bootInfo type=") + info->type + " special=" +
                 info->special + " hardw=" + info->hardw + traceSuffix());
  _root->sbStoreStInfo(nullptr, info);
  if (!_root->upgrInitByTol()) {
    transition(new TlctrlUpgrWaitNak(enclosing()));
    return;
  }
  RevPackDb* db = _root->revPack();
  if (!db) {
    transition(B_ERROR);
    return;
  }
  // "HW02" -> "02": the processor code in the hardware text.
  char code[3] = {0, 0, 0};
  size_t len = strnlen(info->hardw, sizeof info->hardw);
  if (len > 2) code[0] = info->hardw[2];
  if (len > 3) code[1] = info->hardw[3];
  if (!db->checkBtlHwVersion()) {
    db->setBootData(code);
    _upgrading->sendBtlData(false);
    if (_selfTransition < MAX_SELF_TRANSITIONS) {
      ++_selfTransition;
      transition(new TlctrlUpgrWaitStatInfo(enclosing()));
    } else {
      transition(B_ERROR);
    }
    return;
  }
  // An unattended upgrade has no bin list in the window: its bin is the
  // one the database loaded.
  FrmKestrumImpl* impl = _root->frmImpl();
  bool fits = RevPackDb::CMDL_UPGRADE ? db->checkTypeSwHwVers(db->actBinFileName())
                                      : impl && impl->checkTypeHwVers();
  if (!fits) {
    // The user has been told; the 8-second timer goes on.
    transition(static_cast<BState*>(nullptr));
    return;
  }
  transition(new TlctrlUpgrWaitNak(enclosing()));
}

void TlctrlUpgrWaitStatInfo::onExit(const BEvent*) { stopTimer(); }
