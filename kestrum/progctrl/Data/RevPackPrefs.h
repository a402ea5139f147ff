#ifndef REVPACKPREFS_H
#define REVPACKPREFS_H

#include <string>

class Fl_Preferences;

// A toolkit preferences file kept under a name of our own (".rpa", ".rst")
// instead of the toolkit's ".prefs".
//
// The toolkit rewrites its file in place whenever it is dirty, and merely
// reading groups or continued values makes it dirty; a group line it does not
// expect makes it crash. So the toolkit never sees a user's file: it works on
// a copy in a private directory, a copy it reads only after its lines were
// checked, and a finished file reaches its name by a rename after it was
// written and synced. The bytes of the file are exactly the toolkit's.
class RevPackPrefs {
public:
  // Largest file taken for reading; a revision pack is a few megabytes.
  static const long MAX_FILE_SIZE = 64L * 1024 * 1024;
  // The toolkit builds a group's path ("./name") in a buffer of 128
  // characters; a longer path overruns it or makes a group it cannot find.
  static const int MAX_GROUP_PATH = 127;

  RevPackPrefs();
  // Drops the working copy; nothing reaches a user's file.
  virtual ~RevPackPrefs();

  // A new, empty file. The private directory is made in workDir, so that the
  // final rename stays on one file system.
  bool create(const char* workDir, const char* vendor, const char* application);
  // A working copy of file, after checkFile found it safe to read.
  bool openCopy(const char* file, const char* vendor, const char* application);

  // The open file's root; null when nothing is open. Groups opened on it
  // must be deleted before commit or close.
  Fl_Preferences* prefs() const { return _prefs; }
  bool isOpen() const { return _prefs != nullptr; }
  // The working file inside the private directory.
  const std::string& workFile() const { return _workFile; }

  // Writes what is pending, syncs it and moves it to target (replacing a
  // file of that name). The preferences are closed in every case.
  bool commit(const char* target);
  // Closes without keeping anything.
  void close();

  // Why the last operation failed.
  const std::string& error() const { return _error; }

  // False (with the reason) when the toolkit must not read file: a group
  // line other than "[.]" or "[./name]", a group path longer than
  // MAX_GROUP_PATH, or a file too big or unreadable.
  static bool checkFile(const char* file, std::string& why);
  // Moves src to dst through the atomic writer (synced copy beside dst,
  // renamed into place). src is gone afterwards only on success.
  static bool moveFile(const char* src, const char* dst, std::string& why);
  // Forces a file's bytes to the disk.
  static bool syncFile(const char* file);

private:
  bool makeDir(const char* parent);
  void removeDir();
  static std::string workName(const char* application);

  Fl_Preferences* _prefs;
  std::string _dir;
  std::string _workFile;
  std::string _error;
};

#endif
