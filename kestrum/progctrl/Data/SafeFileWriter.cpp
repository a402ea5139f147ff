#include "SafeFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "Language.h"
#include "UserDialog.h"

namespace fs = std::filesystem;

SafeFileWriter::SafeFileWriter(const char* path) : _given(path ? path : ""), _target(_given), _fd(nullptr) {
  std::error_code ec;
  // Saving through a link replaces the file it points to, not the link.
  if (!_target.empty() && fs::is_symlink(fs::symlink_status(_target, ec))) {
    fs::path real = fs::canonical(_target, ec);
    if (!ec) _target = real.string();
  }
  fs::path p(_target);
  fs::path tmp = p.parent_path() / ("." + p.filename().string() + ".tmp");
  _tmp = tmp.string();
}

SafeFileWriter::~SafeFileWriter() {
  if (_fd) {
    fclose(_fd);
    _fd = nullptr;
    std::error_code ec;
    fs::remove(_tmp, ec);
  }
}

FILE* SafeFileWriter::open() {
  if (_target.empty() || _fd) return _fd;
  std::error_code ec;
  if (fs::is_directory(_target, ec)) return nullptr;
  // A scratch file left by an earlier crash is ours to replace.
  fs::remove(_tmp, ec);
  _fd = fopen(_tmp.c_str(), "w");
  return _fd;
}

bool SafeFileWriter::commit() {
  if (!_fd) return false;
  // The data must be on the disk before the name points at it, or a power
  // cut could leave an empty file under the old name.
  bool ok = fflush(_fd) == 0 && !ferror(_fd) && fsync(fileno(_fd)) == 0;
  ok = (fclose(_fd) == 0) && ok;
  _fd = nullptr;
  std::error_code ec;
  if (ok) {
    // Keep the access rights the user gave the old file.
    fs::file_status st = fs::status(_target, ec);
    if (!ec && fs::exists(st)) fs::permissions(_tmp, st.permissions(), ec);
    ec.clear();
    fs::rename(_tmp, _target, ec);
    ok = !ec;
    // The rename itself lives in the directory. Should that flush fail, the
    // new file is in place all the same: that is no failure to report.
    if (ok) syncDir();
  }
  if (!ok) fs::remove(_tmp, ec);
  return ok;
}

bool SafeFileWriter::syncDir() const {
  fs::path dir = fs::path(_target).parent_path();
  if (dir.empty()) dir = ".";
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  // Some file systems cannot sync a directory; the rename still stands.
  bool ok = fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
  ::close(fd);
  return ok;
}

void SafeFileWriter::reportFailure() const {
  std::string text = std::string(gettext("Fout!! Bestand", 0)) + " \"" + _given + "\" " +
                     gettext("kan niet opgeslagen worden", 0) + ".\n" +
                     gettext("Het vorige bestand is bewaard", 0) + ".\n";
  UserDialog::alert(text.c_str());
}
