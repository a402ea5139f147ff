#ifndef TLCTRLROOT_H
#define TLCTRLROOT_H

#include <cstdint>
#include <string>

#include "BRootState.h"
#include "SettingBin.h"

class BTimer;
class FrmKestrum;
class FrmKestrumImpl;
class ConfigInit;
class RevPackDb;
class TlctrlBndToProt;
class TlctrlStiEvt;
class TlctrlBootInf;
class TlprotSeeEvt;
class TlctrlReadBack;

// The programming controller's root (component 11 of module 10). It owns the
// application objects (settings store, configuration, main form, revision
// pack database), the two life-check timers and the error list, and holds
// the binder state under which the controller's states run.
class TlctrlRoot : public BRootState {
public:
  enum Error {
    CTRL_GENERAL = 0,
    CTRL_NO_SIM = 1,
    CTRL_INV_PIN = 2,
    CTRL_INV_PIN_USE_PUK = 3,
    CTRL_COM_NOT_OPEN = 4,
    CTRL_TOLVAN_NOT_CONNECTED = 5,
    CTRL_PROTOCOL_ERROR = 6,
    CTRL_ERR_SIZE = 7
  };
  // Local signals of the controller.
  enum LocalSignal {
    LOC_DNLD_REQUEST = 100,
    LOC_LIFECHECK_TIMEOUT = 101,
    LOC_LIFECHECK_TIMER = 102,
    LOC_UPL_REQUEST = 103,
    LOC_UPL_END = 104,
    LOC_UPGRADE_END = 105,
    LOC_UPGRADE_REQ = 106,
    LOC_UPGRADE_TO = 107,
    LOC_UPG_DATA_READY = 108,
    LOC_BOOTINFO_TO = 109,
    LOC_UPLOAD_TO = 110,
    LOC_REPLY_TIMEOUT = 111,
    LOC_BACKUP_TO = 112,
    LOC_BOOT_PAUSE = 113,
    LOC_BACKUP_RETRY = 114
  };
  // State ids of the controller's states.
  enum StateList {
    TLCTRLDOWNLOADING = 10,
    TLCTRLBNDTOPROT = 11,
    TLCTRLINIT = 12,
    TLCTRLCONNIDLE = 13,
    TLCTRLCONNECTED = 14,
    TLCTRLDISCONNECTED = 15,
    TLCTRLUPLOADING = 16,
    TLCTRLBINDING = 17,
    TLCTRLUPGEOT = 18,
    TLCTRLUPGRUPLOAD = 19,
    TLCTRLUPGRWAITNAK = 20,
    TLCTRLUPGRADING = 21,
    TLCTRLUPGRWAITBOOTREQ = 23,
    TLCTRLUPGRWAITSTATINFO = 24,
    TLCTRLUPGRBACKUP = 25
  };
  enum { PATH_SIZE = 255 };
  // Seconds.
  static const int LIFECHECK_TMR_INTV = 1;
  static const int LIFECHECK_TIMEOUT_INTV = 10;
  // Units of 100 ms: how long a status request's answer may take to begin
  // (the longest status info then takes 140 ms on the wire).
  static const int REPLY_TIMEOUT_INTV = 5;
  // Times a life-check time-out waits for what was read to be handled.
  static const int MAX_TIMEOUT_WAITS = 100;
  // Seconds a life-check time-out that fired after a stall of the process
  // waits for an answer to the request sent on waking.
  static const int STALL_GRACE_INTV = 2;
  // Life-check ticks for which the end of a job stays on the status line.
  static const int STATUS_NOTE_TICKS = 2;
  // The alert text of the status byte is built in a buffer of this size.
  static const int ALERT_SIZE = 512;

  TlctrlRoot();
  ~TlctrlRoot() override;

  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onSetup(BBinding* b) override;
  void onRelease(BBinding* b) override;
  void printStateData(int argc, char** argv) override;

  // Life check.
  void startLifeCkTmr();
  void stopLifeCkTmr();
  void startLifeCkTimeout();
  void restartLifeCkTimeout();
  void stopLifeCkTimeout();
  bool isArmedLifeCkTimeout() const;
  // Armed, or fired and not yet decided: a time-out whose event waits in the
  // queue behind another timer's must not be put off by arming it again.
  bool lifeCkTimeoutRunning() const { return _lifeCkTimeoutOn; }
  // The life-check time-out fired: true when it stands. What the device
  // sent meanwhile is read first; while it is still on its way through the
  // parser the time-out waits a tick (a process that was stopped finds the
  // answers at the port only now); after a stall of the process it waits
  // for the answer to one more request. A time-out re-armed after it fired
  // is stale.
  bool lifeCkTimeoutStands();
  // Reads the port; true when events are still on their way (what was read
  // among them).
  bool answersPending();
  // Requests and their answers (a status request, the end of an upload): a
  // dialogue starts only when no answer is due, so that its first reply does
  // not cross the answer due.
  void replyRequested();
  void replyAnswered();
  bool replyDue() const;
  bool isArmedLifeCkTmr() const;
  void activeLifeCk(bool on) { _actLifeCk = on; }
  bool activeLifeCk() const { return _actLifeCk; }

  // Window operations.
  void frmStatusInfo(const char* text, bool alarm);
  // How a finished or broken-off job ended: shown in place of the routine
  // status for ticks life-check ticks (negative: until another status comes).
  void frmStatusNote(const char* text, bool alarm, int ticks);
  // The routine status ("Verbonden", the connection error); held back while
  // a note is on show. frmStatusTick does the same once per life-check tick,
  // counting the note down.
  void frmStatusRoutine(const char* text, bool alarm);
  void frmStatusTick(const char* text, bool alarm);
  // The settings form takes no edits while a fetch fills the settings.
  void frmLockSetEdit(bool locked);
  // The status text of a transfer under way: what is done of total (100:
  // a percentage); without a window also an updating line on a terminal.
  void frmProgress(const char* status, const char* what, int done, int total);
  void frmRmSetEdit();
  void frmCtrlBndSt(TlctrlBndToProt* bnd);
  void frmSetCursorBusy(bool busy);
  void frmActivateButtons(bool on);

  // Error list.
  void setError(Error error, bool on);
  bool error(Error error) const;
  void resetErrors();
  // The most urgent of the connection errors, translated; empty when none.
  std::string errorText() const;
  // The untranslated text of one error.
  static const char* errorTextOf(Error error);
  void errorStatusByte(uint8_t status);

  // Settings store operations.
  void sbStoreStInfo(const TlctrlStiEvt* sti, const TlctrlBootInf* bootInf);
  void sbEntry(const TlprotSeeEvt* e);
  SettingBin::SettingEntry* sbGetEntry(uint8_t nr);
  bool sbValidEntry(uint8_t nr);
  bool sbCheckTolTypes();
  void sbEnableEdit();
  const char* cfgComPort() const;
  // Acts on a revision pack file named on the command line.
  void checkForRevpack();
  // Tells the user to choose a bin file and opens the upgrade check.
  void informSetBinFile();
  // An upgrade named on the command line ("-upgrade -revpack -binfile").
  static bool cmdlUpgradeNamed();
  // Loads the pack and bin named on the command line (the pack's ".rpa" or
  // ".RPA" cut off); false, with the reason traced, when no image came.
  bool loadCmdlUpgrade();

  // Ends a command-line run: sets the exit code (unless KEEP_EXIT_CODE),
  // leaves no command-line work to start again, and ends the main loop.
  static constexpr int KEEP_EXIT_CODE = -1;
  static void endCommandLineRun(int exitCode = KEEP_EXIT_CODE);

  // Makes the revision pack database on first need; later calls list the packs again.
  void createRevPack();
  RevPackDb* revPack() const { return _revPack; }

  FrmKestrum* frame() const { return _frame; }
  FrmKestrumImpl* frmImpl() const { return _frmImpl; }
  // The window this root drives (made on entry; tests hand in their own).
  void frame(FrmKestrum* frame);
  SettingBin* tolSettingBin() const { return _tolSettingBin; }
  ConfigInit* configInit() const { return _configInit; }
  TlctrlBndToProt* bndToProt() const { return _bndToProt; }
  // Fetch and verify: reading the device back (made with the root).
  TlctrlReadBack* readBack() const { return _readBack; }
  uint8_t prclVersion() const { return _prclVersion; }

  bool binFileSet() const { return _binFileSet; }
  void binFileSet(bool on) { _binFileSet = on; }
  bool upgrInitByTol() const { return _upgrInitByTol; }
  void upgrInitByTol(bool on) { _upgrInitByTol = on; }
  bool showErrorAlert() const { return _showErrorAlert; }
  void showErrorAlert(bool on) { _showErrorAlert = on; }
  bool connected() const { return _connected; }
  void connected(bool on) { _connected = on; }
  // An upgrade (or the backup before it) is running: the device may be in
  // its boot loader, closing the program would leave it there.
  bool upgradeActive() const { return _upgradeActive; }
  void upgradeActive(bool on) { _upgradeActive = on; }
  // The device's settings were saved (or the user chose to go on without)
  // for the upgrade under way; cleared when it ends.
  bool backupDone() const { return _backupDone; }
  void backupDone(bool on) { _backupDone = on; }
  // The settings file saved before the last upgrade; empty when none.
  const std::string& lastBackup() const { return _lastBackup; }
  void lastBackup(const std::string& path) { _lastBackup = path; }
  // An upgrade has just completed: the next status report of the device
  // tells the user its new software version.
  bool upgradeDoneNote() const { return _upgradeDoneNote; }
  void upgradeDoneNote(bool on) { _upgradeDoneNote = on; }
  // Tells the user that the upgrade completed, with the device's software
  // version and the backup made before it.
  void reportUpgradeDone(const char* swVersion);
  // The upgrade sheet has gone without an upgrade running: the life check
  // is on again (and armed where the connection uses it).
  void upgradeSheetLeft();

  const char* lastRevpackFile() const { return _lastRevpackFile; }
  void lastRevpackFile(const char* file) { copyPath(_lastRevpackFile, file); }
  const char* lastBinFile() const { return _lastBinFile; }
  void lastBinFile(const char* file) { copyPath(_lastBinFile, file); }

private:
  static void copyPath(char* dst, const char* src);
  void statusOut(const char* text, bool progress);
  void traceMed(const char* operation);

  BTimer* _lifeCkTmr;
  BTimer* _lifeCkTimeout;
  BTimer* _replyTmr;
  int _repliesDue;
  int _timeoutWaits;
  bool _lifeCkTimeoutOn;
  FrmKestrum* _frame;
  FrmKestrumImpl* _frmImpl;
  SettingBin* _tolSettingBin;
  ConfigInit* _configInit;
  uint8_t _prclVersion;
  bool _tlPrErrors[CTRL_ERR_SIZE];
  RevPackDb* _revPack;
  bool _binFileSet;
  bool _upgrInitByTol;
  bool _actLifeCk;
  int _noteTicks;
  std::string _noteText;
  bool _noteAlarm;
  bool _showErrorAlert;
  bool _connected;
  bool _upgradeActive;
  bool _backupDone;
  bool _upgradeDoneNote;
  std::string _lastBackup;
  TlctrlBndToProt* _bndToProt;
  TlctrlReadBack* _readBack;
  char _lastRevpackFile[PATH_SIZE];
  char _lastBinFile[PATH_SIZE];
};

#endif
