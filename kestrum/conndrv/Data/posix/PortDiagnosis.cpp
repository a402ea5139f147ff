#include "PortDiagnosis.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

std::string PortDiagnosis::_procDir = "/proc";

namespace {

bool isNumber(const std::string& s) {
  if (s.empty() || s.size() > 10) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// A USB serial adapter: the kind brltty is known to claim.
bool isUsbPort(const std::string& path) {
  return path.find("ttyUSB") != std::string::npos || path.find("ttyACM") != std::string::npos ||
         path.find("/serial/by-id/") != std::string::npos;
}

const char* const BRLTTY_ADVICE =
    "brltty (the braille display daemon) claims some USB serial adapters (CH340/CH341, FTDI, "
    "CP210x) as braille displays and takes them away; if you use no braille display, remove it: "
    "sudo apt remove brltty (or disable its udev rule, /usr/lib/udev/rules.d/85-brltty.rules), "
    "then plug the adapter in again";

const char* const MODEMMANAGER_ADVICE =
    "ModemManager probes GSM devices with AT commands and holds their ports; stop it (sudo "
    "systemctl stop ModemManager) or make it ignore the adapter with a udev rule setting "
    "ENV{ID_MM_DEVICE_IGNORE}=\"1\", then plug the adapter in again";

}  // namespace

std::string PortDiagnosis::processName(pid_t pid) {
  std::ifstream f(_procDir + "/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(f, name);
  return name.empty() ? "?" : name;
}

std::vector<PortDiagnosis::Holder> PortDiagnosis::holders(const std::string& path) {
  std::vector<Holder> found;
  struct stat dev;
  if (stat(path.c_str(), &dev) != 0 || !S_ISCHR(dev.st_mode)) return found;
  pid_t self = getpid();
  std::error_code ec;
  for (fs::directory_iterator it(_procDir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string pidText = it->path().filename().string();
    if (!isNumber(pidText)) continue;
    pid_t pid = static_cast<pid_t>(strtol(pidText.c_str(), nullptr, 10));
    if (pid == self) continue;
    std::error_code fdEc;
    // Other users' descriptors stay hidden without privileges: skipped.
    for (fs::directory_iterator fd(it->path() / "fd", fdEc), fdEnd; !fdEc && fd != fdEnd; fd.increment(fdEc)) {
      struct stat st;
      if (stat(fd->path().c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == dev.st_rdev) {
        found.push_back({pid, processName(pid)});
        break;
      }
    }
  }
  return found;
}

std::vector<pid_t> PortDiagnosis::running(const std::string& name) {
  std::vector<pid_t> found;
  pid_t self = getpid();
  std::error_code ec;
  for (fs::directory_iterator it(_procDir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string pidText = it->path().filename().string();
    if (!isNumber(pidText)) continue;
    pid_t pid = static_cast<pid_t>(strtol(pidText.c_str(), nullptr, 10));
    if (pid != self && processName(pid) == name) found.push_back(pid);
  }
  return found;
}

std::string PortDiagnosis::advice(const Holder& h) {
  if (h.name == "ModemManager") return MODEMMANAGER_ADVICE;
  if (h.name == "brltty") return BRLTTY_ADVICE;
  if (h.name == "kestrum") return "a second Kestrum uses this port; close it or choose another port there";
  return "end that program or make it release the port";
}

std::string PortDiagnosis::explain(const std::string& path, int err) {
  std::string text;
  switch (err) {
    case EACCES:
    case EPERM: {
      std::string group = "dialout";
      struct stat st;
      if (stat(path.c_str(), &st) == 0) {
        // A device node may belong to another group (uucp, tty) elsewhere.
        if (struct group* g = getgrgid(st.st_gid))
          if (g->gr_name && g->gr_gid != 0) group = g->gr_name;
      }
      text = path + ": permission denied. The user may not use serial ports: add the user to the group " +
             group + " (sudo usermod -aG " + group + " $USER) and log in again";
      break;
    }
    case EBUSY: {
      std::vector<Holder> hs = holders(path);
      if (!hs.empty()) {
        text = path + " is held by another process:";
        for (const Holder& h : hs)
          text += " " + h.name + " (pid " + std::to_string(h.pid) + "): " + advice(h) + ".";
        text.pop_back();
        break;
      }
      text = path + " is held by another process";
      // Not visible to this user; name the usual suspects that run.
      std::string suspects;
      for (const char* name : {"ModemManager", "brltty", "kestrum"}) {
        std::vector<pid_t> pids = running(name);
        if (pids.empty()) continue;
        suspects += std::string(" ") + name + " (pid " + std::to_string(pids[0]) + ") is running: " +
                    advice(Holder{pids[0], name}) + ".";
      }
      if (suspects.empty())
        text += " (find it with: sudo fuser -v " + path + ")";
      else
        text += "." + suspects.substr(0, suspects.size() - 1);
      break;
    }
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO:
      text = path + (err == ENOENT ? " does not exist" : " has no device behind it") +
             ": is the device connected and the adapter plugged in? USB adapters appear as "
             "/dev/ttyUSB<n> or /dev/ttyACM<n>, and under a stable name in /dev/serial/by-id";
      if (isUsbPort(path)) {
        std::vector<pid_t> pids = running("brltty");
        if (!pids.empty())
          text += ". brltty (pid " + std::to_string(pids[0]) + ") is running: " + BRLTTY_ADVICE;
      }
      break;
    case ENOTTY:
    case EINVAL:
      text = path + " is not a serial port";
      break;
    case 0:
      text = path + " cannot be used";
      break;
    default:
      text = path + ": " + strerror(err);
      break;
  }
  return text;
}

std::string PortDiagnosis::sharedWarning(const std::string& path) {
  std::string text;
  for (const Holder& h : holders(path)) {
    // Only the programs known to talk to such ports: a test harness or a
    // terminal program left open on purpose is the user's business.
    if (h.name != "ModemManager" && h.name != "brltty" && h.name != "kestrum") continue;
    if (text.empty()) text = path + " is also open in another process, which may take the device's answers:";
    text += " " + h.name + " (pid " + std::to_string(h.pid) + "): " + advice(h) + ".";
  }
  if (!text.empty()) text.pop_back();
  return text;
}
