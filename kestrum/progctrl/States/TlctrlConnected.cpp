#include "TlctrlConnected.h"

#include <cstdio>
#include <sstream>

#include <FL/Fl.H>

#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "Language.h"
#include "ExitCode.h"
#include "FrmKestrumImpl.h"
#include "Main.h"
#include "UserDialog.h"
#include "RevPackDb.h"
#include "TlctrlConnIdle.h"
#include "TlctrlDisconnected.h"
#include "TlctrlRoot.h"
#include "TlctrlUpgrading.h"
#include "TlprotSignals.h"
#include "TolProgIds.h"

TlctrlConnected::TlctrlConnected(BCompositeState* enclosing)
    : BCompositeState(enclosing, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLCONNECTED, PRIO_4),
      _root(CHECKCAST(TlctrlRoot, this->enclosing(STATE_ROOT))) {}

void TlctrlConnected::onEntry(const BEvent* e) {
  std::ostringstream os;
  os << "-->TlctrlConnected::onEntry mod=" << (e ? e->moduleId() : 0)
     << " cmp=" << static_cast<int>(e ? e->componentId() : 0)
     << " sig=" << static_cast<int>(e ? e->signalId() : 0);
  BDiag::print(os.str());
  if (!_root) {
    addRegion(new TlctrlConnIdle(this));
    return;
  }
  _root->connected(true);
  if (e && e->moduleId() == TOL_PROG && e->componentId() == PROT_PARSER && e->signalId() == TLPROT_REP_BTL_REQ)
    bootLoadReq(e);
  else
    addRegion(new TlctrlConnIdle(this));
  _root->setError(TlctrlRoot::CTRL_TOLVAN_NOT_CONNECTED, false);
  _root->frmStatusInfo(gettext("Verbonden", 0), false);
  _root->checkForRevpack();
}

bool TlctrlConnected::waitForBinFile() {
  if (!_root) return false;
  _root->stopLifeCkTimeout();
  if (TlctrlRoot::cmdlUpgradeNamed()) {
    // Unattended: the bin named on the command line, nobody to ask.
    if (_root->loadCmdlUpgrade()) {
      _root->binFileSet(true);
      return true;
    }
    TlctrlRoot::endCommandLineRun(EXIT_INPUT_UNUSABLE);
    return false;
  }
  if (UserDialog::unattended()) {
    // Nobody is there to choose a bin file: the run was not given one.
    BDiag::print("Status Info: the device asks for firmware; no upgrade was asked for");
    fprintf(stderr, "kestrum: the device is in its boot loader and asks for firmware; run -upgrade for it\n");
    TlctrlRoot::endCommandLineRun(EXIT_INPUT_UNUSABLE);
    return false;
  }
  _root->informSetBinFile();
  _root->binFileSet(false);
  while (!_root->binFileSet() && !Main::shutdownActive()) Fl::wait(0.01);
  return _root->binFileSet() && !Main::shutdownActive();
}

bool TlctrlConnected::binLoaded() const {
  RevPackDb* db = _root ? _root->revPack() : nullptr;
  return db && db->binSize() > 0;
}

void TlctrlConnected::bootLoadReq(const BEvent* e) {
  // Closing the program ends the wait; no upgrade is made then.
  if (!waitForBinFile()) return;
  RevPackDb* db = _root->revPack();
  addRegion(new TlctrlUpgrading(this, db ? db->binSize() : 0, db ? db->binData() : nullptr, e));
}

void TlctrlConnected::onEvent(const BEvent* e) {
  if (!e || e->moduleId() != TOL_PROG || e->componentId() != PROG_CTRL) return;
  switch (e->signalId()) {
    case TlctrlRoot::LOC_LIFECHECK_TIMEOUT:
      if (!_root || !_root->lifeCkTimeoutStands()) {
        transition(static_cast<BState*>(nullptr));
        break;
      }
      // The device stopped answering, whatever was running.
      Main::_exitCode = 1;
      if (debugLevel()) BDiag::print("-->TlctrlConnected::lifeCheckTimeout" + traceSuffix());
      transition(new TlctrlDisconnected(enclosing()));
      break;
    case TlctrlRoot::LOC_UPGRADE_TO:
      // The device stopped answering in the middle of an upgrade: an
      // unattended upgrade must not end as if it had succeeded.
      Main::_exitCode = 1;
      transition(new TlctrlDisconnected(enclosing()));
      break;
    default:
      break;
  }
}

void TlctrlConnected::onDone(const BEvent*, RegionId) {}

void TlctrlConnected::onError(const BEvent*, RegionId) { transition(new TlctrlDisconnected(enclosing())); }

void TlctrlConnected::onExit(const BEvent*) {
  if (!_root) return;
  _root->connected(false);
  // An upgrade cut short by the lost connection is over, backup and all;
  // a device found again is not announced as freshly upgraded.
  _root->backupDone(false);
  _root->upgradeDoneNote(false);
}
