// The kestrum executable: command line, start-up, the one loop of the
// process, and shutdown with the exit code.
#include <FL/Fl.H>
#include <FL/filename.H>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "BScheduler.h"
#include "BSystem.h"
#include "BTrace.h"
#include "ExitCode.h"
#include "FrmKestrumImpl.h"
#include "Headless.h"
#include "LoopWait.h"
#include "Main.h"
#include "PortWatch.h"
#include "RevPackDb.h"
#include "SwVersion.h"
#include "TlcdrvRoot.h"
#include "TlctrlRoot.h"
#include "UserDialog.h"
#include "TlctrlReadBack.h"
#include "WorkDir.h"

namespace {

void onStopSignal(int) { Main::_stopSignal = 1; }

void trace(const std::string& text) { BTrace::dbgPrint(text.c_str(), true, true, false); }

void printUsage(const char* prog) {
  const std::string hashes(79, '#');
  const std::string indent(16, ' ');
  puts(hashes.c_str());
  printf("# Usage: %s", prog);
  printf("\n#  %s\n", "-cmdl_crtrpa,   Create RevPack database via Kestrum command line");
  printf("#  %s\n", "-bindir,        Directory where binfiles are stored");
  printf("#  %s\n", (indent + "e.g. \"kestrum -cmdl_crtrpa -bindir <directory>\"").c_str());
  printf("#  %s\n", "-createrevpack, Create RevPack database via Kestrum gui");
  printf("#  %s\n", "-nohwcheck,     No check on hardware revision.");
  printf("\n#  %s\n", "-upgrade,       Sofware upgrade via the commandline.");
  printf("#  %s\n", (indent + "e.g. -upgrade -revpack <rpa> -binfile <xx.bin>").c_str());
  printf("#  %s\n", "-revpack,       RevPack database which is stored in ./RevPacks");
  printf("#  %s\n", (indent + "e.g. -revpack TL-xxx[yyy] (No ./RevPacks/, *.rpa included)").c_str());
  printf("#  %s\n", (std::string(42, ' ') + std::string(32, '^')).c_str());
  printf("#  %s\n", "-binfile,       Binfile containing the desired sofware version");
  printf("#  %s\n", "-allownobackup, Upgrade also when the settings cannot be backed up first");
  printf("#  %s\n", "-program,       Program settings via command line");
  printf("#  %s\n", (indent + "e.g. \"kestrum -program <\"C:\\xx yy\\file.kvn\">\"").c_str());
  printf("#  %s\n", "-fetch,         Read the device's settings into a file via command line");
  printf("#  %s\n", (indent + "e.g. \"kestrum -fetch <file.kvn>\"").c_str());
  printf("#  %s\n", "-verify,        Compare the device's settings with a file via command line");
  printf("#  %s\n", (indent + "e.g. \"kestrum -verify <file.kvn>\"").c_str());
  printf("#  %s\n", (indent + "e.g. \"kestrum -program <file.kvn> -verify\" (program, then compare)").c_str());
  puts(hashes.c_str());
}

bool isReadableFile(const char* name) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(name, ec)) return false;
  FILE* f = fopen(name, "r");
  if (!f) return false;
  fclose(f);
  return true;
}

// A port, a number of the debug console: a non-number reads as 0 (off).
int readPort(const char* text) {
  char* end = nullptr;
  errno = 0;
  long v = strtol(text, &end, 10);
  if (errno || end == text || v <= 0 || v > 65535) return 0;
  return static_cast<int>(v);
}

// "-verify" was given, with or without a file.
bool g_verifyAsked = false;

// Where the program works from start-up on, when not where it was started.
std::string g_changeTo;

// Trace lines about the working directory, written once the remote debug
// console is connected so that it shows them.
std::vector<std::string> g_startLines;

// A revision pack given as an argument is copied into RevPacks of home, the
// directory the program works in from then on: beside the program, or for an
// installed program its working directory. The directory is changed only after
// the scan, so that later arguments are still found where the user gave them.
void takeRevPackArgument(char** argv, int i, const std::string& home) {
  static char* ownDir = nullptr;
  const char* dir = home.c_str();
  if (home.empty()) {
    if (!ownDir) ownDir = filename_dir(argv[0]);  // once: it cuts argv[0] in place
    dir = ownDir;
  }
  Main::_refPackFile = fl_filename_name(argv[i]);
  char cmd[256];
  snprintf(cmd, sizeof cmd, "mkdir \"%s\\RevPacks\"", dir);
  trace(cmd);
  std::filesystem::path packs = std::filesystem::path(dir) / "RevPacks";
  std::error_code ec;
  std::filesystem::create_directories(packs, ec);
  if (ec) trace(std::string("mkdir failed: ") + ec.message());
  snprintf(cmd, sizeof cmd, "copy \"%s\" \"%s\\RevPacks\\%s\"", argv[i], dir, Main::_refPackFile);
  trace(cmd);
  std::filesystem::path target = packs / Main::_refPackFile;
  if (!std::filesystem::equivalent(argv[i], target, ec))
    std::filesystem::copy_file(argv[i], target, std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) trace(std::string("copy failed: ") + ec.message());
  g_changeTo = dir;
}

// Takes the value(s) of an option; false (with a warning) when they are missing.
bool haveValues(int argc, int i, int n, const char* option) {
  if (i + n < argc) return true;
  fprintf(stderr, "kestrum: option %s needs %d value%s; ignored\n", option, n, n > 1 ? "s" : "");
  return false;
}

void scanArguments(int argc, char** argv, const std::string& packHome) {
  for (int i = 1; i < argc; ++i) {
    char line[300];
    snprintf(line, sizeof line, "i:%d argv:%s", i, argv[i]);
    trace(line);
    if (isReadableFile(argv[i])) {
      trace(std::string("Opening file:") + argv[i]);
      if (strcmp(fl_filename_ext(argv[i]), ".rpa") == 0) takeRevPackArgument(argv, i, packHome);
      continue;
    }
    const char* a = argv[i];
    if (!strcmp(a, "-cmdl_crtrpa")) {
      RevPackDb::CMDL_CREATE_REVPACK = true;
    } else if (!strcmp(a, "-bindir")) {
      if (haveValues(argc, i, 1, a)) RevPackDb::CMDL_BINDIR = argv[++i];
    } else if (!strcmp(a, "-createrevpack")) {
      FrmKestrumImpl::CREATE_REVPACK = true;
    } else if (!strcmp(a, "-produpgr")) {
      // accepted for compatibility; no effect
    } else if (!strcmp(a, "-nohwcheck")) {
      RevPackDb::CHECK_HARDWARE = false;
    } else if (!strcmp(a, "-upgrade")) {
      RevPackDb::CMDL_UPGRADE = true;
    } else if (!strcmp(a, "-allownobackup")) {
      RevPackDb::CMDL_ALLOW_NOBACKUP = true;
    } else if (!strcmp(a, "-revpack")) {
      if (haveValues(argc, i, 1, a)) RevPackDb::CMDL_REVPACK = argv[++i];
    } else if (!strcmp(a, "-binfile")) {
      if (haveValues(argc, i, 1, a)) RevPackDb::CMDL_BINFILE = argv[++i];
    } else if (!strcmp(a, "-program")) {
      if (haveValues(argc, i, 1, a)) FrmKestrumImpl::PROG_FILE_KVN = argv[++i];
    } else if (!strcmp(a, "-fetch")) {
      if (haveValues(argc, i, 1, a)) TlctrlReadBack::FETCH_FILE = argv[++i];
    } else if (!strcmp(a, "-verify")) {
      // A file of its own, or (after programming) the programmed one.
      g_verifyAsked = true;
      if (i + 1 < argc && argv[i + 1][0] != '-') TlctrlReadBack::VERIFY_FILE = argv[++i];
    } else if (!strcmp(a, "-remdbg")) {
      if (haveValues(argc, i, 2, a)) {
        Main::_dbgAddr = argv[i + 1];
        Main::_dbgPort = readPort(argv[i + 2]);
        i += 2;
      } else {
        i = argc;  // "-remdbg host" alone: nothing left to scan
      }
    }
  }
}

// A relative path given on the command line, made absolute against the
// directory the program was started in (store keeps the text alive).
char* absoluteFrom(char* path, const std::string& base, std::string& store) {
  if (!path || !*path || path[0] == '/' || base.empty()) return path;
  store = (std::filesystem::path(base) / path).lexically_normal().string();
  return store.data();
}

// Changes into dir (when it is not where the program was started); paths of
// the command line keep naming what the user meant.
void changeDirectory(const std::string& dir, const std::string& startDir) {
  if (dir.empty()) return;
  std::error_code ec;
  if (!startDir.empty() && std::filesystem::equivalent(dir, startDir, ec)) return;
  static std::string programFile, binDir, fetchFile, verifyFile;
  FrmKestrumImpl::PROG_FILE_KVN = absoluteFrom(FrmKestrumImpl::PROG_FILE_KVN, startDir, programFile);
  TlctrlReadBack::FETCH_FILE = absoluteFrom(TlctrlReadBack::FETCH_FILE, startDir, fetchFile);
  TlctrlReadBack::VERIFY_FILE = absoluteFrom(TlctrlReadBack::VERIFY_FILE, startDir, verifyFile);
  RevPackDb::CMDL_BINDIR = absoluteFrom(RevPackDb::CMDL_BINDIR, startDir, binDir);
  if (chdir(dir.c_str()) != 0) {
    g_startLines.push_back("cannot change to " + dir + ": " + strerror(errno));
    fprintf(stderr, "kestrum: cannot change to %s: %s\n", dir.c_str(), strerror(errno));
    return;
  }
  g_startLines.push_back("Working directory: " + dir);
}

// Decides where the program works (see WorkDir) and prepares an installed
// program's per-user directory; returns it, or empty to stay where started.
std::string userWorkDir(const char* argv0, const std::string& startDir, std::string& packHome) {
  WorkDir workDir = WorkDir::choose(startDir, WorkDir::programFile(argv0), getenv("XDG_DATA_HOME"), getenv("HOME"));
  std::string dir = workDir.dir();
  if (!workDir.note().empty()) g_startLines.push_back(workDir.note());
  if (!dir.empty()) {
    // Said on standard error as well: it happens once, or points at a fault.
    std::string why;
    int copied = workDir.prepare(why);
    if (copied < 0) {
      g_startLines.push_back("Working directory not prepared, " + why);
      fprintf(stderr, "kestrum: %s; working in %s\n", why.c_str(), startDir.c_str());
      dir.clear();
    } else {
      if (copied > 0) {
        std::string line = "Prepared " + dir + " from " + workDir.shareDir() + " (" + std::to_string(copied) + " files)";
        g_startLines.push_back(line);
        fprintf(stderr, "kestrum: %s\n", line.c_str());
      }
      if (!why.empty()) {
        g_startLines.push_back(why);
        fprintf(stderr, "kestrum: %s\n", why.c_str());
      }
    }
  }
  // An installed program keeps revision packs given as arguments in the
  // directory it works in, never beside itself.
  if (workDir.installed()) packHome = dir.empty() ? startDir : dir;
  return dir;
}

// Fetch and verify: which combinations mean something, and whether their
// files can serve. An empty text when they can; else what is wrong.
std::string readBackProblem() {
  const bool program = FrmKestrumImpl::PROG_FILE_KVN && FrmKestrumImpl::PROG_FILE_KVN[0];
  const bool fetch = TlctrlReadBack::FETCH_FILE && TlctrlReadBack::FETCH_FILE[0];
  const bool verifyFile = TlctrlReadBack::VERIFY_FILE && TlctrlReadBack::VERIFY_FILE[0];
  if (fetch && (program || g_verifyAsked)) return "-fetch cannot be combined with -program or -verify";
  if (program && verifyFile)
    return "-verify takes no file of its own after -program: the programmed file is compared";
  if (g_verifyAsked && !program && !verifyFile)
    return "-verify needs a settings file (-verify FILE.kvn) or -program FILE.kvn";
  if ((fetch || verifyFile) && (RevPackDb::CMDL_UPGRADE || RevPackDb::CMDL_CREATE_REVPACK))
    return "-fetch and -verify cannot be combined with -upgrade or -cmdl_crtrpa";
  TlctrlReadBack::VERIFY_PROGRAM = program && g_verifyAsked;
  std::string why;
  if (!TlctrlReadBack::commandLineUsable(why)) return why;
  return "";
}

// The modes that do their work without anybody at the window.
bool commandLineMode() {
  bool revPack = RevPackDb::CMDL_CREATE_REVPACK && RevPackDb::CMDL_BINDIR && RevPackDb::CMDL_BINDIR[0];
  bool program = FrmKestrumImpl::PROG_FILE_KVN && FrmKestrumImpl::PROG_FILE_KVN[0];
  return revPack || program || TlctrlRoot::cmdlUpgradeNamed() || TlctrlReadBack::commandLineRead();
}

}  // namespace

int main(int argc, char** argv) {
  char mutexId[256];
  snprintf(mutexId, sizeof mutexId, "Vask_%s_MutexId", Sw_VERSION);
  BMainState::mutexId(mutexId);

  if (argc == 2 && strstr(argv[1], "help")) {
    printUsage(argv[0]);
    fflush(stdout);
    return 0;
  }

  std::error_code ec;
  const std::string startDir = std::filesystem::current_path(ec).string();
  std::string packHome;
  std::string userDir = userWorkDir(argv[0], startDir, packHome);
  scanArguments(argc, argv, packHome);
  changeDirectory(g_changeTo.empty() ? userDir : g_changeTo, startDir);
  std::string readBack = readBackProblem();
  if (!readBack.empty()) {
    fprintf(stderr, "kestrum: %s\n", readBack.c_str());
    return EXIT_INPUT_UNUSABLE;
  }
  if (!Headless::displayAvailable()) {
    if (!commandLineMode()) {
      const char* d = getenv("DISPLAY");
      fprintf(stderr,
              "kestrum: no X display (%s%s): the window cannot be shown; -program, -upgrade, -cmdl_crtrpa, "
              "-fetch and -verify run without one\n",
              d && *d ? "cannot open " : "DISPLAY is not set", d && *d ? d : "");
      return EXIT_INPUT_UNUSABLE;
    }
    Headless::start();
  }
  if (TlctrlReadBack::commandLine()) {
    Headless::noDialogs();
    // Until its result is in, the run has not done its work: a stop
    // signal meanwhile must not end it as a success.
    Main::_exitCode = EXIT_INTERRUPTED;
  }

  // Runs that nobody watches: no dialog may wait for an answer.
  const char* kvn = FrmKestrumImpl::PROG_FILE_KVN;
  if (commandLineMode()) Main::_unattended = true;
  UserDialog::unattended(Main::_unattended);
  // A settings file that cannot be read is refused before any device is
  // waited for: programming whatever else would wipe the device.
  if (kvn && kvn[0] && !isReadableFile(kvn)) {
    fprintf(stderr, "kestrum: -program: cannot read settings file %s\n", kvn);
    return EXIT_INPUT_UNUSABLE;
  }

  // No SA_RESTART: a signal also ends the toolkit's wait at once.
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = onStopSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  UserDialog::closeModalOnStop();

  // Bytes from the device end the toolkit's wait at once instead of after
  // up to 10 ms: at 9600 baud a byte takes about 1 ms.
  PortWatch::install();

  Main* mainState = new Main();
  mainState->startup();
  if (BScheduler::systemStatus() == BScheduler::SYSTEM_TERMINATING && !mainState->isInitialised()) {
    long pid = BSystem::lockHolder(mutexId);
    fprintf(stderr, "kestrum: another instance of Kestrum %s is running (lock %s%s%s); not started\n", Sw_VERSION,
            BSystem::lockPath(mutexId).c_str(), pid ? ", pid " : "", pid ? std::to_string(pid).c_str() : "");
    while (!BScheduler::terminated()) BScheduler::step();
    delete mainState;
    return EXIT_ANOTHER_INSTANCE;
  }

  if (!BSystem::lockHeld())
    fprintf(stderr, "kestrum: single-instance lock not taken, %s; another instance is not kept out\n",
            BSystem::lockError().c_str());
  for (const std::string& line : g_startLines) trace(line);
  BTrace::processCommandsFile("lvl");

  while (!Main::_shutdown) {
    if (Main::stopRequested()) {
      Main::_shutdown = true;
      break;
    }
    TlcdrvRoot::readCom();
    BScheduler::SystemStatus status;
    do {
      BScheduler::step();
      BTrace::parseDebugStream();
      status = BScheduler::systemStatus();
    } while (status != BScheduler::SYSTEM_SLEEPING && status != BScheduler::SYSTEM_TERMINATED);
    if (Main::_shutdown) break;
    Fl::wait(LoopWait::seconds());
  }

  // A command-line run that a signal reached before it ended never ends as a
  // success, whatever code its states left behind (a dialog cut short by the
  // signal may have ended the work as if answered).
  if (Main::stopRequested() && Main::_unattended) Main::_exitCode = EXIT_INTERRUPTED;
  // A command-line programming run is not started again once shutdown began.
  FrmKestrumImpl::CMDL_PROGRAM = false;
  trace("Main: entering Shutdown ... ");
  mainState->shutdown();
  while (!BScheduler::terminated()) BScheduler::step();
  delete mainState;
  PortWatch::uninstall();
  trace("Exit code:" + std::to_string(Main::_exitCode));
  return Main::_exitCode;
}
