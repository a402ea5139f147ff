#include "TlctrlConnIdle.h"
#include "TextUtil.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "BLocalEvent.h"
#include "FrmKestrumImpl.h"
#include "Language.h"
#include "ExitCode.h"
#include "Main.h"
#include "RevPackDb.h"
#include "SettingBin.h"
#include "TlctrlConnected.h"
#include "TlctrlDldReqEvt.h"
#include "TlctrlDownloading.h"
#include "TlctrlReadBack.h"
#include "TlctrlRoot.h"
#include "TlctrlStiEvt.h"
#include "TlctrlUplReqEvt.h"
#include "TlctrlUpgrBackup.h"
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
      _root(CHECKCAST(TlctrlRoot, this->enclosing(STATE_ROOT))),
      _heldRequest(0),
      _heldTicks(0),
      _released(0) {}

void TlctrlConnIdle::onEntry(const BEvent*) {
  if (!_root) return;
  // A job that just ended keeps its closing words on show for a moment.
  _root->frmStatusRoutine(gettext("Verbonden", 0), false);
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
      // Nothing was sent to the device; the pack or bin named cannot be used.
      TlctrlRoot::endCommandLineRun(EXIT_INPUT_UNUSABLE);
    }
    return;
  }
  const char* file = FrmKestrumImpl::PROG_FILE_KVN;
  if (!file || file[0] == '\0' || !FrmKestrumImpl::CMDL_PROGRAM) return;
  FrmKestrumImpl* impl = _root->frmImpl();
  bool readable = TextUtil::readableFile(file);
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
    TlctrlRoot::endCommandLineRun(EXIT_INPUT_UNUSABLE);
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
  if (!_root->backupDone()) {
    // The device's settings are saved before anything is written to it.
    transition(new TlctrlUpgrBackup(enclosing(), TlctrlUpgrBackup::THEN_UPGRADE));
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

void TlctrlConnIdle::holdRequest(SignalId sig) {
  _heldRequest = sig;
  _heldTicks = 0;
  if (debugLevel() & DBG_MED)
    BDiag::print("TlctrlConnIdle::holdRequest sig=" + std::to_string(sig) + ": waits for the status info due" +
                 traceSuffix());
}

// The answer due is in, or its time-out passed: the held request starts.
void TlctrlConnIdle::releaseRequest(bool force) {
  if (!_heldRequest || (!force && _root->replyDue())) return;
  SignalId sig = _heldRequest;
  _heldRequest = 0;
  _released = sig;
  if (debugLevel() & DBG_MED)
    BDiag::print("TlctrlConnIdle::releaseRequest sig=" + std::to_string(sig) + traceSuffix());
  switch (sig) {
    case TlctrlRoot::LOC_DNLD_REQUEST: sendLocal(new TlctrlDldReqEvt()); break;
    case TlctrlRoot::LOC_UPL_REQUEST: sendLocal(new TlctrlUplReqEvt()); break;
    default: sendLocal(new BLocalEvent(sig, true)); break;
  }
}

bool TlctrlConnIdle::programmable() {
  SettingBin* sb = _root->tolSettingBin();
  if (!sb || FrmKestrumImpl::CMDL_PROGRAM || sb->progPreUpgrade() || sb->tolType()[0] != '\0')
    return true;
  // Settings without a device type cannot be checked against the device.
  bool any = false;
  for (int i = 1; i < SettingBin::MAX_ENTRIES && !any; i++) {
    const SettingBin::SettingEntry* e = sb->getEntry(static_cast<uint8_t>(i));
    any = e->text[0] != '\0' || e->tfnr[0] != '\0';
  }
  char text[256];
  snprintf(text, sizeof text, "%s: %s", gettext("Niet geprogrammeerd", 0),
           any ? gettext("het Tolvan type van de instellingen is onbekend", 0)
               : gettext("er zijn geen instellingen (Nieuw, Open of Ophalen)", 0));
  _root->frmStatusNote(text, true, TlctrlRoot::STATUS_NOTE_TICKS);
  return false;
}

bool TlctrlConnIdle::preUpgradeUpload() const {
  SettingBin* sb = _root->tolSettingBin();
  return sb && sb->progPreUpgrade() && RevPackDb::activeKvnFile()[0] != '\0';
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
      case TlctrlRoot::LOC_UPL_REQUEST:
      case TlctrlRoot::LOC_UPGRADE_REQ:
        if (_released == e->signalId()) {
          _released = 0;
        } else if (_root->replyDue()) {
          holdRequest(e->signalId());
          transition(static_cast<BState*>(nullptr));
          return;
        }
        break;
      default:
        break;
    }
    switch (e->signalId()) {
      case TlctrlRoot::LOC_DNLD_REQUEST:
        result = sendExternal(new TlprotDlrEvt(), TOL_PROG, PROT_PARSER, nullptr) > 0;
        transition(new TlctrlDownloading(enclosing()));
        break;
      case TlctrlRoot::LOC_LIFECHECK_TIMER:
        lifeCheckTimer();
        _root->frmStatusTick(gettext("Verbonden", 0), false);
        // A held request starts as soon as the answer due is in: asking
        // again would only put it off.
        if (!_heldRequest) {
          result = sendExternal(new TlprotSrqEvt(), TOL_PROG, PROT_PARSER, nullptr) > 0;
          _root->replyRequested();
        } else if (++_heldTicks >= MAX_HELD_TICKS) {
          // An answer cut short on the line never ends: the request goes.
          releaseRequest(true);
        }
        transition(static_cast<BState*>(nullptr));
        break;
      case TlctrlRoot::LOC_REPLY_TIMEOUT:
        releaseRequest();
        transition(static_cast<BState*>(nullptr));
        break;
      case TlctrlRoot::LOC_UPL_REQUEST:
        // The settings store asks the user when the settings are for another
        // device type.
        if (!programmable()) {
          transition(static_cast<BState*>(nullptr));
        } else if (preUpgradeUpload() && !_root->backupDone()) {
          // The pack's settings are the upgrade's first write: the device's
          // own are saved before.
          transition(new TlctrlUpgrBackup(enclosing(), TlctrlUpgrBackup::THEN_UPLOAD));
        } else if (_root->sbCheckTolTypes() && (!_root->readBack() || _root->readBack()->confirmProgramming())) {
          // Then, when the device's settings are known, the user has seen
          // what will change in it.
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
        // The acknowledge of an upload's end.
        _root->replyAnswered();
        _root->restartLifeCkTimeout();
        transition(static_cast<BState*>(nullptr));
        releaseRequest();
        break;
      case TLPROT_REP_STATUS_INFO:
        _root->replyAnswered();
        _root->sbStoreStInfo(CHECKCAST_CONST(TlctrlStiEvt, e), nullptr);
        _root->restartLifeCkTimeout();
        if (_root->upgradeDoneNote()) {
          const TlctrlStiEvt* sti = CHECKCAST_CONST(TlctrlStiEvt, e);
          // The first report after the upgrade names the new software.
          if (sti && sti->type[0] != '\0') _root->reportUpgradeDone(sti->softw);
        }
        transition(static_cast<BState*>(nullptr));
        if (_root->readBack()) _root->readBack()->deviceAnswered(this);
        releaseRequest();
        break;
      case TLPROT_REP_NAK:
        // Only the time-out decides that the device is gone; the NAK answers
        // the status request all the same.
        _root->replyAnswered();
        transition(static_cast<BState*>(nullptr));
        releaseRequest();
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
