#ifndef TEMPDIR_H
#define TEMPDIR_H

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

// A fresh directory, removed with everything in it when the object goes.
// UnderWorkDir: below the test's working directory (kept apart per test
// program). ShortPath: in /tmp, for a port's link, whose name is limited in
// length however deep the build tree lies. Entered: in /tmp, and the working
// directory while the object lives (for code that works on relative names).
class TempDir {
public:
  enum Where { UnderWorkDir, ShortPath, Entered };
  explicit TempDir(Where where = UnderWorkDir) {
    char buf[4096];
    std::string cwd = getcwd(buf, sizeof buf) ? buf : "/";
    if (where == UnderWorkDir) {
      char tmpl[] = "kestrum-test-XXXXXX";
      if (char* d = mkdtemp(tmpl)) _path = cwd + "/" + d;
      return;
    }
    char tmpl[] = "/tmp/kestrum-test-XXXXXX";
    if (char* d = mkdtemp(tmpl)) _path = d;
    if (where == Entered && !_path.empty()) {
      _oldCwd = cwd;
      if (chdir(_path.c_str()) != 0) _oldCwd.clear();
    }
  }
  ~TempDir() {
    if (!_oldCwd.empty() && chdir(_oldCwd.c_str()) != 0) return;
    if (_path.empty()) return;
    std::error_code ec;
    // A test may leave read-only directories behind: open them so their
    // contents go too.
    for (auto it = std::filesystem::recursive_directory_iterator(_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      if (it->is_directory(ec)) chmod(it->path().c_str(), 0700);
    chmod(_path.c_str(), 0700);
    std::filesystem::remove_all(_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return _path; }
  std::string file(const std::string& name) const { return _path + "/" + name; }

private:
  std::string _path;
  std::string _oldCwd;
};

#endif
