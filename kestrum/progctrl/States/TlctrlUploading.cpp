#include "TlctrlUploading.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "BLocalEvent.h"
#include "BTimer.h"
#include "ExitCode.h"
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
      _refusals(0),
      _endNote(nullptr),
      _lastProgress(bTimerTick()),
      _failed(false),
      _refused(false),
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
  _lastProgress = bTimerTick();
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
  std::string cut(text, max);
  msg += gettext("Waarde", 0);
  msg += ", \"" + cut + "\" " + gettext("wordt geprogrammeerd.", 0) + "\n";
  stopTimer();
  int answer = UserDialog::choice(msg.c_str(), gettext("Programmeren continueren", 0),
                                  gettext("Programmeren stoppen", 0), nullptr);
  if (answer == UserDialog::NO_ANSWER)
    unanswered("text of " + std::to_string(full) + " characters, the field holds " + std::to_string(max), 'T');
  if (answer != 0) return false;
  // Cut only now: stopping leaves the store as it was.
  text[max] = '\0';
  return true;
}

void TlctrlUploading::unanswered(const std::string& why, char field) {
  _failed = true;
  // A stop signal closed the question: the run ends as interrupted instead.
  if (Main::stopRequested()) return;
  std::string line = "entry " + std::to_string(_actEntry) + " \"" + _settingBin->sbEntryTitle(_actEntry, field) +
                     "\": " + why + "; programming stopped";
  BDiag::print("Status Info: " + line);
  fprintf(stderr, "kestrum: %s\n", line.c_str());
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
      if (UserDialog::choice(msg.c_str(), gettext("Programmeren continueren", 0), nullptr, nullptr) ==
          UserDialog::NO_ANSWER)
        unanswered("number field not supported by this hardware version", 'N');
    }
    SettingBin::SettingEntry* entry = _settingBin->getEntry(_actEntry);
    if (_failed || !entry || !checkTextSize(entry->text)) {
      go = false;
      _endNote = "Programmeren gestopt na";
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
    _lastProgress = bTimerTick();
    _root->restartLifeCkTimeout();
    return true;
  }
  // Last entry sent, stopped by the user, or a send failed: the device
  // always gets the end of the upload.
  return endUpload();
}

bool TlctrlUploading::endUpload() {
  bool ended = sendExternal(new TlprotUplEndEvt(), TOL_PROG, PROT_PARSER, nullptr) > 0;
  // The device acknowledges the end: a job started before that would take
  // the acknowledge for its own and run one step ahead of the device.
  if (ended) _root->replyRequested();
  bool posted = sendLocal(new TlctrlUplEndEvt());
  _root->restartLifeCkTimeout();
  return ended || posted;
}

void TlctrlUploading::keepWaiting() {
  if (bTimerTick() - _lastProgress <
      BTimer::nSecs(STALL_LIMIT_SECS - TlctrlRoot::LIFECHECK_TIMEOUT_INTV))
    _root->restartLifeCkTimeout();
  else if (!_root->lifeCkTimeoutRunning())
    _root->startLifeCkTimeout();
}

bool TlctrlUploading::refused() {
  stopTimer();
  _failed = true;
  _refused = true;
  _endNote = "Programmeren afgebroken bij";
  uint8_t nr = _actEntry < 2 ? 0 : static_cast<uint8_t>(_actEntry - 1);
  std::string msg = gettext("Attentie!!", 0);
  msg += "\n";
  if (nr == 0) {
    msg += gettext("De Tolvan weigert het programmeren.", 0);
    msg += "\n";
  } else {
    SettingBin::SettingEntry* entry = _settingBin->getEntry(nr);
    std::string title = _settingBin->sbEntryTitle(nr, 'T');
    if (title == "unknown") title = _settingBin->sbEntryTitle(nr, 'N');
    msg += std::string(gettext("De Tolvan weigert instelling", 0)) + " #" + std::to_string(nr) + ".\n";
    msg += std::string(gettext("Veldnaam", 0)) + ", \"" + title + "\"\n";
    msg += std::string(gettext("Waarde", 0)) + ", \"" + entry->text + "\" \"" + entry->tfnr + "\"\n";
  }
  msg += std::string(gettext("Herhaald:", 0)) + " " + std::to_string(MAX_REPEATS) + "x.\n";
  msg += gettext("Programmeren afgebroken.", 0);
  msg += "\n";
  // The device gets the end of the upload first; the user is told when the
  // upload has ended.
  _refusedMsg = msg;
  return endUpload();
}

bool TlctrlUploading::handleNak() {
  keepWaiting();
  // A device that refuses the same thing again and again will go on doing
  // so: the upload ends instead of repeating it for ever.
  if (++_refusals > MAX_REPEATS) return refused();
  return repeatLast();
}

bool TlctrlUploading::repeatLast() {
  // Refused before any entry went out: the upload request itself is
  // repeated, as on a busy reply.
  if (_actEntry < 2) return sendExternal(new TlprotUprEvt(), TOL_PROG, PROT_PARSER, nullptr) > 0;
  uint8_t last = static_cast<uint8_t>(_actEntry - 1);
  if (!_root->sbValidEntry(last)) return true;
  return sendEntry(last);
}

bool TlctrlUploading::waiting(bool busy) {
  if (_failed) return true;
  bool result = repeatLast();
  char status[256];
  snprintf(status, sizeof status, "%s, %s.", gettext("Programmeren", 0),
           gettext("wacht tot Tolvan gereed is ...", 0));
  _root->frmStatusInfo(status, false);
  // A busy reply shows the device is there. Silence does not: the life-check
  // time-out keeps running, so a device that never answers is given up.
  if (busy)
    keepWaiting();
  else if (!_root->lifeCkTimeoutRunning())
    _root->startLifeCkTimeout();
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
      _refusals = 0;
      result = handleAck();
      transition(static_cast<BState*>(nullptr));
      break;
    case TLPROT_REP_NAK:
      // After the refusals have ended the upload, late answers change nothing.
      result = _failed ? true : handleNak();
      transition(static_cast<BState*>(nullptr));
      break;
    case TLPROT_REP_WAIT:
    case TlctrlRoot::LOC_UPLOAD_TO:
      result = waiting(e->signalId() == TLPROT_REP_WAIT);
      break;
    case TlctrlRoot::LOC_UPL_END: {
      _completed = !_failed;
      // Refused entries and questions nobody answered are no success, though
      // the device was told the upload ended.
      if (!_failed)
        Main::_exitCode = EXIT_OK;
      else if (_refused)
        Main::_exitCode = EXIT_DEVICE_LOST;
      else if (!Main::stopRequested())
        Main::_exitCode = EXIT_INPUT_UNUSABLE;
      char status[256];
      if (_endNote)
        snprintf(status, sizeof status, "%s #%d", gettext(_endNote, 0), _refused ? _actEntry - 1 : _actEntry);
      else
        snprintf(status, sizeof status, "%s", gettext("Programmeren gereed", 0));
      _root->frmStatusNote(status, _failed, TlctrlRoot::STATUS_NOTE_TICKS);
      // Told once the device has the end of the upload; a command-line run
      // gets it on standard error.
      if (!_refusedMsg.empty()) UserDialog::alert(_refusedMsg.c_str());
      transition(new TlctrlConnIdle(enclosing()));
      break;
    }
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
    if (checkFollows)
      FrmKestrumImpl::CMDL_PROGRAM = false;
    else
      TlctrlRoot::endCommandLineRun();
  }
  stopTimer();
}
