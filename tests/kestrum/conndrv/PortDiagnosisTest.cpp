#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <fstream>
#include <functional>

#include "PortDiagnosis.h"
#include "PtyPair.h"
#include "Serial.h"
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
    if (!openFile.empty()) EXPECT_EQ(symlink(openFile.c_str(), (p + "/fd/5").c_str()), 0);
  }
};

// What a child process says, run as nobody when the test runs as root.
std::string fromChild(const std::function<std::string()>& say) {
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
    std::string text = say();
    _exit(write(fds[1], text.data(), text.size()) < 0);
  }
  close(fds[1]);
  std::string text;
  char buf[1024];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return text;
}

}  // namespace

TEST(PortDiagnosis, HoldersAndRunningSuspectsAreNamedWithTheirCure) {
  PtyPair pty;
  const std::string busy = pty.slave + " is held by another process";
  const struct { std::vector<std::pair<int, std::string>> held, running; std::string path; int err; std::vector<std::string> says; std::string never; } cases[] = {
      {{{4321, "ModemManager"}}, {{4322, "bash"}}, pty.slave, EBUSY, {busy + ": ModemManager (pid 4321)", "AT commands", "sudo systemctl stop ModemManager", "ID_MM_DEVICE_IGNORE"}, "bash"},
      {{{11, "kestrum"}, {12, "brltty"}}, {}, pty.slave, EBUSY, {"kestrum (pid 11): a second Kestrum uses this port", "brltty (pid 12)", "sudo apt remove brltty"}, "fuser"},
      {{{13, "minicom"}}, {}, pty.slave, EBUSY, {"minicom (pid 13): end that program"}, "fuser"},
      {{}, {{77, "ModemManager"}}, pty.slave, EBUSY, {busy + ". ModemManager (pid 77) is running"}, "fuser"},
      {{}, {{77, "bash"}}, pty.slave, EBUSY, {busy + " (find it with: sudo fuser -v " + pty.slave + ")"}, "bash"},
      {{}, {{99, "brltty"}}, "/dev/ttyUSB7", ENOENT, {"/dev/ttyUSB7 does not exist", "brltty (pid 99) is running", "85-brltty.rules"}, "no device"},
      {{}, {{99, "brltty"}}, "/dev/ttyS7", ENXIO, {"/dev/ttyS7 has no device behind it: is the device connected"}, "brltty"},
      {{}, {}, "/tmp", ENOTTY, {"/tmp is not a serial port"}, ":"},
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

TEST(PortDiagnosis, RealProcessHoldingThePortIsNamedButNotThisOne) {
  PtyPair pty;
  int own = open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
  EXPECT_TRUE(PortDiagnosis::holders(pty.slave).empty());
  close(own);
  // The child opens the port and becomes "sleep" with the port still open.
  fflush(nullptr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (open(pty.slave.c_str(), O_RDWR | O_NOCTTY) < 0) _exit(1);
    execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
    _exit(2);
  }
  std::string text, want = pty.slave + " is held by another process: sleep (pid " + std::to_string(pid) + "): end that program";
  eventually([&] { return (text = PortDiagnosis::explain(pty.slave, EBUSY)).find(want) != std::string::npos; }, 10000);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  EXPECT_NE(text.find(want), std::string::npos) << text;
}

// Opened by a user without the right: the group and the command that gives
// it are in the explanation.
TEST(PortDiagnosis, PermissionDeniedTellsHowToJoinTheGroup) {
  TempDir dir(TempDir::ShortPath);
  std::string node = dir.path() + "/ttyLocked";
  std::ofstream(node) << "";
  ASSERT_EQ(chmod(node.c_str(), 0), 0);
  chmod(dir.path().c_str(), 0755);
  std::string text = fromChild([&] {
    Serial serial;
    return serial.openPort(node.c_str()) ? "opened" : PortDiagnosis::explain(node, serial.lastErrno());
  });
  EXPECT_NE(text.find(node + ": permission denied"), std::string::npos) << text;
  EXPECT_NE(text.find("sudo usermod -aG dialout $USER) and log in again"), std::string::npos) << text;
}
