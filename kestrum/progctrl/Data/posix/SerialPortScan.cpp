#include "SerialPortScan.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// The families in the order they are offered; USB adapters are what a
// Tolvan is usually connected through.
const char* const FAMILIES[] = {"ttyUSB", "ttyACM", "ttyS"};

// The unit number after the family prefix, or -1 when the rest is not a number.
long unitNumber(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
  std::string rest = name.substr(prefix.size());
  if (rest.size() > 6) return -1;
  for (char c : rest)
    if (!isdigit(static_cast<unsigned char>(c))) return -1;
  return strtol(rest.c_str(), nullptr, 10);
}
}  // namespace

bool SerialPortScan::canOpen(const char* path) {
  int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::string SerialPortScan::byIdDir(const char* devDir) {
  return (fs::path(devDir ? devDir : "/dev") / "serial" / "by-id").string();
}

std::vector<std::string> SerialPortScan::scan(const char* devDir, size_t max, size_t maxNameLen) {
  std::vector<std::string> found;
  std::error_code ec;
  std::vector<std::string> stable;
  for (fs::directory_iterator it(byIdDir(devDir), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code linkEc;
    if (it->is_symlink(linkEc)) stable.push_back(it->path().string());
  }
  std::sort(stable.begin(), stable.end());
  for (const std::string& name : stable) {
    if (found.size() >= max) return found;
    if (name.size() <= maxNameLen && canOpen(name.c_str())) found.push_back(name);
  }
  ec.clear();
  fs::path dir(devDir ? devDir : "/dev");
  std::vector<std::pair<int, std::pair<long, std::string>>> nodes;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    for (int f = 0; f < 3; f++) {
      long unit = unitNumber(name, FAMILIES[f]);
      if (unit >= 0) nodes.push_back({f, {unit, it->path().string()}});
    }
  }
  std::sort(nodes.begin(), nodes.end());
  for (auto& n : nodes) {
    if (found.size() >= max) break;
    const std::string& name = n.second.second;
    if (name.size() <= maxNameLen && canOpen(name.c_str())) found.push_back(name);
  }
  return found;
}
