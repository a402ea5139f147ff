#include "SimProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "TestTime.h"

namespace {

long long nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::string SimProcess::binary() { return KESTRUM_BINARY_DIR "/tools/tolvan-sim/tolvan-sim"; }

SimProcess::SimProcess(const std::vector<std::string>& args) {
  // Made before the fork: only async-signal-safe calls between fork and exec.
  std::vector<std::string> all{binary()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all)
    argv.push_back(&a[0]);
  argv.push_back(nullptr);
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0)
    return;
  pid_t test = getpid();
  _pid = fork();
  if (_pid == 0) {
    dieWithTest(test);
    dup2(in[0], 0);
    dup2(out[1], 1);
    close(in[0]);
    close(in[1]);
    close(out[0]);
    close(out[1]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  _in = in[1];
  _out = out[0];
  fcntl(_out, F_SETFL, O_NONBLOCK);
  // Generous: on a loaded machine a sanitized program can take seconds to
  // start, and the line comes as soon as the port is there.
  std::string first = readLine(30000);
  if (first.rfind("PORT ", 0) == 0)
    _port = first.substr(5);
}

SimProcess::~SimProcess() {
  if (_pid > 0 && !_exited) {
    if (_in >= 0) {
      const char q[] = "quit\n";
      ssize_t r = write(_in, q, sizeof q - 1);
      (void)r;
    } else {
      terminate();
    }
    if (waitExit(3000) < 0) {
      kill(_pid, SIGKILL);
      waitpid(_pid, nullptr, 0);
    }
  }
  if (_in >= 0)
    close(_in);
  if (_out >= 0)
    close(_out);
}

std::string SimProcess::readLine(int timeoutMs) {
  long long end = nowMs() + scaledMs(timeoutMs);
  for (;;) {
    size_t nl = _buffer.find('\n');
    if (nl != std::string::npos) {
      std::string line = _buffer.substr(0, nl);
      _buffer.erase(0, nl + 1);
      return line;
    }
    long long left = end - nowMs();
    if (left <= 0 || _out < 0)
      return "";
    pollfd p{_out, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0)
      continue;
    char buf[512];
    ssize_t r = read(_out, buf, sizeof buf);
    if (r > 0)
      _buffer.append(buf, static_cast<size_t>(r));
    else if (r == 0)
      return "";
  }
}

std::string SimProcess::command(const std::string& line, int timeoutMs) {
  std::string l = line + "\n";
  if (_in < 0 || write(_in, l.data(), l.size()) != static_cast<ssize_t>(l.size()))
    return "";
  return readLine(timeoutMs);
}

void SimProcess::terminate() {
  if (_pid > 0 && !_exited)
    kill(_pid, SIGTERM);
}

void SimProcess::closeStdin() {
  if (_in >= 0)
    close(_in);
  _in = -1;
}

int SimProcess::waitExit(int timeoutMs) {
  long long end = nowMs() + scaledMs(timeoutMs);
  for (;;) {
    int status = 0;
    pid_t r = waitpid(_pid, &status, WNOHANG);
    if (r == _pid) {
      _exited = true;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (nowMs() >= end)
      return -1;
    usleep(10000);
  }
}
