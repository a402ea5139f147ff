#ifndef WORKDIR_H
#define WORKDIR_H

#include <string>

// Where the program works. It reads config.ini, config.csv, the language
// files and its help pages from its working directory and writes RevPacks/,
// settings files and config.ini there. An installed program (its shipped files
// in <prefix>/share/kestrum beside <prefix>/bin) started anywhere else than in
// a directory holding a config.ini works in a per-user directory, prepared
// from the shipped files on first use. A program run from its build tree has
// no shared directory and always works where it was started.
class WorkDir {
public:
  // cwd: where the program was started; program: its own file (absolute);
  // dataHome and home: $XDG_DATA_HOME and $HOME (null when unset).
  static WorkDir choose(const std::string& cwd, const std::string& program, const char* dataHome, const char* home);

  // The program's own file, as the kernel knows it; argv0 when that fails.
  static std::string programFile(const char* argv0);

  // The directory to change into; empty when the program stays where it was started.
  const std::string& dir() const { return _dir; }
  // The shipped files of an installed program; empty when not installed.
  const std::string& shareDir() const { return _shareDir; }
  bool installed() const { return !_shareDir.empty(); }
  // Why the program stays where it was started although it is installed.
  const std::string& note() const { return _note; }

  // Copies the shipped files that dir() lacks into it, unless it already
  // holds a config.ini (then it was prepared before, and what the user removed
  // stays removed). Never replaces a file. The number of files copied, or -1
  // (with the reason in why) when the directory cannot be made.
  int prepare(std::string& why) const;

  static const char* const CONFIG_FILE;  // "config.ini"

private:
  std::string _dir;
  std::string _shareDir;
  std::string _note;
};

#endif
