#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

// What the targets share: a private working directory (the readers open
// their files by fixed names in the working directory) and the input
// written to a file there.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace fuzz {

inline void check(bool ok) {
  if (!ok) __builtin_trap();
}

// A fresh directory that is the working directory for the whole run; it is
// removed at exit. tmpfs when there is one: the readers sync what they write.
class WorkDir {
public:
  static const std::string& path() {
    static WorkDir dir;
    return dir._path;
  }

private:
  WorkDir() {
    std::error_code ec;
    std::string base = std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "/tmp";
    std::string tmpl = base + "/kestrum-fuzz-XXXXXX";
    char* p = mkdtemp(&tmpl[0]);
    check(p != nullptr);
    _path = p;
    check(chdir(_path.c_str()) == 0);
    setenv("TMPDIR", _path.c_str(), 1);
  }
  ~WorkDir() {
    std::error_code ec;
    std::filesystem::remove_all(_path, ec);
  }
  std::string _path;
};

inline void writeFile(const std::string& name, const uint8_t* data, size_t size) {
  FILE* f = fopen(name.c_str(), "wb");
  check(f != nullptr);
  if (size > 0) check(fwrite(data, 1, size, f) == size);
  check(fclose(f) == 0);
}

inline std::string readFile(const std::string& name) {
  std::string s;
  FILE* f = fopen(name.c_str(), "rb");
  if (!f) return s;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  fclose(f);
  return s;
}

// The working directory, once per process.
inline void setUp() { WorkDir::path(); }

}  // namespace fuzz

#endif
