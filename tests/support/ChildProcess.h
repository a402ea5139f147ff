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
// environment can be extended (or, with "-NAME", cut down), its standard
// input is empty or, with withInput, written by the test, and it is killed
// if the test forgets it.
class ChildProcess {
public:
  ChildProcess(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env = {},
               const std::string& cwd = "", bool withInput = false) {
    // Everything the child needs is made before the fork: between fork and
    // exec only async-signal-safe calls, as another thread of the test may
    // hold the allocator's lock at the moment of the fork.
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
      std::string kv = *e;
      std::string name = kv.substr(0, kv.find('='));
      bool replaced = false;
      for (const auto& m : env)
        replaced = replaced || m.first == name || m.first == "-" + name;
      if (!replaced) envStrings.push_back(kv);
    }
    // A name starting with "-" is taken out of the environment instead.
    for (const auto& m : env)
      if (m.first.empty() || m.first[0] != '-') envStrings.push_back(m.first + "=" + m.second);
    std::vector<char*> envp;
    for (std::string& kv : envStrings) envp.push_back(&kv[0]);
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2], err[2], in[2] = {-1, -1};
    if (pipe(out) != 0 || pipe(err) != 0 || (withInput && pipe(in) != 0)) return;
    pid_t test = getpid();
    _pid = fork();
    if (_pid == 0) {
      dieWithTest(test);
      dup2(out[1], 1);
      dup2(err[1], 2);
      close(out[0]);
      close(err[0]);
      int input = withInput ? in[0] : open("/dev/null", O_RDONLY);
      if (input >= 0) dup2(input, 0);
      if (withInput) close(in[1]);
      if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    if (withInput) close(in[0]);
    _in = in[1];
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
    if (_in >= 0) close(_in);
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
      if (reaped()) break;
      if (std::chrono::steady_clock::now() > end) return -1;
    }
    return _code;
  }
  // Waits until the standard output or error holds the text.
  bool waitFor(const std::string& text, int timeoutMs = 20000) {
    auto has = [&](const std::string& s) { return s.find(text) != std::string::npos; };
    return waitUntilTrue([&] { return has(_stdout) || has(_stderr); }, timeoutMs);
  }
  // Waits until the standard output holds the text at or after from; its
  // position, or npos.
  size_t waitOut(const std::string& text, size_t from, int timeoutMs) {
    waitUntilTrue([&] { return _stdout.find(text, from) != std::string::npos; }, timeoutMs);
    return _stdout.find(text, from);
  }
  // Writes to the standard input (made withInput); whether all went.
  bool input(const std::string& text) {
    return _in >= 0 && write(_in, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  }
  const std::string& out() const { return _stdout; }
  const std::string& err() const { return _stderr; }

private:
  template <class Done>
  bool waitUntilTrue(Done done, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(scaledMs(timeoutMs));
    while (std::chrono::steady_clock::now() < end) {
      if (done()) return true;
      drain(50);
      if (_exited || reaped()) return done();
    }
    return false;
  }
  // Whether the process has ended; its exit code is kept, whoever waits
  // for it first, and what it wrote last is read.
  bool reaped() {
    int status = 0;
    if (waitpid(_pid, &status, WNOHANG) != _pid) return false;
    _exited = true;
    _code = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    drain(0);
    return true;
  }
  void drain(int timeoutMs) {
    struct pollfd p[2] = {{_out, POLLIN, 0}, {_err, POLLIN, 0}};
    if (poll(p, 2, timeoutMs) <= 0) return;
    char buf[4096];
    ssize_t n;
    while ((n = read(_out, buf, sizeof buf)) > 0) _stdout.append(buf, n);
    while ((n = read(_err, buf, sizeof buf)) > 0) _stderr.append(buf, n);
  }

  pid_t _pid = -1;
  int _in = -1, _out = -1, _err = -1;
  bool _exited = false;
  int _code = -1;
  std::string _stdout, _stderr;
};

#endif
