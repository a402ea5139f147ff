#include "TlctrlUploading.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "BLocalEvent.h"
#include "BTimer.h"
#include "FrmKestrumImpl.h"
#include "Language.h"
#include "Main.h"
#include "RevPackDb.h"
#include "SettingBin.h"
#include "TlctrlConnIdle.h"
#include "TlctrlReadBack.h"
#include "TlctrlRoot.h"
#include "TlctrlUplEndEvt.h"
#include "TlprotSeeEvt.h"
#include "TlprotSignals.h"
#include "TlprotUplEndEvt.h"
#include "TlprotUprEvt.h"
#include "TolProgIds.h"
#include "UserDialog.h"

TlctrlUploading::TlctrlUploading(BCompositeState* enclosing)
    : BSimpleState(enclosing, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLUPLOADING),
      _root(CHECKCAST(TlctrlRoot, this->enclosing(STATE_ROOT))),
      _settingBin(_root ? _root->tolSettingBin() : nullptr),
      _actEntry(1),
      _timer(new BTimer()),
      _completed(false) {}

TlctrlUploading::~TlctrlUploading() {
  delete _timer;
  // The pack's settings went in first; the upgrade they belong to follows.
  // Only an upload started for that purpose leads to it: a plain
  // "Programmeren" after choosing such a bin must not start an upgrade.
  if (RevPackDb::activeKvnFile()[0] != '\0' && _settingBin && _settingBin->progPreUpgrade() &&
      _root && !Main::shutdownActive())
    _root->sendLocal(new BLocalEvent(TlctrlRoot::LOC_UPGRADE_REQ, true), STATE_ROOT);
  if (_settingBin) _settingBin->progPreUpgrade(false);
}

void TlctrlUploading::traceMed(const char* operation) {
  if (debugLevel() & DBG_MED) BDiag::print(std::string("-->TlctrlUploading::") + operation + traceSuffix());
}

void TlctrlUploading::startTimer() {
  traceMed("startTimer");
  _timer->fireIn(queue(), BTimer::nSecs(UPLOAD_TIMEOUT_INTV), TlctrlRoot::LOC_UPLOAD_TO);
}

void TlctrlUploading::stopTimer() {
  traceMed("stopTimer");
  _timer->disarm();
}

void TlctrlUploading::onEntry(const BEvent*) {
  if (!_root) return;
  _root->stopLifeCkTimeout();
  _root->frmStatusInfo(gettext("Programmeren", 0), false);
  _root->frmSetCursorBusy(true);
  _root->frmActivateButtons(false);
  if (_settingBin) {
    _settingBin->editFromDownload(true);
    _settingBin->doProgramming(true);
  }
  if (_root->readBack()) _root->readBack()->programmingStarts();
  startTimer();
}

bool TlctrlUploading::sendEntry(uint8_t nr) {
  SettingBin::SettingEntry* entry = _settingBin ? _settingBin->getEntry(nr) : nullptr;
  if (!entry) return false;
  TlprotSeeEvt* see = new TlprotSeeEvt();
  see->entryNr(nr);
  see->f1data(entry->text);
  see->f2data(entry->tfnr);
  // The device does not take backslashes in texts.
  see->convertF1('\\', '/');
  return sendExternal(see, TOL_PROG, PROT_PARSER, nullptr) > 0;
}

bool TlctrlUploading::checkTextSize(char* text) {
  size_t full = strlen(text);
  // The length counts as the device's 8-bit length byte does.
  uint8_t len = static_cast<uint8_t>(full);
  uint8_t max = _settingBin->textFieldSize(_actEntry, SBEntry::INVALID_TYPE);
  if (full == 0 || len <= max) return true;
  std::string msg;
  msg += gettext("Attentie!!", 0);
  msg += "\n";
  msg += gettext("Veldnaam", 0);
  msg += ", \"" + _settingBin->sbEntryTitle(_actEntry, 'T') + "\", \n";
  msg += gettext("Waarde", 0);
  msg += std::string(", \"") + text + "\"\n";
  msg += gettext("Kan niet geprogrammeerd worden!!", 0);
  msg += "\n";
  msg += gettext("Text is te lang. max: ", 0);
  msg += std::to_string(max) + " " + gettext("karakters", 0) + ".\n";
  text[max] = '\0';
  msg += gettext("Waarde", 0);
  msg += std::string(", \"") + text + "\" " + gettext("wordt geprogrammeerd.", 0) + "\n";
  stopTimer();
  return UserDialog::choice(msg.c_str(), gettext("Programmeren continueren", 0),
                            gettext("Programmeren stoppen", 0), nullptr) == 0;
}

bool TlctrlUploading::handleAck() {
  bool go = _root->sbValidEntry(_actEntry);
  if (go) {
    if (!_settingBin->entrySupported(_actEntry, 'N')) {
      stopTimer();
      std::string msg = gettext("Attentie!!", 0);
      msg += "\n";
      msg += gettext("Veldnaam", 0);
      msg += ", \"" + _settingBin->sbEntryTitle(_actEntry, 'N') + "\"\n";
      msg += gettext("wordt niet ondersteund voor deze hardware versie.", 0);
      UserDialog::choice(msg.c_str(), gettext("Programmeren continueren", 0), nullptr, nullptr);
    }
    SettingBin::SettingEntry* entry = _settingBin->getEntry(_actEntry);
    if (!entry || !checkTextSize(entry->text)) {
      go = false;
    } else {
      go = sendEntry(_actEntry);
      char status[256];
      snprintf(status, sizeof status, "%s #%d %s.", gettext("Programmeren", 0), _actEntry,
               gettext("gereed", 0));
      uint8_t total = SettingBin::maxTolEntries() > 200 ? 200 : SettingBin::maxTolEntries();
      _root->frmProgress(status, gettext("Programmeren", 0), _actEntry, total);
    }
    if (go) ++_actEntry;
  }
  if (go) {
    // The device must acknowledge within the life-check time.
    _root->restartLifeCkTimeout();
    return true;
  }
  // Last entry sent, stopped by the user, or a send failed: the device
  // always gets the end of the upload.
  bool ended = sendExternal(new TlprotUplEndEvt(), TOL_PROG, PROT_PARSER, nullptr) > 0;
  bool posted = sendLocal(new TlctrlUplEndEvt());
  _root->restartLifeCkTimeout();
  return ended || posted;
}

bool TlctrlUploading::handleNak() {
  _root->restartLifeCkTimeout();
  // Refused before any entry went out: the upload request itself is
  // repeated, as on a busy reply.
  if (_actEntry < 2) return sendExternal(new TlprotUprEvt(), TOL_PROG, PROT_PARSER, nullptr) > 0;
  uint8_t last = static_cast<uint8_t>(_actEntry - 1);
  if (!_root->sbValidEntry(last)) return true;
  return sendEntry(last);
}

bool TlctrlUploading::waiting() {
  bool result;
  if (_actEntry < 2)
    result = sendExternal(new TlprotUprEvt(), TOL_PROG, PROT_PARSER, nullptr) > 0;
  else
    result = handleNak();
  char status[256];
  snprintf(status, sizeof status, "%s, %s.", gettext("Programmeren", 0),
           gettext("wacht tot Tolvan gereed is ...", 0));
  _root->frmStatusInfo(status, false);
  _root->restartLifeCkTimeout();
  startTimer();
  return result;
}

void TlctrlUploading::onEvent(const BEvent* e) {
  if (!e || !_root || !_settingBin) return;
  bool result = true;
  // Only the signal number is tested: the driver never sends these numbers
  // to the controller.
  switch (e->signalId()) {
    case TLPROT_REP_ACK:
      stopTimer();
      result = handleAck();
      transition(static_cast<BState*>(nullptr));
      break;
    case TLPROT_REP_NAK:
      result = handleNak();
      transition(static_cast<BState*>(nullptr));
      break;
    case TLPROT_REP_WAIT:
    case TlctrlRoot::LOC_UPLOAD_TO:
      result = waiting();
      break;
    case TlctrlRoot::LOC_UPL_END:
      _completed = true;
      Main::_exitCode = 0;
      transition(new TlctrlConnIdle(enclosing()));
      break;
    default:
      break;
  }
  B_ASSERT(result, "Unsuccessful result event=" << static_cast<int>(e->signalId()));
}

void TlctrlUploading::onExit(const BEvent*) {
  if (!_root) return;
  _root->frmSetCursorBusy(false);
  _root->frmActivateButtons(true);
  if (_settingBin) _settingBin->doProgramming(false);
  // A check of what went in follows when asked for.
  bool checkFollows = _root->readBack() && _root->readBack()->programmingEnded(_completed);
  if (FrmKestrumImpl::CMDL_PROGRAM) {
    // A command-line run ends here, however the upload ended, unless the
    // check follows; the idle state that follows must not start it over.
    FrmKestrumImpl::CMDL_PROGRAM = false;
    if (!checkFollows) {
      if (FrmKestrumImpl* impl = _root->frmImpl()) impl->shutdown();
      Main::_shutdown = true;
    }
  }
  stopTimer();
}
