#ifndef CHILDPROCESS_H
#define CHILDPROCESS_H

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "TestTime.h"

// Called in a child between fork and exec: the child is killed when the
// test process ends, however it ends (a crash, a failed assertion that
// skips the destructors, ctest's time-out), so that no simulator or X
// server outlives it holding ctest's output pipe open.
inline void dieWithTest(pid_t test) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != test) _exit(125);  // the test ended before prctl
}

// A program run by a test: its standard output and error are collected, its
// environment can be extended (or, with "-NAME", cut down), and it is killed
// if the test forgets it.
class ChildProcess {
public:
  ChildProcess(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env = {},
               const std::string& cwd = "") {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return;
    pid_t test = getpid();
    _pid = fork();
    if (_pid == 0) {
      dieWithTest(test);
      dup2(out[1], 1);
      dup2(err[1], 2);
      close(out[0]);
      close(err[0]);
      int devnull = open("/dev/null", O_RDONLY);
      if (devnull >= 0) dup2(devnull, 0);
      // A name starting with "-" is taken out of the environment instead.
      for (const auto& kv : env) {
        if (!kv.first.empty() && kv.first[0] == '-')
          unsetenv(kv.first.c_str() + 1);
        else
          setenv(kv.first.c_str(), kv.second.c_str(), 1);
      }
      if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
      std::vector<char*> argv;
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    _out = out[0];
    _err = err[0];
    fcntl(_out, F_SETFL, O_NONBLOCK);
    fcntl(_err, F_SETFL, O_NONBLOCK);
  }
  ~ChildProcess() {
    if (_pid > 0 && !_exited) {
      kill(_pid, SIGKILL);
      waitpid(_pid, nullptr, 0);
    }
    if (_out >= 0) close(_out);
    if (_err >= 0) close(_err);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return _pid; }
  void signal(int sig) {
    if (_pid > 0 && !_exited) kill(_pid, sig);
  }
  // Collects output until the process exits; its exit code, or -1 when it
  // did not end within the time (-2 when killed by a signal).
  int waitExit(int timeoutMs = 20000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(scaledMs(timeoutMs));
    while (!_exited) {
      drain(50);
      int status = 0;
      pid_t r = waitpid(_pid, &status, WNOHANG);
      if (r == _pid) {
        _exited = true;
        drain(0);
        _code = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        break;
      }
      if (std::chrono::steady_clock::now() > end) return -1;
    }
    return _code;
  }
  // Waits until the standard output or error holds the text.
  bool waitFor(const std::string& text, int timeoutMs = 20000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(scaledMs(timeoutMs));
    while (std::chrono::steady_clock::now() < end) {
      if (_stdout.find(text) != std::string::npos || _stderr.find(text) != std::string::npos) return true;
      drain(50);
      if (_exited || waitpid(_pid, nullptr, WNOHANG) == _pid) {
        _exited = true;
        drain(0);
        return _stdout.find(text) != std::string::npos || _stderr.find(text) != std::string::npos;
      }
    }
    return false;
  }
  const std::string& out() const { return _stdout; }
  const std::string& err() const { return _stderr; }

private:
  void drain(int timeoutMs) {
    struct pollfd p[2] = {{_out, POLLIN, 0}, {_err, POLLIN, 0}};
    if (poll(p, 2, timeoutMs) <= 0) return;
    char buf[4096];
    ssize_t n;
    while ((n = read(_out, buf, sizeof buf)) > 0) _stdout.append(buf, n);
    while ((n = read(_err, buf, sizeof buf)) > 0) _stderr.append(buf, n);
  }

  pid_t _pid = -1;
  int _out = -1, _err = -1;
  bool _exited = false;
  int _code = -1;
  std::string _stdout, _stderr;
};

// A fresh directory under the test's working directory, removed afterwards.
// Port names are limited in length, so a directory that will hold a port's
// link is made in the system's temporary directory instead: the build tree
// may lie anywhere, however deep.
class TempDir {
public:
  enum Where { UnderWorkDir, ShortPath };
  explicit TempDir(Where where = UnderWorkDir) {
    if (where == ShortPath) {
      char tmpl[] = "/tmp/kestrum-test-XXXXXX";
      if (char* d = mkdtemp(tmpl)) _path = d;
      return;
    }
    char tmpl[] = "kestrum-test-XXXXXX";
    char* d = mkdtemp(tmpl);
    _path = d ? std::string(getcwd(_cwd, sizeof _cwd)) + "/" + d : std::string();
  }
  ~TempDir() {
    if (!_path.empty()) {
      std::string cmd = _path;
      removeTree(cmd);
    }
  }
  const std::string& path() const { return _path; }

private:
  static void removeTree(const std::string& p);
  char _cwd[4096];
  std::string _path;
};

#include <filesystem>
inline void TempDir::removeTree(const std::string& p) {
  std::error_code ec;
  std::filesystem::remove_all(p, ec);
}

#endif
