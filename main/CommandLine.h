#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <string>

// The command line: the usage text, and the scan that turns the arguments
// into the process-wide option variables (RevPackDb::CMDL_*, the settings
// file to program, the files to fetch into or verify against, the remote
// debug console). Text options point into the argument vector, which is
// never written to.
class CommandLine {
public:
  // packHome: where a revision pack given as an argument is kept (its
  // RevPacks folder); empty for the program's own directory.
  explicit CommandLine(const std::string& packHome = "") : _packHome(packHome) {}

  // A single argument holding "help" anywhere (help, -help, --help, /help).
  static bool helpAsked(int argc, char** argv);
  static void printUsage(const char* prog);

  // Sets the option variables; a missing value is warned about on standard
  // error and ignored; an argument naming a readable file is never an option.
  void scan(int argc, char** argv);

  // Fetch and verify: an empty text when the combination given can serve,
  // else what is wrong. Sets TlctrlReadBack::VERIFY_PROGRAM.
  std::string readBackProblem() const;
  // A mode that does its work without anybody at the window.
  static bool unattendedMode();

  // Where the program works from now on because of a revision pack
  // argument; empty when none was given.
  const std::string& changeTo() const { return _changeTo; }
  bool verifyAsked() const { return _verifyAsked; }

  // The directory part of a path, without trailing separator; "." when it
  // has none, "/" for the root. Leaves the path as it is.
  static std::string directoryOf(const char* path);
  // The port of the remote debug console; a non-number or a number out of
  // range reads as 0 (off).
  static int readPort(const char* text);

  // All option variables back to their initial values (for tests).
  static void reset();

private:
  void takeRevPack(const char* arg, const char* argv0);

  std::string _packHome;
  std::string _changeTo;
  std::string _ownDir;
  bool _verifyAsked = false;
};

#endif
