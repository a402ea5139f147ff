#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <fstream>

#include "ChildProcess.h"
#include "TempDir.h"
#include "PortDiagnosis.h"
#include "PtyPair.h"
#include "Serial.h"

namespace {

bool contains(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

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
    if (!openFile.empty()) {
      EXPECT_EQ(symlink(openFile.c_str(), (p + "/fd/5").c_str()), 0);
    }
  }
};

}  // namespace

TEST(PortDiagnosis, PortHeldByAChildProcessNamesIt) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  // The child opens the port and becomes "sleep" with the port still open.
  fflush(nullptr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int fd = open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) _exit(1);
    execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
    _exit(2);
  }
  std::string text;
  eventually(
      [&] {
        text = PortDiagnosis::explain(pty.slave, EBUSY);
        return contains(text, "sleep (pid " + std::to_string(pid) + ")");
      },
      10000);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  EXPECT_TRUE(contains(text, pty.slave + " is held by another process: sleep (pid " + std::to_string(pid) + ")"))
      << text;
  EXPECT_TRUE(contains(text, "end that program")) << text;
}

TEST(PortDiagnosis, OurOwnDescriptorIsNoOtherProcess) {
  PtyPair pty;
  int fd = open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
  EXPECT_TRUE(PortDiagnosis::holders(pty.slave).empty());
  if (fd >= 0) close(fd);
}

TEST(PortDiagnosis, ModemManagerHoldingThePortIsNamedWithTheCure) {
  PtyPair pty;
  FakeProc proc;
  proc.process(4321, "ModemManager", pty.slave);
  proc.process(4322, "bash");
  std::string text = PortDiagnosis::explain(pty.slave, EBUSY);
  EXPECT_TRUE(contains(text, "ModemManager (pid 4321)")) << text;
  EXPECT_TRUE(contains(text, "AT commands")) << text;
  EXPECT_TRUE(contains(text, "sudo systemctl stop ModemManager")) << text;
  EXPECT_TRUE(contains(text, "ID_MM_DEVICE_IGNORE")) << text;
  EXPECT_FALSE(contains(text, "bash")) << text;
}

TEST(PortDiagnosis, SecondKestrumAndBrlttyAreNamed) {
  PtyPair pty;
  FakeProc proc;
  proc.process(11, "kestrum", pty.slave);
  proc.process(12, "brltty", pty.slave);
  std::string text = PortDiagnosis::explain(pty.slave, EBUSY);
  EXPECT_TRUE(contains(text, "kestrum (pid 11): a second Kestrum uses this port")) << text;
  EXPECT_TRUE(contains(text, "brltty (pid 12)")) << text;
  EXPECT_TRUE(contains(text, "sudo apt remove brltty")) << text;
}

TEST(PortDiagnosis, HolderHiddenFromUsGivesTheRunningSuspects) {
  PtyPair pty;
  FakeProc proc;
  proc.process(77, "ModemManager");  // its descriptors are not ours to see
  std::string text = PortDiagnosis::explain(pty.slave, EBUSY);
  EXPECT_TRUE(contains(text, "held by another process. ModemManager (pid 77) is running")) << text;
  FakeProc none;
  text = PortDiagnosis::explain(pty.slave, EBUSY);
  EXPECT_TRUE(contains(text, "sudo fuser -v " + pty.slave)) << text;
}

TEST(PortDiagnosis, MissingUsbAdapterWithBrlttyRunningBlamesBrltty) {
  FakeProc proc;
  proc.process(99, "brltty");
  std::string text = PortDiagnosis::explain("/dev/ttyUSB7", ENOENT);
  EXPECT_TRUE(contains(text, "/dev/ttyUSB7 does not exist")) << text;
  EXPECT_TRUE(contains(text, "brltty (pid 99) is running")) << text;
  EXPECT_TRUE(contains(text, "85-brltty.rules")) << text;
  // A built-in port is no adapter brltty could take.
  EXPECT_FALSE(contains(PortDiagnosis::explain("/dev/ttyS7", ENOENT), "brltty"));
}

// Opened by a user without the right: the group and the command that gives
// it are in the explanation.
TEST(PortDiagnosis, PermissionDeniedTellsHowToJoinTheGroup) {
  // Short enough for a port name.
  char dirName[] = "/tmp/kestrum-perm-XXXXXX";
  ASSERT_NE(mkdtemp(dirName), nullptr);
  std::string node = std::string(dirName) + "/ttyLocked";
  std::ofstream(node) << "";
  ASSERT_EQ(chmod(node.c_str(), 0), 0);
  chmod(dirName, 0755);
  fflush(nullptr);
  int pipeFd[2];
  ASSERT_EQ(pipe(pipeFd), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(pipeFd[0]);
    // Root may open anything: the check runs as nobody then.
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
    Serial serial;
    std::string text = serial.openPort(node.c_str()) ? "opened" : PortDiagnosis::explain(node, serial.lastErrno());
    if (write(pipeFd[1], text.data(), text.size()) < 0) _exit(98);
    _exit(0);
  }
  close(pipeFd[1]);
  std::string text;
  char buf[1024];
  ssize_t n;
  while ((n = read(pipeFd[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  close(pipeFd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  unlink(node.c_str());
  rmdir(dirName);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(contains(text, node + ": permission denied")) << text;
  EXPECT_TRUE(contains(text, "sudo usermod -aG dialout $USER")) << text;
  EXPECT_TRUE(contains(text, "log in again")) << text;
}

TEST(PortDiagnosis, SharedPortIsWarnedOfOnlyForProgramsThatTakeAnswers) {
  PtyPair pty;
  FakeProc proc;
  proc.process(5, "tolvan-sim", pty.slave);
  EXPECT_EQ(PortDiagnosis::sharedWarning(pty.slave), "");
  proc.process(6, "ModemManager", pty.slave);
  std::string text = PortDiagnosis::sharedWarning(pty.slave);
  EXPECT_TRUE(contains(text, "also open in another process")) << text;
  EXPECT_TRUE(contains(text, "ModemManager (pid 6)")) << text;
  EXPECT_FALSE(contains(text, "tolvan-sim")) << text;
}
