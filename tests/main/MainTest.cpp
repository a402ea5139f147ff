// What only the whole process shows: the single-instance lock, the remote
// debug console reached by name, and how a run ends. (The console's commands
// during a run are end-to-end tests.)
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ChildProcess.h"
#include "TempDir.h"
#include "ExitCode.h"

namespace fs = std::filesystem;

namespace {

const std::string kBinary = KESTRUM_BINARY_DIR "/main/kestrum";
const char* kLockName = "Vask_KR-2.18_MutexId.lock";

// The remote debug console: a listening socket on 127.0.0.1.
struct Console {
  Console() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 && listen(fd, 1) == 0)
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = std::to_string(ntohs(a.sin_port));
  }
  ~Console() {
    if (conn >= 0) close(conn);
    close(fd);
  }
  bool accept() {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 20000) > 0 && (conn = ::accept(fd, nullptr, nullptr)) >= 0;
  }
  // Reads until the text has arrived or the program closed the stream.
  bool readUntil(const std::string& text) {
    for (int i = 0; i < 200 && received.find(text) == std::string::npos; ++i) {
      pollfd p{conn, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buf[4096];
      ssize_t n = read(conn, buf, sizeof buf);
      if (n <= 0) break;
      received.append(buf, n);
    }
    return received.find(text) != std::string::npos;
  }
  int fd = -1, conn = -1;
  std::string port, received;
};

// Every run has its own runtime directory (so its own lock) and working directory.
struct KestrumRun : ::testing::Test {
  std::unique_ptr<ChildProcess> start(std::vector<std::string> args, bool display = true,
                                      const std::string& prog = kBinary) {
    args.insert(args.begin(), prog);
    std::vector<std::pair<std::string, std::string>> env = {{"XDG_RUNTIME_DIR", runtime.path()},
                                                            {"KESTRUM_DIALOG_SCRIPT", "/dev/null"}};
    if (!display) env.push_back({"DISPLAY", ""});
    return std::make_unique<ChildProcess>(args, env, work.path());
  }
  bool lockTaken() {
    for (int i = 0; i < 1000; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(20)))
      if (fs::exists(runtime.path() + "/" + kLockName)) return true;
    return false;
  }
  static bool haveDisplay() { return getenv("DISPLAY") && *getenv("DISPLAY"); }
  TempDir runtime, work;
};

}  // namespace

// "help" with another argument is no request for help: the program starts.
TEST_F(KestrumRun, SecondInstanceIsRefusedWithItsOwnCodeAndTheLockIsFreedAtExit) {
  if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
  auto first = start({"help", "x"});
  ASSERT_TRUE(lockTaken());
  auto second = start({});
  EXPECT_EQ(second->waitExit(), EXIT_ANOTHER_INSTANCE);
  EXPECT_NE(second->err().find("another instance"), std::string::npos) << second->err();
  EXPECT_NE(second->err().find(kLockName), std::string::npos) << second->err();
  first->signal(SIGINT);
  EXPECT_EQ(first->waitExit(), 0);
  EXPECT_EQ(first->out().find("# Usage:"), std::string::npos);
  EXPECT_FALSE(fs::exists(runtime.path() + "/" + kLockName));
}

// The console's host may be a name; one that does not resolve leaves remote
// debugging off with a warning. A pack creation that makes nothing ends with
// the unusable-input code and one line saying why. A revision pack given as
// an argument makes the program work in its own directory.
TEST_F(KestrumRun, RemoteDebugHostNameAndAFailedPackCreation) {
  Console c;
  TempDir progDir;
  fs::create_symlink(kBinary, progDir.path() + "/kestrum");
  std::ofstream(work.path() + "/TL6[00ab].rpa") << "[.]\n";
  auto p = start({"TL6[00ab].rpa", "-remdbg", "localhost", c.port, "-cmdl_crtrpa", "-bindir", "none"}, false,
                 progDir.path() + "/kestrum");
  ASSERT_TRUE(c.accept()) << p->err();
  EXPECT_TRUE(c.readUntil("Exit code:2")) << c.received;
  EXPECT_EQ(p->waitExit(), EXIT_INPUT_UNUSABLE);
  EXPECT_EQ(p->err().rfind("kestrum: -cmdl_crtrpa: bin directory ", 0), 0u) << p->err();
  EXPECT_EQ(p->err().find("\n"), p->err().size() - 1) << p->err();
  EXPECT_NE(p->err().find(work.path() + "/none"), std::string::npos) << p->err();  // where it was given
  EXPECT_TRUE(fs::exists(progDir.path() + "/RevPacks/TL6[00ab].rpa"));
  EXPECT_TRUE(fs::exists(progDir.path() + "/dbgTraceCommands.txt"));
  auto q = start({"-remdbg", "no-such-host.invalid", "4000", "-cmdl_crtrpa", "-bindir", "none"}, false);
  EXPECT_EQ(q->waitExit(), EXIT_INPUT_UNUSABLE);
  EXPECT_NE(q->err().find("kestrum: -remdbg: host \"no-such-host.invalid\" not found; remote debugging off"),
            std::string::npos)
      << q->err();
}
