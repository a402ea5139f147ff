#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "PortDiagnosis.h"
#include "PtyPair.h"
#include "TempDir.h"

namespace {

// A process table of our own: a directory per "process" with its name and
// its open descriptors, as /proc shows them.
struct FakeProc {
  TempDir dir;
  FakeProc() { PortDiagnosis::procDir(dir.path()); }
  ~FakeProc() { PortDiagnosis::procDir("/proc"); }
  void process(int pid, const std::string& name, const std::string& openFile = "") {
    std::string p = dir.path() + "/" + std::to_string(pid);
    mkdir(p.c_str(), 0755);
    std::ofstream(p + "/comm") << name << "\n";
    mkdir((p + "/fd").c_str(), 0755);
    if (!openFile.empty() && symlink(openFile.c_str(), (p + "/fd/5").c_str()) != 0) ADD_FAILURE() << p;
  }
};

}  // namespace

TEST(PortDiagnosis, HoldersSuspectsAndMissingRightsAreExplainedWithTheirCure) {
  PtyPair pty;
  TempDir dir;
  const std::string busy = pty.slave + " is held by another process", locked = dir.path() + "/ttyLocked";
  std::ofstream(locked) << "";
  // A device node may belong to another group than dialout.
  const std::string group = chown(locked.c_str(), static_cast<uid_t>(-1), 5) == 0 ? "tty" : "dialout";
  const int self = getpid();
  const struct { std::vector<std::pair<int, std::string>> held, running; std::string path; int err; std::vector<std::string> says; std::string never; } cases[] = {
      {{{4321, "ModemManager"}, {self, "kestrum"}}, {{4322, "bash"}}, pty.slave, EBUSY, {busy + ": ModemManager (pid 4321)", "AT commands", "sudo systemctl stop ModemManager", "ID_MM_DEVICE_IGNORE"}, "kestrum"},
      {{{11, "kestrum"}, {12, "brltty"}}, {}, pty.slave, EBUSY, {"kestrum (pid 11): a second Kestrum uses this port", "brltty (pid 12)", "sudo apt remove brltty"}, "fuser"},
      {{{13, "minicom"}}, {}, pty.slave, EBUSY, {"minicom (pid 13): end that program"}, "fuser"},
      {{}, {{77, "ModemManager"}}, pty.slave, EBUSY, {busy + ". ModemManager (pid 77) is running"}, "fuser"},
      {{}, {{77, "bash"}}, pty.slave, EBUSY, {busy + " (find it with: sudo fuser -v " + pty.slave + ")"}, "bash"},
      {{}, {{99, "brltty"}}, "/dev/ttyUSB7", ENOENT, {"/dev/ttyUSB7 does not exist", "brltty (pid 99) is running", "85-brltty.rules"}, "no device"},
      {{}, {{99, "brltty"}}, "/dev/ttyS7", ENXIO, {"/dev/ttyS7 has no device behind it: is the device connected"}, "brltty"},
      {{}, {}, "/tmp", ENOTTY, {"/tmp is not a serial port"}, ":"},
      {{}, {}, locked, EACCES, {locked + ": permission denied", "group " + group + " (sudo usermod -aG " + group + " $USER) and log in again"}, "root"},
      {{}, {}, "/tmp", EACCES, {"/tmp: permission denied", "group dialout (sudo usermod -aG dialout $USER)"}, "root"},
  };
  for (const auto& c : cases) {
    FakeProc proc;
    for (const auto& h : c.held) proc.process(h.first, h.second, pty.slave);
    for (const auto& r : c.running) proc.process(r.first, r.second);
    std::string text = PortDiagnosis::explain(c.path, c.err);
    for (const std::string& s : c.says) EXPECT_NE(text.find(s), std::string::npos) << s << "\n" << text;
    EXPECT_EQ(text.find(c.never), std::string::npos) << text;
  }
}

TEST(PortDiagnosis, SharedPortIsWarnedOfOnlyForProgramsThatTakeAnswers) {
  PtyPair pty;
  FakeProc proc;
  proc.process(5, "tolvan-sim", pty.slave);
  EXPECT_EQ(PortDiagnosis::sharedWarning(pty.slave), "");
  proc.process(6, "ModemManager", pty.slave);
  EXPECT_EQ(PortDiagnosis::sharedWarning(pty.slave).rfind(pty.slave + " is also open in another process, which may take the device's answers: ModemManager (pid 6): ModemManager probes", 0), 0u);
}
