#include "TlctrlConnIdle.h"

#include <cstdio>
#include <cstring>

#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "BLocalEvent.h"
#include "FrmKestrumImpl.h"
#include "Language.h"
#include "Main.h"
#include "RevPackDb.h"
#include "SettingBin.h"
#include "TlctrlConnected.h"
#include "TlctrlDownloading.h"
#include "TlctrlReadBack.h"
#include "TlctrlRoot.h"
#include "TlctrlStiEvt.h"
#include "TlctrlUplReqEvt.h"
#include "TlctrlUpgrading.h"
#include "TlctrlUploading.h"
#include "TlprotDlrEvt.h"
#include "TlprotSignals.h"
#include "TlprotSrqEvt.h"
#include "TlprotUpgradeReq.h"
#include "TlprotUprEvt.h"
#include "TolProgIds.h"

TlctrlConnIdle::TlctrlConnIdle(BCompositeState* enclosing)
    : BSimpleState(enclosing, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLCONNIDLE),
      _root(CHECKCAST(TlctrlRoot, this->enclosing(STATE_ROOT))) {}

void TlctrlConnIdle::onEntry(const BEvent*) {
  if (!_root) return;
  _root->frmStatusInfo(gettext("Verbonden", 0), false);
  _root->startLifeCkTmr();
  _root->startLifeCkTimeout();
  commandLineStart();
}

void TlctrlConnIdle::commandLineStart() {
  // Once the program is shutting down, a finished programming run must not
  // start over.
  if (Main::shutdownActive()) return;
  // A fetch, a verify, or the check after programming.
  if (_root->readBack() && _root->readBack()->idleEntered(this)) return;
  if (TlctrlRoot::cmdlUpgradeNamed()) {
    if (!commandLineUpgrade()) {
      // Nothing was sent to the device; the run ends as failed.
      Main::_exitCode = 1;
      RevPackDb::CMDL_UPGRADE = false;
      Main::_shutdown = true;
    }
    return;
  }
  const char* file = FrmKestrumImpl::PROG_FILE_KVN;
  if (!file || file[0] == '\0' || !FrmKestrumImpl::CMDL_PROGRAM) return;
  FrmKestrumImpl* impl = _root->frmImpl();
  FILE* probe = fopen(file, "r");
  bool readable = probe != nullptr;
  if (probe) fclose(probe);
  SettingBin* sb = _root->tolSettingBin();
  if (impl && readable) {
    impl->btOpenSb();
  } else if (sb && readable) {
    // No window: the store reads the file itself.
    sb->editFromDownload(false);
    sb->file(file);
    if (!sb->loadFromFile()) sb->file(nullptr);
  }
  if (!readable || !sb || !sb->file() || strcmp(sb->file(), file) != 0) {
    // The file could not be read: programming whatever the store holds
    // would wipe the device's settings. The run ends as failed instead.
    B_EXCEPTION("Settings file " << file << " not loaded; nothing programmed");
    Main::_exitCode = 1;
    FrmKestrumImpl::CMDL_PROGRAM = false;
    if (impl) impl->shutdown();
    Main::_shutdown = true;
    return;
  }
  sendLocal(new TlctrlUplReqEvt());
}

bool TlctrlConnIdle::commandLineUpgrade() {
  if (!_root->loadCmdlUpgrade()) return false;
  sendLocal(new BLocalEvent(TlctrlRoot::LOC_UPGRADE_REQ, true));
  return true;
}

void TlctrlConnIdle::upgradeRequest(const BEvent* e) {
  RevPackDb* db = _root->revPack();
  if (!db || db->binSize() <= 0) {
    // Restarting the device into its boot loader with nothing to load
    // would leave it without firmware.
    B_EXCEPTION("Upgrade asked for without a bin file; ignored");
    transition(static_cast<BState*>(nullptr));
    return;
  }
  sendExternal(new TlprotUpgradeReq(), TOL_PROG, PROT_PARSER, nullptr);
  transition(new TlctrlUpgrading(enclosing(), db->binSize(), db->binData(), e));
}

void TlctrlConnIdle::bootLoadRequest(const BEvent* e) {
  // The device restarted into its boot loader by itself and wants firmware.
  _root->upgrInitByTol(true);
  TlctrlConnected* connected = dynamic_cast<TlctrlConnected*>(enclosing());
  if (!connected) {
    transition(static_cast<BState*>(nullptr));
    return;
  }
  if (!connected->binLoaded() && !connected->waitForBinFile()) {
    transition(static_cast<BState*>(nullptr));
    return;
  }
  RevPackDb* db = _root->revPack();
  if (!db || db->binSize() <= 0) {
    transition(static_cast<BState*>(nullptr));
    return;
  }
  transition(new TlctrlUpgrading(enclosing(), db->binSize(), db->binData(), e));
}

void TlctrlConnIdle::lifeCheckTimer() {
  if (debugLevel() & DBG_MED) BDiag::print("TlctrlConnIdle::lifeCheckTimer" + traceSuffix());
}

void TlctrlConnIdle::onEvent(const BEvent* e) {
  if (!e || !_root || e->moduleId() != TOL_PROG) return;
  bool result = true;
  if (e->componentId() == PROG_CTRL) {
    switch (e->signalId()) {
      case TlctrlRoot::LOC_DNLD_REQUEST:
        result = sendExternal(new TlprotDlrEvt(), TOL_PROG, PROT_PARSER, nullptr) > 0;
        transition(new TlctrlDownloading(enclosing()));
        break;
      case TlctrlRoot::LOC_LIFECHECK_TIMER:
        lifeCheckTimer();
        result = sendExternal(new TlprotSrqEvt(), TOL_PROG, PROT_PARSER, nullptr) > 0;
        transition(static_cast<BState*>(nullptr));
        break;
      case TlctrlRoot::LOC_UPL_REQUEST:
        // The settings store asks the user when the settings are for another
        // device type.
        // Then, when the device's settings are known, the user sees what
        // will change in it.
        if (_root->sbCheckTolTypes() && (!_root->readBack() || _root->readBack()->confirmProgramming())) {
          result = sendExternal(new TlprotUprEvt(), TOL_PROG, PROT_PARSER, nullptr) > 0;
          transition(new TlctrlUploading(enclosing()));
        } else {
          transition(static_cast<BState*>(nullptr));
        }
        break;
      case TlctrlRoot::LOC_UPGRADE_REQ:
        upgradeRequest(e);
        break;
      default:
        break;
    }
  } else if (e->componentId() == PROT_PARSER) {
    switch (e->signalId()) {
      case TLPROT_REP_ACK:
        _root->restartLifeCkTimeout();
        transition(static_cast<BState*>(nullptr));
        break;
      case TLPROT_REP_STATUS_INFO:
        _root->sbStoreStInfo(CHECKCAST_CONST(TlctrlStiEvt, e), nullptr);
        _root->restartLifeCkTimeout();
        transition(static_cast<BState*>(nullptr));
        if (_root->readBack()) _root->readBack()->deviceAnswered(this);
        break;
      case TLPROT_REP_NAK:
        // Only the time-out decides that the device is gone.
        transition(static_cast<BState*>(nullptr));
        break;
      case TLPROT_REP_BTL_REQ:
        bootLoadRequest(e);
        break;
      default:
        break;
    }
  }
  B_ASSERT(result, "Unsuccessful result event=" << static_cast<int>(e->signalId()));
}

void TlctrlConnIdle::onExit(const BEvent*) {
  if (!_root) return;
  _root->stopLifeCkTmr();
  _root->stopLifeCkTimeout();
}
