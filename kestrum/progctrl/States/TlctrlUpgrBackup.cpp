#include "TlctrlUpgrBackup.h"

#include <ctime>
#include <filesystem>
#include <string>

#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "BTimer.h"
#include "ExitCode.h"
#include "FrmKestrumImpl.h"
#include "Language.h"
#include "Main.h"
#include "RevPackDb.h"
#include "SafeFileWriter.h"
#include "SettingBin.h"
#include "TlctrlConnIdle.h"
#include "TlctrlRoot.h"
#include "TlctrlUploading.h"
#include "TlctrlUpgrading.h"
#include "TlprotAckEvt.h"
#include "TlprotDlrEvt.h"
#include "TlprotSeeEvt.h"
#include "TlprotSignals.h"
#include "TlprotUpgradeReq.h"
#include "TlprotUprEvt.h"
#include "TolProgIds.h"
#include "UserDialog.h"

namespace fs = std::filesystem;

const char* const TlctrlUpgrBackup::BACKUP_DIR = "backups";

namespace {
const char* tr(const char* text) { return gettext(text, 0); }

// A settings line holds text|number: the separator and line ends cannot be
// part of a field.
std::string field(const char* s, size_t max) {
  std::string out = s ? s : "";
  if (out.size() > max) out.resize(max);
  for (char& c : out)
    if (c == '|' || c == '\n' || c == '\r') c = ' ';
  return out;
}
}  // namespace

TlctrlUpgrBackup::TlctrlUpgrBackup(BCompositeState* enclosing, Next next)
    : BSimpleState(enclosing, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLUPGRBACKUP),
      _root(CHECKCAST(TlctrlRoot, this->enclosing(STATE_ROOT))),
      _next(next),
      _timer(new BTimer()),
      _retryTimer(new BTimer()),
      _received(0),
      _entries(FILE_LINES + 1) {}

TlctrlUpgrBackup::~TlctrlUpgrBackup() {
  delete _timer;
  delete _retryTimer;
}

std::string TlctrlUpgrBackup::backupName(const char* type, long t) {
  std::string name = type ? type : "";
  while (!name.empty() && name.back() == ' ') name.pop_back();
  for (char& c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (!(isalnum(u) || c == '-' || c == '_' || c == '.')) c = '_';
  }
  if (name.empty() || name[0] == '.') name = "Tolvan" + name;
  time_t tt = static_cast<time_t>(t);
  struct tm lt;
  localtime_r(&tt, &lt);
  char stamp[32];
  strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &lt);
  return std::string(BACKUP_DIR) + "/" + name + "_" + stamp + ".kvn";
}

void TlctrlUpgrBackup::restartTimer() {
  _timer->fireIn(queue(), BTimer::nSecs(BACKUP_TIMEOUT_INTV), TlctrlRoot::LOC_BACKUP_TO);
}

void TlctrlUpgrBackup::onEntry(const BEvent*) {
  if (!_root) return;
  _root->upgradeActive(true);
  _root->lastBackup("");
  // An unattended upgrade ended from here on (a signal, the device gone)
  // has not succeeded.
  if (RevPackDb::CMDL_UPGRADE) Main::_exitCode = 1;
  _root->frmSetCursorBusy(true);
  _root->frmActivateButtons(false);
  _root->frmStatusInfo(tr("Backup van de instellingen"), false);
  BDiag::print("Backup: reading the device's settings before the upgrade");
  sendExternal(new TlprotDlrEvt(), TOL_PROG, PROT_PARSER, nullptr);
  restartTimer();
}

void TlctrlUpgrBackup::onEvent(const BEvent* e) {
  if (!e || !_root || e->moduleId() != TOL_PROG) return;
  if (e->componentId() == PROT_PARSER) {
    switch (e->signalId()) {
      case TLPROT_REP_SET_ENTRY:
        entry(e);
        transition(static_cast<BState*>(nullptr));
        break;
      case TLPROT_REP_WAIT:
        // Asked again a second later; a device that keeps saying so runs
        // into the time-out.
        if (!_retryTimer->armed()) _retryTimer->fireIn(queue(), BTimer::nSecs(1), TlctrlRoot::LOC_BACKUP_RETRY);
        transition(static_cast<BState*>(nullptr));
        break;
      case TLPROT_REP_DLD_END:
        downloadEnd();
        break;
      default:
        break;
    }
  } else if (e->componentId() == PROG_CTRL) {
    switch (e->signalId()) {
      case TlctrlRoot::LOC_BACKUP_TO:
        noBackup(tr("de Tolvan geeft zijn instellingen niet"));
        break;
      case TlctrlRoot::LOC_BACKUP_RETRY:
        sendExternal(new TlprotDlrEvt(), TOL_PROG, PROT_PARSER, nullptr);
        transition(static_cast<BState*>(nullptr));
        break;
      case TlctrlRoot::LOC_LIFECHECK_TIMEOUT:
        // Not armed here; one left over from before must not end the backup.
        transition(static_cast<BState*>(nullptr));
        break;
      default:
        break;
    }
  }
}

void TlctrlUpgrBackup::entry(const BEvent* e) {
  const TlprotSeeEvt* see = CHECKCAST_CONST(TlprotSeeEvt, e);
  if (!see) return;
  int nr = see->entryNr();
  if (nr >= 1 && nr <= FILE_LINES) {
    _entries[nr].first = field(see->f1data(), TEXT_MAX);
    _entries[nr].second = field(see->f2data(), NUMBER_MAX);
  }
  ++_received;
  restartTimer();
  _root->frmStatusInfo((std::string(tr("Backup van de instellingen")) + " #" + std::to_string(nr)).c_str(), false);
  sendExternal(new TlprotAckEvt(), TOL_PROG, PROT_PARSER, nullptr);
}

void TlctrlUpgrBackup::downloadEnd() {
  _timer->disarm();
  if (_received == 0) {
    noBackup(tr("de Tolvan gaf geen instellingen"));
    return;
  }
  SettingBin* sb = _root->tolSettingBin();
  std::string name = backupName(sb ? sb->connTolType() : "", static_cast<long>(time(nullptr)));
  std::error_code ec;
  fs::create_directories(BACKUP_DIR, ec);
  // Two upgrades within a second keep both backups.
  std::string path = name;
  for (int i = 2; fs::exists(path, ec) && i < 100; ++i)
    path = name.substr(0, name.size() - 4) + "-" + std::to_string(i) + ".kvn";
  SafeFileWriter writer(path.c_str());
  FILE* f = writer.open();
  if (f)
    for (int nr = 1; nr <= FILE_LINES; ++nr) fprintf(f, "%s|%s\n", _entries[nr].first.c_str(), _entries[nr].second.c_str());
  if (!writer.commit()) {
    BDiag::print("Backup: " + path + " could not be written");
    noBackup((std::string(tr("het bestand kon niet geschreven worden")) + ": " + path).c_str());
    return;
  }
  _root->lastBackup(path);
  _root->frmStatusInfo((std::string(tr("Backup van de instellingen")) + ": " + path).c_str(), false);
  BDiag::print("Backup saved: " + path);
  proceed();
}

void TlctrlUpgrBackup::noBackup(const char* why) {
  _timer->disarm();
  _retryTimer->disarm();
  std::string reason = std::string(tr("Geen backup van de instellingen")) + ": " + why;
  BDiag::print("Backup: " + reason);
  bool goOn;
  if (RevPackDb::CMDL_UPGRADE) {
    // Nobody to ask: the command line decides.
    goOn = RevPackDb::CMDL_ALLOW_NOBACKUP;
    _root->frmStatusInfo(reason.c_str(), !goOn);
  } else {
    _root->frmStatusInfo(reason.c_str(), true);
    UserDialog::beep();
    std::string question = reason + ".\n" + tr("Toch upgraden zonder backup?");
    goOn = UserDialog::choice(question.c_str(), tr("Nee"), tr("Ja"), nullptr) == 1;
  }
  if (goOn)
    proceed();
  else
    cancel();
}

void TlctrlUpgrBackup::proceed() {
  _root->backupDone(true);
  if (_next == THEN_UPLOAD) {
    sendExternal(new TlprotUprEvt(), TOL_PROG, PROT_PARSER, nullptr);
    transition(new TlctrlUploading(enclosing()));
    return;
  }
  RevPackDb* db = _root->revPack();
  if (!db || db->binSize() <= 0) {
    cancel();
    return;
  }
  sendExternal(new TlprotUpgradeReq(), TOL_PROG, PROT_PARSER, nullptr);
  transition(new TlctrlUpgrading(enclosing(), db->binSize(), db->binData(), TlctrlUpgrading::REQ_FROM_PROGRAMMER));
}

void TlctrlUpgrBackup::cancel() {
  _root->backupDone(false);
  if (SettingBin* sb = _root->tolSettingBin()) sb->progPreUpgrade(false);
  RevPackDb::activeKvnFileReset();
  std::string text = std::string(tr("Upgrade niet gestart")) + ": " + tr("geen backup van de instellingen");
  if (RevPackDb::CMDL_UPGRADE) {
    // The unattended run ends as failed; the device was not touched.
    TlctrlRoot::endCommandLineRun(EXIT_DEVICE_LOST);
    BDiag::print("Status Info: " + text);
  }
  // Stays in view over the idle state's "Verbonden" for a while.
  _root->frmStatusNote(text.c_str(), true, TlctrlRoot::STATUS_NOTE_TICKS);
  if (FrmKestrumImpl* impl = _root->frmImpl()) impl->upgradeEnded();
  transition(new TlctrlConnIdle(enclosing()));
}

void TlctrlUpgrBackup::onExit(const BEvent*) {
  _timer->disarm();
  _retryTimer->disarm();
  if (!_root) return;
  _root->upgradeActive(false);
  _root->frmSetCursorBusy(false);
  _root->frmActivateButtons(true);
}
