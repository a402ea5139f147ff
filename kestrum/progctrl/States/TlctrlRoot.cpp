#include "TlctrlRoot.h"
#include "TextUtil.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <FL/Enumerations.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Output.H>

#include "BDiag.h"
#include "BEvent.h"
#include "BScheduler.h"
#include "BTimer.h"
#include "BTimerTick.h"
#include "ConfigInit.h"
#include "FrmKestrum.h"
#include "FrmKestrumImpl.h"
#include "Headless.h"
#include "Language.h"
#include "UserDialog.h"
#include "ExitCode.h"
#include "Main.h"
#include "RevPackDb.h"
#include "SBTabs.h"
#include "SettingBin.h"
#include "TlctrlBndToProt.h"
#include "TlctrlBootInf.h"
#include "TlctrlDialogScript.h"
#include "TlcdrvRoot.h"
#include "TlctrlReadBack.h"
#include "TlctrlStiEvt.h"
#include "TlprotSeeEvt.h"
#include "TolProgIds.h"

namespace {
const char* const ERROR_TEXT[TlctrlRoot::CTRL_ERR_SIZE] = {
    "Tolvan fout, ( Algemeen )",
    "Tolvan fout, ( SIM niet aanwezig )",
    "Tolvan fout, ( Ongeldige PIN )",
    "Tolvan fout, ( 3x Ongeldige PIN, gebruik PUK )",
    "COM poort niet beschikbaar",
    "Tolvan niet aangesloten",
    "Communicatie fout",
};
// Background colour of the status field when there is no alarm.
const Fl_Color STATUS_NORMAL = FL_BACKGROUND_COLOR;
}  // namespace

TlctrlRoot::TlctrlRoot()
    : BRootState("Tlctrl", TOL_PROG, PROG_CTRL, PRIO_4),
      _lifeCkTmr(new BTimer()),
      _lifeCkTimeout(new BTimer()),
      _replyTmr(new BTimer()),
      _repliesDue(0),
      _timeoutWaits(0),
      _lifeCkTimeoutOn(false),
      _frame(nullptr),
      _frmImpl(nullptr),
      _tolSettingBin(nullptr),
      _configInit(nullptr),
      _prclVersion(1),
      _revPack(nullptr),
      _binFileSet(false),
      _upgrInitByTol(false),
      _actLifeCk(true),
      _noteTicks(0),
      _noteAlarm(false),
      _showErrorAlert(true),
      _connected(false),
      _upgradeActive(false),
      _backupDone(false),
      _upgradeDoneNote(false),
      _bndToProt(nullptr),
      _readBack(new TlctrlReadBack(this)) {
  resetErrors();
  _lastRevpackFile[0] = '\0';
  _lastBinFile[0] = '\0';
}

TlctrlRoot::~TlctrlRoot() {
  delete _lifeCkTmr;
  delete _lifeCkTimeout;
  delete _replyTmr;
  // The configuration writes config.ini while form and store still exist.
  delete _configInit;
  delete _frame;
  delete _tolSettingBin;
  delete _revPack;
  delete _readBack;
  TlctrlDialogScript::uninstall();
}

void TlctrlRoot::copyPath(char* dst, const char* src) {
  strncpy(dst, src ? src : "", PATH_SIZE - 1);
  dst[PATH_SIZE - 1] = '\0';
}

void TlctrlRoot::onEntry(const BEvent*) {
  if (RevPackDb::CMDL_CREATE_REVPACK && RevPackDb::CMDL_BINDIR && RevPackDb::CMDL_BINDIR[0] != '\0') {
    // Building a revision pack database needs neither window nor device.
    createRevPack();
    // A run that made no pack, or a useless one, says why and fails.
    if (!_revPack->createDb(RevPackDb::CMDL_BINDIR)) {
      std::string why = _revPack->createError();
      if (why.empty()) why = "no revpack made";
      fprintf(stderr, "kestrum: -cmdl_crtrpa: %s\n", why.c_str());
      Main::_exitCode = EXIT_INPUT_UNUSABLE;
    }
    endCommandLineRun();
    return;
  }
  TlctrlDialogScript::installFromEnvironment();
  Language::instance();
  _tolSettingBin = new SettingBin(this);
  if (Headless::active()) {
    // No window: the command line's settings file is programmed all the same.
    FrmKestrumImpl::CMDL_PROGRAM = FrmKestrumImpl::PROG_FILE_KVN && FrmKestrumImpl::PROG_FILE_KVN[0] != '\0';
  } else {
    _frame = new FrmKestrum(this, _tolSettingBin);
    _frmImpl = _frame->frmImpl();
  }
  _tolSettingBin->frame(_frame);
  _configInit = new ConfigInit(_tolSettingBin, _frame, this);
  addRegion(new TlctrlBndToProt(this));
  checkForRevpack();
}

void TlctrlRoot::frame(FrmKestrum* frame) {
  _frame = frame;
  _frmImpl = frame ? frame->frmImpl() : nullptr;
}

void TlctrlRoot::createRevPack() {
  if (!_revPack)
    _revPack = new RevPackDb(this);
  else
    _revPack->setRpaFiles();
}

void TlctrlRoot::onSetup(BBinding* b) { accept(b); }
void TlctrlRoot::onRelease(BBinding*) {}

void TlctrlRoot::traceMed(const char* operation) {
  if (debugLevel() & DBG_MED) BDiag::print(std::string("TlctrlRoot::") + operation + traceSuffix());
}

void TlctrlRoot::startLifeCkTmr() {
  traceMed("startLifeCkTmr");
  _lifeCkTmr->fireEvery(queue(), BTimer::nSecs(LIFECHECK_TMR_INTV), LOC_LIFECHECK_TIMER);
}

void TlctrlRoot::stopLifeCkTmr() {
  traceMed("stopLifeCkTmr");
  _lifeCkTmr->disarm();
}

void TlctrlRoot::startLifeCkTimeout() {
  traceMed("startLifeCkTimeout");
  restartLifeCkTimeout();
}

void TlctrlRoot::restartLifeCkTimeout() {
  traceMed("restartLifeCkTimeout");
  if (!_actLifeCk) return;
  _timeoutWaits = 0;
  _lifeCkTimeoutOn = true;
  _lifeCkTimeout->fireIn(queue(), BTimer::nSecs(LIFECHECK_TIMEOUT_INTV), LOC_LIFECHECK_TIMEOUT);
}

void TlctrlRoot::stopLifeCkTimeout() {
  traceMed("stopLifeCkTimeout");
  _lifeCkTimeoutOn = false;
  _lifeCkTimeout->disarm();
}

bool TlctrlRoot::isArmedLifeCkTimeout() const { return _lifeCkTimeout->armed(); }

bool TlctrlRoot::lifeCkTimeoutStands() {
  if (_lifeCkTimeout->armed()) return false;
  // Fired long after it was due: the process did not run (stopped, a
  // suspended machine), so neither did the dialogue. The device gets the
  // time of one more answer.
  int32_t late = static_cast<int32_t>(bTimerTick() - _lifeCkTimeout->timeStamp());
  if (late > static_cast<int32_t>(BTimer::nSecs(LIFECHECK_TMR_INTV))) {
    traceMed("lifeCkTimeoutAfterStall");
    _lifeCkTimeout->fireIn(queue(), BTimer::nSecs(STALL_GRACE_INTV), LOC_LIFECHECK_TIMEOUT);
    return false;
  }
  if (answersPending() && _timeoutWaits < MAX_TIMEOUT_WAITS) {
    ++_timeoutWaits;
    traceMed("lifeCkTimeoutWaits");
    _lifeCkTimeout->fireIn(queue(), 1, LOC_LIFECHECK_TIMEOUT);
    return false;
  }
  _timeoutWaits = 0;
  _lifeCkTimeoutOn = false;
  return true;
}

bool TlctrlRoot::answersPending() {
  TlcdrvRoot::readCom();
  return BScheduler::currentPriority() != PRIO_BACKGROUND;
}

void TlctrlRoot::replyRequested() {
  if (!_replyTmr->armed()) _repliesDue = 0;
  ++_repliesDue;
  _replyTmr->fireIn(queue(), BTimer::n100Ms(REPLY_TIMEOUT_INTV), LOC_REPLY_TIMEOUT);
}

void TlctrlRoot::replyAnswered() {
  if (_repliesDue > 0) --_repliesDue;
  if (_repliesDue == 0) _replyTmr->disarm();
}

// Due from the request until the answer is in: at first for the time an
// answer takes to begin, then for as long as it is arriving.
bool TlctrlRoot::replyDue() const {
  return _repliesDue > 0 && (_replyTmr->armed() || TlcdrvRoot::unitArriving());
}
bool TlctrlRoot::isArmedLifeCkTmr() const { return _lifeCkTmr->armed(); }

void TlctrlRoot::frmStatusInfo(const char* text, bool alarm) {
  if (!text) text = "";
  _noteTicks = 0;
  if (_frame) {
    _frame->txtStatusInfo(text);
    if (Fl_Output* field = _frame->statusInfo()) {
      field->color(alarm ? FL_RED : STATUS_NORMAL);
      field->redraw();
      field->show();
    }
  }
  // Unattended runs have nobody looking at the window; otherwise the line
  // comes at trace level HIGH, for remote diagnosis.
  statusOut(text, false);
}

void TlctrlRoot::statusOut(const char* text, bool progress) {
  // The run's last word (such as the device lost) counts as well.
  bool commandLine = UserDialog::unattended() || RevPackDb::CMDL_UPGRADE || FrmKestrumImpl::CMDL_PROGRAM ||
                     TlctrlReadBack::commandLine();
  if (commandLine || (debugLevel() & DBG_HIGH)) BDiag::print(std::string("Status Info: ") + text);
  // Without a window the status goes to standard output.
  if (Headless::active()) Headless::statusLine(text, progress);
}

void TlctrlRoot::frmProgress(const char* status, const char* what, int done, int total) {
  if (!status) status = "";
  if (_frame) {
    _frame->txtStatusInfo(status);
    if (Fl_Output* field = _frame->statusInfo()) {
      field->color(STATUS_NORMAL);
      field->redraw();
      field->show();
    }
  }
  statusOut(status, true);
  char line[128];
  if (total == 100)
    snprintf(line, sizeof line, "%s %d%%", what ? what : "", done);
  else
    snprintf(line, sizeof line, "%s %d/%d", what ? what : "", done, total);
  Headless::progress(line);
}

void TlctrlRoot::frmStatusNote(const char* text, bool alarm, int ticks) {
  frmStatusInfo(text, alarm);
  _noteTicks = ticks;
  _noteText = text ? text : "";
  _noteAlarm = alarm;
}

void TlctrlRoot::frmStatusRoutine(const char* text, bool alarm) {
  if (_noteTicks > 0) return;
  if (_noteTicks == 0) {
    frmStatusInfo(text, alarm);
    return;
  }
  // A lasting note goes with the routine status, which must not be hidden
  // (the port or the device is gone).
  std::string both = std::string(text ? text : "") + "; " + _noteText;
  frmStatusInfo(both.c_str(), alarm || _noteAlarm);
  _noteTicks = -1;
}

void TlctrlRoot::frmStatusTick(const char* text, bool alarm) {
  if (_noteTicks > 0 && --_noteTicks > 0) return;
  frmStatusRoutine(text, alarm);
}

void TlctrlRoot::frmLockSetEdit(bool locked) {
  if (!_frame || !_frame->settingEdit()) return;
  if (locked)
    _frame->settingEdit()->deactivate();
  else
    _frame->settingEdit()->activate();
}

void TlctrlRoot::reportUpgradeDone(const char* swVersion) {
  _upgradeDoneNote = false;
  // Composed from translated pieces: a language table never supplies a format.
  std::string text = std::string(gettext("Upgrade gereed", 0)) + ": " + (swVersion ? swVersion : "");
  if (!_lastBackup.empty())
    text += std::string(". ") + gettext("Backup van de instellingen", 0) + ": " + _lastBackup;
  frmStatusNote(text.c_str(), false, STATUS_NOTE_TICKS);
  BDiag::print("Upgrade done: " + text);
}

void TlctrlRoot::upgradeSheetLeft() {
  _actLifeCk = true;
  // The upgrade states and the wait for a bin file run without the life
  // check; everywhere else a device that goes away must be noticed.
  if (_connected && !_upgradeActive && !_upgrInitByTol && !lifeCkTimeoutRunning()) startLifeCkTimeout();
}

void TlctrlRoot::frmRmSetEdit() {
  if (_frame) _frame->removeSettingEdit();
}

void TlctrlRoot::frmCtrlBndSt(TlctrlBndToProt* bnd) {
  _bndToProt = bnd;
  if (_frame) _frame->ctrlBndSt(bnd);
}

void TlctrlRoot::frmSetCursorBusy(bool busy) {
  if (_frmImpl) _frmImpl->cursorBusy(busy);
}

void TlctrlRoot::frmActivateButtons(bool on) {
  if (_frmImpl) _frmImpl->activateButtons(on);
}

void TlctrlRoot::setError(Error error, bool on) {
  if (error >= 0 && error < CTRL_ERR_SIZE) _tlPrErrors[error] = on;
}

bool TlctrlRoot::error(Error error) const {
  return error >= 0 && error < CTRL_ERR_SIZE && _tlPrErrors[error];
}

void TlctrlRoot::resetErrors() {
  for (bool& e : _tlPrErrors) e = false;
}

const char* TlctrlRoot::errorTextOf(Error error) {
  return (error >= 0 && error < CTRL_ERR_SIZE) ? ERROR_TEXT[error] : "";
}

std::string TlctrlRoot::errorText() const {
  static const Error urgent[] = {CTRL_COM_NOT_OPEN, CTRL_TOLVAN_NOT_CONNECTED, CTRL_PROTOCOL_ERROR};
  for (Error e : urgent)
    if (_tlPrErrors[e]) return gettext(ERROR_TEXT[e], 0);
  return "";
}

void TlctrlRoot::errorStatusByte(uint8_t status) {
  if (status == 255) {
    for (int e = CTRL_GENERAL; e <= CTRL_INV_PIN_USE_PUK; ++e) _tlPrErrors[e] = false;
    return;
  }
  bool any = false;
  for (int e = CTRL_GENERAL; e <= CTRL_INV_PIN_USE_PUK; ++e) {
    bool set = (status & (1 << e)) != 0;
    _tlPrErrors[e] = set;
    any = any || set;
  }
  if (!any || !_showErrorAlert || FrmKestrumImpl::CMDL_PROGRAM || TlctrlReadBack::commandLine()) return;
  char buf[ALERT_SIZE];
  int len = snprintf(buf, sizeof buf, "%s\n", gettext("Attentie!! Volgende Fouten gedetecteerd:", 0));
  for (int e = 0; e < CTRL_ERR_SIZE; ++e) {
    if (!_tlPrErrors[e]) continue;
    if (len < 0 || len >= static_cast<int>(sizeof buf)) break;
    len += snprintf(buf + len, sizeof buf - len, "%i. %s\n", e + 1, gettext(ERROR_TEXT[e], 0));
  }
  UserDialog::alert(buf);
  _showErrorAlert = false;
}

void TlctrlRoot::sbStoreStInfo(const TlctrlStiEvt* sti, const TlctrlBootInf* bootInf) {
  if (!_tolSettingBin) return;
  if (sti) {
    if (sti->type[0] == '\0') return;
    _tolSettingBin->storeStatusInfo(sti->type, sti->softw, sti->special, sti->hardw);
    errorStatusByte(sti->extraStat);
    _tolSettingBin->totalNrEntries(sti->totalNrEntries);
    RevPackDb::setActHwSwVers(sti->type, sti->softw, sti->special, sti->hardw);
  } else if (bootInf) {
    if (bootInf->type[0] == '\0') return;
    // The boot loader reports no software version.
    _tolSettingBin->storeStatusInfo(bootInf->type, "", bootInf->special, bootInf->hardw);
    RevPackDb::setActHwSwVers(bootInf->type, "", bootInf->special, bootInf->hardw);
  } else {
    _tolSettingBin->storeStatusInfo("", "", "", "");
  }
}

void TlctrlRoot::sbEntry(const TlprotSeeEvt* e) {
  if (_tolSettingBin && e)
    _tolSettingBin->setEntry(e->entryNr(), e->f1data(), e->f2data(), true, SBEntry::INVALID_TYPE);
}

SettingBin::SettingEntry* TlctrlRoot::sbGetEntry(uint8_t nr) {
  return _tolSettingBin ? _tolSettingBin->getEntry(nr) : nullptr;
}

bool TlctrlRoot::sbValidEntry(uint8_t nr) { return _tolSettingBin && _tolSettingBin->validEntry(nr); }

bool TlctrlRoot::sbCheckTolTypes() { return _tolSettingBin && _tolSettingBin->checkTolTypes(); }

void TlctrlRoot::sbEnableEdit() {
  if (_frame) _frame->showBestGroup("", "");
  if (_tolSettingBin) _tolSettingBin->enableEdit();
}

const char* TlctrlRoot::cfgComPort() const { return _configInit ? _configInit->comActive() : ""; }

void TlctrlRoot::checkForRevpack() {
  // A pack given as an argument opens the upgrade check at once.
  if (!Main::_refPackFile || !_frame || !_frmImpl) return;
  _frmImpl->btOptionsWindow();
  if (_frame->btOptionsWindow()) _frame->btOptionsWindow()->hide();
  if (_frame->optUpgrade()) _frame->optUpgrade()->value(1);
  _frmImpl->btOptCkSwUpgrade();
}

void TlctrlRoot::informSetBinFile() {
  // The sentences are the program's own Dutch texts (the keys of messages
  // 208 to 213), each translated: the alert reads whole in every language
  // and in Dutch when no language table is loaded.
  auto tr = [](const char* t) { return std::string(gettext(t, 0)); };
  std::string text = tr("De aangesloten Tolvan bevat geen geldige software") + ".\n\n" +
                     tr("Er moet eerst nieuwe software in de Tolvan geladen worden") + "\n" +
                     tr("Kies daarvoor een bin bestand uit een revisie pakket") + "!\n\n" +
                     tr("Selecteer op het tabblad RevPack Software Upgrade het revisie pakket") + ",\n" +
                     tr("kies daarna het bin bestand dat bij deze Tolvan past") + ",\n" +
                     tr("en start de upgrade met de knop Upgrade") + ".\n\n" +
                     tr("Revisie pakketten (*.rpa) en bin bestanden zijn bij uw leverancier verkrijgbaar.");
  UserDialog::alert(text.c_str());
  if (_frmImpl) _frmImpl->btOptCkSwUpgrade();
}

bool TlctrlRoot::cmdlUpgradeNamed() {
  return RevPackDb::CMDL_UPGRADE && RevPackDb::CMDL_REVPACK && RevPackDb::CMDL_REVPACK[0] != '\0' &&
         RevPackDb::CMDL_BINFILE && RevPackDb::CMDL_BINFILE[0] != '\0';
}

void TlctrlRoot::endCommandLineRun(int exitCode) {
  if (exitCode != KEEP_EXIT_CODE) Main::_exitCode = exitCode;
  RevPackDb::CMDL_UPGRADE = false;
  FrmKestrumImpl::CMDL_PROGRAM = false;
  BDiag::print("Command-line run ends, exit code " + std::to_string(Main::_exitCode));
  Main::_shutdown = true;
}

bool TlctrlRoot::loadCmdlUpgrade() {
  if (!cmdlUpgradeNamed()) return false;
  // The name is the user's argument: cut a copy, never the argument itself.
  std::string stem = RevPackDb::CMDL_REVPACK;
  if (stem.size() > 4 && (TextUtil::endsWith(stem, ".rpa") || TextUtil::endsWith(stem, ".RPA")))
    stem.resize(stem.size() - 4);
  const char* name = stem.c_str();
  createRevPack();
  if (!_revPack || !_revPack->selectRpFile(name)) {
    B_EXCEPTION("Revision pack " << name << " not found; no upgrade");
    fprintf(stderr, "kestrum: -upgrade: revision pack %s not found; no upgrade\n", name);
    return false;
  }
  _revPack->setBinData(RevPackDb::CMDL_BINFILE);
  if (_revPack->binSize() <= 0) {
    B_EXCEPTION("Bin file " << RevPackDb::CMDL_BINFILE << " not in revision pack " << name << "; no upgrade");
    fprintf(stderr, "kestrum: -upgrade: bin file %s not in revision pack %s; no upgrade\n", RevPackDb::CMDL_BINFILE,
            name);
    return false;
  }
  return true;
}

void TlctrlRoot::printStateData(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (!argv[i] || !strstr(argv[i], "rpa")) continue;
    if (i + 1 >= argc || !argv[i + 1]) break;
    const char* cmd = argv[i + 1];
    if (strstr(cmd, "info")) {
      char line[PATH_SIZE + 32];
      if (_revPack) _revPack->printData();
      BDiag::print("\n --- last selected ---", false);
      snprintf(line, sizeof line, "revpack: %s:", _lastRevpackFile);
      BDiag::print(line, false);
      snprintf(line, sizeof line, "bin    : %s:", _lastBinFile);
      BDiag::print(line, false);
      break;
    }
    if (strstr(cmd, "set_actual")) {
      if (i + 5 < argc) {
        if (_tolSettingBin) _tolSettingBin->storeStatusInfo(argv[i + 2], argv[i + 3], argv[i + 4], argv[i + 5]);
        RevPackDb::setActHwSwVers(argv[i + 2], argv[i + 3], argv[i + 4], argv[i + 5]);
      }
      break;
    }
    if (strstr(cmd, "chk_bin")) {
      if (i + 2 < argc) {
        createRevPack();
        char line[PATH_SIZE + 48];
        snprintf(line, sizeof line, "chk bin, %.*s, result=%d", int(PATH_SIZE), argv[i + 2],
                 _revPack->checkTypeSwHwVers(argv[i + 2]) ? 1 : 0);
        BDiag::print(line);
      }
      break;
    }
  }
}
