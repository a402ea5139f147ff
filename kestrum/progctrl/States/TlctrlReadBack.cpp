#include "TlctrlReadBack.h"

#include <FL/Fl_Output.H>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "BDiag.h"
#include "BState.h"
#include "ExitCode.h"
#include "FrmKestrum.h"
#include "FrmKestrumImpl.h"
#include "Language.h"
#include "Main.h"
#include "SettingBin.h"
#include "TlctrlDldReqEvt.h"
#include "TlctrlRoot.h"
#include "UserDialog.h"

namespace {
char g_none[1] = "";
const char* const CONFIG_FILE = "config.csv";

bool given(const char* s) { return s && s[0] != '\0'; }

// Results of a command-line run go to standard output at once.
void say(const std::string& line) {
  printf("%s\n", line.c_str());
  fflush(stdout);
  BDiag::print(line);
}
}  // namespace

char* TlctrlReadBack::FETCH_FILE = g_none;
char* TlctrlReadBack::VERIFY_FILE = g_none;
bool TlctrlReadBack::VERIFY_PROGRAM = false;

TlctrlReadBack::TlctrlReadBack(TlctrlRoot* root)
    : _root(root),
      _verifyWindow(false),
      _started(false),
      _pending(NONE),
      _running(NONE),
      _finishing(NONE),
      _compare(false) {}

TlctrlReadBack::~TlctrlReadBack() {}

bool TlctrlReadBack::commandLineRead() { return given(FETCH_FILE) || given(VERIFY_FILE); }

bool TlctrlReadBack::commandLineUsable(std::string& why) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (given(VERIFY_FILE)) {
    FILE* f = fs::is_directory(VERIFY_FILE, ec) ? nullptr : fopen(VERIFY_FILE, "r");
    if (!f) {
      why = std::string("cannot read the settings file ") + VERIFY_FILE + ": " +
            (fs::is_directory(VERIFY_FILE, ec) ? "it is a directory" : strerror(errno));
      return false;
    }
    fclose(f);
  }
  if (given(FETCH_FILE)) {
    fs::path dir = fs::path(FETCH_FILE).parent_path();
    if (dir.empty()) dir = ".";
    if (fs::is_directory(FETCH_FILE, ec) || !fs::is_directory(dir, ec)) {
      why = std::string("cannot write the settings file ") + FETCH_FILE + ": " +
            (fs::is_directory(FETCH_FILE, ec) ? "it is a directory" : "no such directory");
      return false;
    }
  }
  return true;
}

bool TlctrlReadBack::deviceAnswered(BState* idle) {
  if (!idle || _pending == NONE || Main::shutdownActive()) return false;
  SettingBin* sb = _root ? _root->tolSettingBin() : nullptr;
  // Settings changed in the window since the programming ended are the
  // user's: the check, which puts back what the window held then, is dropped.
  if (!sb || (!commandLine() && !_beforeCheck.compare(*sb, nullptr).empty())) {
    _pending = NONE;
    return false;
  }
  _running = _pending;
  _pending = NONE;
  idle->sendLocal(new TlctrlDldReqEvt());
  return true;
}

bool TlctrlReadBack::idleEntered(BState* idle) {
  if (_finishing != NONE) {
    // The result is said once the idle state has said "Verbonden".
    Purpose what = _finishing;
    _finishing = NONE;
    if (what == FETCH)
      finishFetch();
    else if (what == VERIFY)
      finishVerify();
    else
      finishCompare();
  }
  if (!idle || Main::shutdownActive()) return false;
  Purpose what = NONE;
  if (!_started && commandLineRead()) {
    _started = true;
    what = given(VERIFY_FILE) ? VERIFY : FETCH;
    if (what == VERIFY) {
      SettingBin file(nullptr);
      file.file(VERIFY_FILE);
      if (!file.loadFromFile()) {
        fprintf(stderr, "kestrum: cannot read the settings file %s\n", VERIFY_FILE);
        endRun(EXIT_INPUT_UNUSABLE);
        return false;
      }
      _reference.take(file);
    }
  }
  if (what == NONE) return false;
  _running = what;
  idle->sendLocal(new TlctrlDldReqEvt());
  return true;
}

void TlctrlReadBack::programmingStarts() {
  SettingBin* sb = _root ? _root->tolSettingBin() : nullptr;
  bool wanted = FrmKestrumImpl::CMDL_PROGRAM ? VERIFY_PROGRAM : _verifyWindow;
  // Settings programmed on the way to a firmware upgrade are not checked:
  // the upgrade follows at once.
  if (!sb || !wanted || sb->progPreUpgrade()) {
    _reference = SettingDiff();
    return;
  }
  _reference.take(*sb);
}

std::string TlctrlReadBack::identity() const {
  SettingBin* sb = _root ? _root->tolSettingBin() : nullptr;
  if (!sb) return "";
  return std::string(sb->connTolType()) + "|" + sb->connSwVer() + "|" + sb->connSpecial() + "|" + sb->connHwVer();
}

bool TlctrlReadBack::confirmProgramming() {
  SettingBin* sb = _root ? _root->tolSettingBin() : nullptr;
  FrmKestrum* frame = _root ? _root->frame() : nullptr;
  if (!sb || !frame || FrmKestrumImpl::CMDL_PROGRAM || sb->progPreUpgrade() || _device.empty() ||
      _deviceId != identity())
    return true;
  // What the device holds, in a store of its own, against what goes in.
  SettingBin device(nullptr);
  _device.restoreInto(device);
  std::vector<SettingDiff::Difference> changes = SettingDiff(*sb).compare(device, CONFIG_FILE);
  if (changes.empty()) return true;
  frame->showDifferences(changes);
  std::string question = std::string(gettext("Attentie!!", 0)) + "\n" + std::to_string(changes.size()) + " " +
                         gettext("velden worden in de Tolvan gewijzigd (zie Verschillen).", 0) + "\n";
  bool go = UserDialog::choice(question.c_str(), gettext("Programmeren continueren", 0),
                               gettext("Programmeren stoppen", 0), nullptr) == 0;
  if (go) frame->deleteDiffWindow();
  return go;
}

bool TlctrlReadBack::programmingEnded(bool complete) {
  // The device now holds other settings than the last "Ophalen" found.
  if (complete) _device = SettingDiff();
  if (_reference.empty() || !complete || Main::shutdownActive()) return false;
  _pending = VERIFY;
  if (SettingBin* sb = _root ? _root->tolSettingBin() : nullptr) _beforeCheck.take(*sb);
  // Programmed, not yet checked: not a success until the check says so.
  if (FrmKestrumImpl::CMDL_PROGRAM) Main::_exitCode = EXIT_INTERRUPTED;
  return true;
}

void TlctrlReadBack::downloadStarts() {
  SettingBin* sb = _root ? _root->tolSettingBin() : nullptr;
  if (!sb) return;
  if (_running == NONE) {
    // A file is open when the window names one and the settings came from
    // it (not from the device).
    FrmKestrum* frame = _root->frame();
    Fl_Output* name = frame ? frame->txtBestName() : nullptr;
    _compare = name && name->value() && name->value()[0] && sb->file() && !sb->editFromDownload();
    if (_compare) _fileSettings.take(*sb);
    return;
  }
  for (int nr = SettingDiff::FIRST; nr <= SettingDiff::LAST; ++nr) {
    SettingBin::SettingEntry* e = sb->getEntry(static_cast<uint8_t>(nr));
    e->text[0] = '\0';
    e->tfnr[0] = '\0';
  }
}

void TlctrlReadBack::downloadEnded(bool complete) {
  Purpose what = _running;
  _running = NONE;
  if (what == NONE) {
    if (_compare && complete) _finishing = COMPARE;
    _compare = false;
    SettingBin* sb = _root ? _root->tolSettingBin() : nullptr;
    if (complete && sb && _root->frame()) {
      _device.take(*sb);
      _deviceId = identity();
    }
    return;
  }
  bool commandLine = commandLineRead() || VERIFY_PROGRAM;
  if (!complete) {
    if (commandLine) {
      // A stop asked for meanwhile has already decided how the run ends.
      if (!Main::shutdownActive()) endRun(EXIT_DEVICE_LOST);
    } else if (SettingBin* sb = _root ? _root->tolSettingBin() : nullptr) {
      // The settings being edited come back whole.
      _beforeCheck.restoreInto(*sb);
      sb->enableEdit();
    }
    return;
  }
  _finishing = what;
}

void TlctrlReadBack::finishFetch() {
  SettingBin* sb = _root->tolSettingBin();
  // The settings file of the configuration stays what it was.
  std::string before = sb->file() ? sb->file() : "";
  sb->file(FETCH_FILE);
  bool ok = sb->storeToFile();
  sb->file(before.empty() ? nullptr : before.c_str());
  if (!ok) {
    fprintf(stderr, "kestrum: the settings could not be written to %s\n", FETCH_FILE);
    endRun(EXIT_INPUT_UNUSABLE);
    return;
  }
  say(std::string("Fetch: the settings of the device are in ") + FETCH_FILE);
  endRun(EXIT_OK);
}

void TlctrlReadBack::finishVerify() {
  SettingBin* sb = _root->tolSettingBin();
  _differences = _reference.compare(*sb, CONFIG_FILE);
  if (commandLineRead() || VERIFY_PROGRAM) {
    for (const SettingDiff::Difference& d : _differences) say("Differs: " + SettingDiff::line(d));
    if (_differences.empty())
      say("Verify: the device holds the settings of the file");
    else
      say("Verify: " + std::to_string(_differences.size()) + " field(s) differ");
    endRun(_differences.empty() ? EXIT_OK : EXIT_VERIFY_DIFFERS);
    return;
  }
  // The window keeps the settings the user programmed, whatever the device
  // holds.
  _beforeCheck.restoreInto(*sb);
  sb->enableEdit();
  if (_differences.empty()) {
    _root->frmStatusInfo(gettext("Controle: Tolvan bevat de instellingen", 0), false);
    return;
  }
  _root->frmStatusInfo(gettext("Controle: verschillen gevonden", 0), true);
  // The form shows what was programmed; the fields the device holds
  // otherwise are marked and listed.
  if (FrmKestrum* frame = _root->frame()) frame->showDifferences(_differences);
}

void TlctrlReadBack::finishCompare() {
  SettingBin* sb = _root->tolSettingBin();
  FrmKestrum* frame = _root->frame();
  if (!sb || !frame) return;
  _differences = _fileSettings.compare(*sb, CONFIG_FILE);
  frame->showDifferences(_differences);
}

void TlctrlReadBack::endRun(int exitCode) {
  TlctrlRoot::endCommandLineRun(exitCode);
}
