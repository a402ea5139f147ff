#include "RevPackPrefs.h"

#include <FL/Fl_Preferences.H>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "SafeFileWriter.h"

namespace fs = std::filesystem;

namespace {
// The toolkit reads its lines with a buffer of this size; a longer line
// reaches it as several.
const int TOOLKIT_LINE = 1024;

bool copyFile(const char* src, const char* dst, std::string& why) {
  FILE* in = fopen(src, "rb");
  if (!in) {
    why = std::string("cannot read ") + src + ": " + strerror(errno);
    return false;
  }
  FILE* out = fopen(dst, "wb");
  if (!out) {
    why = std::string("cannot write ") + dst + ": " + strerror(errno);
    fclose(in);
    return false;
  }
  char buf[65536];
  size_t n;
  bool ok = true;
  while ((n = fread(buf, 1, sizeof buf, in)) > 0)
    if (fwrite(buf, 1, n, out) != n) {
      ok = false;
      break;
    }
  if (ferror(in)) ok = false;
  fclose(in);
  if (fflush(out) != 0 || fsync(fileno(out)) != 0) ok = false;
  if (fclose(out) != 0) ok = false;
  if (!ok) why = std::string("cannot copy ") + src + " to " + dst;
  return ok;
}
}  // namespace

RevPackPrefs::RevPackPrefs() : _prefs(nullptr) {}

RevPackPrefs::~RevPackPrefs() { close(); }

std::string RevPackPrefs::workName(const char* application) {
  // The toolkit names its file after the application; keep it inside the
  // private directory whatever the name holds.
  std::string name = application && *application ? application : "prefs";
  for (char& c : name)
    if (c == '/' || c == '\\') c = '_';
  return name;
}

bool RevPackPrefs::makeDir(const char* parent) {
  std::string tmpl = std::string(parent && *parent ? parent : ".") + "/.kestrum-prefs-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) {
    _error = std::string("cannot make a directory in ") + (parent ? parent : ".") + ": " + strerror(errno);
    return false;
  }
  _dir = buf.data();
  return true;
}

void RevPackPrefs::removeDir() {
  if (_dir.empty()) return;
  std::error_code ec;
  fs::remove_all(_dir, ec);
  _dir.clear();
  _workFile.clear();
}

bool RevPackPrefs::create(const char* workDir, const char* vendor, const char* application) {
  close();
  _error.clear();
  if (!makeDir(workDir)) return false;
  std::string app = workName(application);
  _workFile = _dir + "/" + app + ".prefs";
  _prefs = new Fl_Preferences(_dir.c_str(), vendor, app.c_str());
  return true;
}

bool RevPackPrefs::openCopy(const char* file, const char* vendor, const char* application) {
  close();
  _error.clear();
  if (!file || !checkFile(file, _error)) return false;
  const char* tmp = getenv("TMPDIR");
  if (!makeDir(tmp && *tmp ? tmp : "/tmp")) return false;
  std::string app = workName(application);
  _workFile = _dir + "/" + app + ".prefs";
  if (!copyFile(file, _workFile.c_str(), _error)) {
    removeDir();
    return false;
  }
  // The file may have changed between the check and the copy: check the copy.
  if (!checkFile(_workFile.c_str(), _error)) {
    removeDir();
    return false;
  }
  _prefs = new Fl_Preferences(_dir.c_str(), vendor, app.c_str());
  return true;
}

bool RevPackPrefs::commit(const char* target) {
  if (!_prefs) {
    _error = "nothing open";
    return false;
  }
  _prefs->flush();
  delete _prefs;
  _prefs = nullptr;
  bool ok = syncFile(_workFile.c_str());
  if (!ok) _error = std::string("cannot write ") + _workFile;
  if (ok) ok = moveFile(_workFile.c_str(), target, _error);
  removeDir();
  return ok;
}

void RevPackPrefs::close() {
  delete _prefs;
  _prefs = nullptr;
  removeDir();
}

bool RevPackPrefs::checkFile(const char* file, std::string& why) {
  FILE* f = fopen(file, "rb");
  if (!f) {
    why = std::string("cannot open ") + file + ": " + strerror(errno);
    return false;
  }
  if (fseek(f, 0, SEEK_END) != 0 || ftell(f) > MAX_FILE_SIZE || fseek(f, 0, SEEK_SET) != 0) {
    fclose(f);
    why = std::string(file) + " is too big";
    return false;
  }
  // Read as the toolkit reads: the first three lines are its header.
  char buf[TOOLKIT_LINE];
  int lineNr = 0;
  bool ok = true;
  while (ok && fgets(buf, sizeof buf, f)) {
    if (++lineNr <= 3 || buf[0] != '[') continue;
    const char* end = strchr(buf, ']');
    bool root = strncmp(buf, "[.]", 3) == 0;
    bool group = strncmp(buf, "[./", 3) == 0 && end && end > buf + 3;
    if (!root && !group) {
      size_t n = strcspn(buf, "\r\n");
      why = std::string(file) + ": line " + std::to_string(lineNr) + " is not a group line: " +
            std::string(buf, n);
      ok = false;
    } else if (strcspn(buf + 1, "]\r\n") > static_cast<size_t>(MAX_GROUP_PATH)) {
      why = std::string(file) + ": line " + std::to_string(lineNr) + ": group name too long";
      ok = false;
    }
  }
  if (ok && ferror(f)) {
    why = std::string("cannot read ") + file;
    ok = false;
  }
  fclose(f);
  return ok;
}

bool RevPackPrefs::syncFile(const char* file) {
  int fd = open(file, O_RDONLY);
  if (fd < 0) return false;
  bool ok = fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool RevPackPrefs::moveFile(const char* src, const char* dst, std::string& why) {
  // Through the one atomic writer: the pack is on the disk, under its name,
  // before src goes, whatever file systems the two names are on.
  FILE* in = fopen(src, "rb");
  if (!in) {
    why = std::string("cannot read ") + src + ": " + strerror(errno);
    return false;
  }
  SafeFileWriter writer(dst);
  FILE* out = writer.open();
  bool ok = out != nullptr;
  char buf[65536];
  size_t n;
  while (ok && (n = fread(buf, 1, sizeof buf, in)) > 0) ok = fwrite(buf, 1, n, out) == n;
  if (ferror(in)) ok = false;
  fclose(in);
  if (ok) ok = writer.commit();
  if (!ok) {
    why = std::string("cannot move ") + src + " to " + dst;
    return false;
  }
  std::remove(src);
  return true;
}
