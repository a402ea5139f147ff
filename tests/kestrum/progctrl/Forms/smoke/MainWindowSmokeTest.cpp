// Drives the real program through the X server, as a user would: the main
// window appears, a toolbar button opens its dialog, the dialog is dismissed
// and "Afsluiten" ends the program.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "TestTime.h"

namespace fs = std::filesystem;

#ifdef KESTRUM_EXE
namespace {

// An X server of this test's own: other GUI tests run in parallel on the
// shared test display, and a click or a window search there could hit their
// windows. Xvfb picks a free display number and tells it on a pipe.
class PrivateDisplay {
public:
  PrivateDisplay() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_t test = getpid();
    _pid = fork();
    if (_pid == 0) {
      dieWithTest(test);
      close(fds[0]);
      int devnull = open("/dev/null", O_WRONLY);
      if (devnull >= 0) {
        dup2(devnull, 1);
        dup2(devnull, 2);
      }
      std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) {
      _display = ":" + number;
      setenv("DISPLAY", _display.c_str(), 1);
    }
  }
  ~PrivateDisplay() {
    if (_pid > 0) {
      kill(_pid, SIGTERM);
      waitpid(_pid, nullptr, 0);
    }
  }
  bool ok() const { return !_display.empty(); }

private:
  pid_t _pid = -1;
  std::string _display;
};

// Runs a helper program to its end; its standard output, or "" on failure.
std::string run(const std::vector<std::string>& args, int* code = nullptr) {
  int out[2];
  if (pipe(out) != 0) return "";
  pid_t test = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    dieWithTest(test);
    dup2(out[1], 1);
    close(out[0]);
    int devnull = open("/dev/null", O_WRONLY);
    if (devnull >= 0) dup2(devnull, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buf[512];
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (code) *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return text;
}

bool haveTool(const char* name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    fs::path candidate = fs::path(dirs.substr(start, end - start)) / name;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// The id of the visible window with exactly this title; "" when none
// appeared within the time.
std::string waitWindow(const std::string& title, int timeoutMs = 30000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(scaledMs(timeoutMs));
  while (std::chrono::steady_clock::now() < end) {
    std::string ids = run({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"});
    if (!ids.empty()) return ids.substr(0, ids.find('\n'));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return "";
}

bool waitWindowGone(const std::string& title, int timeoutMs = 10000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(scaledMs(timeoutMs));
  while (std::chrono::steady_clock::now() < end) {
    if (run({"xdotool", "search", "--onlyvisible", "--name", "^" + title + "$"}).empty())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return false;
}

void click(const std::string& window, int x, int y) {
  run({"xdotool", "mousemove", "--window", window, std::to_string(x), std::to_string(y)});
  run({"xdotool", "click", "1"});
}

// The exit code of pid, -1 when it did not end within the time.
int waitExit(pid_t pid, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(scaledMs(timeoutMs));
  while (std::chrono::steady_clock::now() < end) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return -1;
}

}  // namespace
#endif

TEST(MainWindowSmoke, ToolbarOpensDialogAndAfsluitenEndsTheProgram) {
#ifndef KESTRUM_EXE
  GTEST_SKIP() << "the program is not built";
#else
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no DISPLAY";
  if (!haveTool("xdotool") || !haveTool("import") || !haveTool("Xvfb")) GTEST_SKIP() << "xdotool, import or Xvfb missing";
  PrivateDisplay x;
  ASSERT_TRUE(x.ok()) << "no private X server";

  // The program reads its files from its working directory.
  fs::path work = fs::current_path() / "smoke-run";
  std::error_code ec;
  fs::remove_all(work, ec);
  fs::create_directories(work);
  fs::copy(fs::path(KESTRUM_SOURCE_DIR) / "data", work, fs::copy_options::recursive);

  pid_t test = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    dieWithTest(test);
    if (chdir(work.c_str()) != 0) _exit(126);
    // Its own instance lock, so no other Kestrum on the machine stops it.
    setenv("XDG_RUNTIME_DIR", work.c_str(), 1);
    int log = open("kestrum.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log >= 0) {
      dup2(log, 1);
      dup2(log, 2);
    }
    execl(KESTRUM_EXE, KESTRUM_EXE, static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(pid, 0);
  struct Reaper {
    pid_t pid;
    ~Reaper() {
      if (waitpid(pid, nullptr, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
      }
    }
  } reaper{pid};

  std::string main = waitWindow("Tolvan Programmeer Omgeving");
  ASSERT_FALSE(main.empty()) << "the main window did not appear";

  // "Opties" sits at 580, 12 (65 x 50) in the window.
  click(main, 612, 37);
  std::string options = waitWindow("Opties");
  ASSERT_FALSE(options.empty()) << "the options dialog did not appear";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int code = 0;
  run({"import", "-window", "root", (fs::current_path() / "smoke-options.png").string()}, &code);
  EXPECT_EQ(0, code);
  EXPECT_TRUE(fs::exists(fs::current_path() / "smoke-options.png"));

  // Its "OK" sits at 230, 40 (60 x 24).
  click(options, 260, 52);
  EXPECT_TRUE(waitWindowGone("Opties")) << "the options dialog stayed";

  // "Afsluiten" sits at 960, 575 (90 x 25).
  click(main, 1005, 587);
  EXPECT_EQ(0, waitExit(pid, 30000));
#endif
}
