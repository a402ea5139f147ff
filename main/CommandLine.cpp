#include "CommandLine.h"

#include <FL/filename.H>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "BTrace.h"
#include "FrmKestrumImpl.h"
#include "Main.h"
#include "RevPackDb.h"
#include "TextUtil.h"
#include "TlctrlReadBack.h"
#include "TlctrlRoot.h"

namespace {

void trace(const std::string& text) { BTrace::dbgPrint(text.c_str(), true, true, false); }

// Whether the value(s) of an option are there; warns when they are not.
bool haveValues(int argc, int i, int n, const char* option) {
  if (i + n < argc) return true;
  fprintf(stderr, "kestrum: option %s needs %d value%s; ignored\n", option, n, n > 1 ? "s" : "");
  return false;
}

bool given(const char* text) { return text && text[0]; }

char g_none[6][1] = {};

}  // namespace

bool CommandLine::helpAsked(int argc, char** argv) { return argc == 2 && strstr(argv[1], "help"); }

void CommandLine::printUsage(const char* prog) {
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

int CommandLine::readPort(const char* text) {
  char* end = nullptr;
  errno = 0;
  long v = strtol(text, &end, 10);
  if (errno || end == text || v <= 0 || v > 65535) return 0;
  return static_cast<int>(v);
}

std::string CommandLine::directoryOf(const char* path) {
  if (!path) return "";
  std::string p = path;
  size_t from = p.size() >= 2 && p[1] == ':' ? 2 : 0;  // a drive letter
  size_t last = p.find_last_of("/\\");
  if (last == std::string::npos || last < from) return ".";
  return last == 0 ? "/" : p.substr(0, last);
}

// A revision pack given as an argument is copied into RevPacks of the pack
// home: beside the program, or for an installed program its working
// directory. The directory is changed only after the scan, so that later
// arguments are still found where the user gave them.
void CommandLine::takeRevPack(const char* arg, const char* argv0) {
  if (_packHome.empty() && _ownDir.empty()) _ownDir = directoryOf(argv0);
  const std::string& dir = _packHome.empty() ? _ownDir : _packHome;
  Main::_refPackFile = fl_filename_name(arg);
  char cmd[256];
  snprintf(cmd, sizeof cmd, "mkdir \"%s\\RevPacks\"", dir.c_str());
  trace(cmd);
  std::filesystem::path packs = std::filesystem::path(dir) / "RevPacks";
  std::error_code ec;
  std::filesystem::create_directories(packs, ec);
  if (ec) trace(std::string("mkdir failed: ") + ec.message());
  snprintf(cmd, sizeof cmd, "copy \"%s\" \"%s\\RevPacks\\%s\"", arg, dir.c_str(), Main::_refPackFile);
  trace(cmd);
  std::filesystem::path target = packs / Main::_refPackFile;
  if (!std::filesystem::equivalent(arg, target, ec))
    std::filesystem::copy_file(arg, target, std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) trace(std::string("copy failed: ") + ec.message());
  _changeTo = dir;
}

void CommandLine::scan(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    char line[300];
    snprintf(line, sizeof line, "i:%d argv:%s", i, argv[i]);
    trace(line);
    if (TextUtil::readableFile(argv[i])) {
      trace(std::string("Opening file:") + argv[i]);
      if (strcmp(fl_filename_ext(argv[i]), ".rpa") == 0) takeRevPack(argv[i], argv[0]);
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
      _verifyAsked = true;
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

std::string CommandLine::readBackProblem() const {
  const bool program = given(FrmKestrumImpl::PROG_FILE_KVN);
  const bool fetch = given(TlctrlReadBack::FETCH_FILE);
  const bool verifyFile = given(TlctrlReadBack::VERIFY_FILE);
  if (fetch && (program || _verifyAsked)) return "-fetch cannot be combined with -program or -verify";
  if (program && verifyFile) return "-verify takes no file of its own after -program: the programmed file is compared";
  if (_verifyAsked && !program && !verifyFile)
    return "-verify needs a settings file (-verify FILE.kvn) or -program FILE.kvn";
  if ((fetch || verifyFile) && (RevPackDb::CMDL_UPGRADE || RevPackDb::CMDL_CREATE_REVPACK))
    return "-fetch and -verify cannot be combined with -upgrade or -cmdl_crtrpa";
  TlctrlReadBack::VERIFY_PROGRAM = program && _verifyAsked;
  std::string why;
  if (!TlctrlReadBack::commandLineUsable(why)) return why;
  return "";
}

bool CommandLine::unattendedMode() {
  bool revPack = RevPackDb::CMDL_CREATE_REVPACK && given(RevPackDb::CMDL_BINDIR);
  return revPack || given(FrmKestrumImpl::PROG_FILE_KVN) || TlctrlRoot::cmdlUpgradeNamed() ||
         TlctrlReadBack::commandLineRead();
}

void CommandLine::reset() {
  RevPackDb::CMDL_CREATE_REVPACK = RevPackDb::CMDL_UPGRADE = RevPackDb::CMDL_ALLOW_NOBACKUP = false;
  RevPackDb::CHECK_HARDWARE = true;
  RevPackDb::CMDL_BINDIR = g_none[0];
  RevPackDb::CMDL_REVPACK = g_none[1];
  RevPackDb::CMDL_BINFILE = g_none[2];
  FrmKestrumImpl::CREATE_REVPACK = false;
  FrmKestrumImpl::PROG_FILE_KVN = g_none[3];
  TlctrlReadBack::FETCH_FILE = g_none[4];
  TlctrlReadBack::VERIFY_FILE = g_none[5];
  TlctrlReadBack::VERIFY_PROGRAM = false;
  Main::_dbgAddr = "";
  Main::_dbgPort = 0;
  Main::_refPackFile = nullptr;
}
