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
#include "CommandLine.h"
#include "ExitCode.h"
#include "FrmKestrumImpl.h"
#include "Headless.h"
#include "LoopWait.h"
#include "Main.h"
#include "PortWatch.h"
#include "RevPackDb.h"
#include "SwVersion.h"
#include "TextUtil.h"
#include "TlcdrvRoot.h"
#include "TlctrlReadBack.h"
#include "TlctrlRoot.h"
#include "UserDialog.h"
#include "WorkDir.h"

namespace {

void onStopSignal(int) { Main::_stopSignal = 1; }

void trace(const std::string& text) { BTrace::dbgPrint(text.c_str(), true, true, false); }

// Trace lines about the working directory, written once the remote debug
// console is connected so that it shows them.
std::vector<std::string> g_startLines;

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
        std::string line =
            "Prepared " + dir + " from " + workDir.shareDir() + " (" + std::to_string(copied) + " files)";
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

}  // namespace

int main(int argc, char** argv) {
  char mutexId[256];
  snprintf(mutexId, sizeof mutexId, "Vask_%s_MutexId", Sw_VERSION);
  BMainState::mutexId(mutexId);

  if (CommandLine::helpAsked(argc, argv)) {
    CommandLine::printUsage(argv[0]);
    fflush(stdout);
    return 0;
  }

  std::error_code ec;
  const std::string startDir = std::filesystem::current_path(ec).string();
  std::string packHome;
  std::string userDir = userWorkDir(argv[0], startDir, packHome);
  CommandLine commandLine(packHome);
  commandLine.scan(argc, argv);
  changeDirectory(commandLine.changeTo().empty() ? userDir : commandLine.changeTo(), startDir);
  std::string readBack = commandLine.readBackProblem();
  if (!readBack.empty()) {
    fprintf(stderr, "kestrum: %s\n", readBack.c_str());
    return EXIT_INPUT_UNUSABLE;
  }
  if (!Headless::displayAvailable()) {
    if (!CommandLine::unattendedMode()) {
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
  if (CommandLine::unattendedMode()) UserDialog::unattended(true);
  // A settings file that cannot be read is refused before any device is
  // waited for: programming whatever else would wipe the device.
  if (kvn && kvn[0] && !TextUtil::readableFile(kvn)) {
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
  if (Main::stopRequested() && UserDialog::unattended()) Main::_exitCode = EXIT_INTERRUPTED;
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
