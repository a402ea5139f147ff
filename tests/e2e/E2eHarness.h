#ifndef E2EHARNESS_H
#define E2EHARNESS_H

// Runs the real kestrum binary in a fresh working directory prepared from
// data/, against tolvan-sim on a pseudo-terminal, and watches it through the
// remote debug console (a listening socket here), the simulator's files and
// the dialog record.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "tools/tolvan-sim/SimProcess.h"

inline void e2eWrite(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string e2eRead(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

inline std::vector<std::string> e2eLines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream ss(text);
  std::string l;
  while (std::getline(ss, l)) out.push_back(l);
  return out;
}

// Settings file text: make(n) gives "text|number" of entry n.
inline std::string e2eKvn(const std::function<std::string(int)>& make) {
  std::string s;
  for (int n = 1; n <= 200; ++n) s += make(n) + "\n";
  return s;
}

// The remote debug console: accepts the program's connection and collects
// what it sends.
class DebugConsole {
public:
  DebugConsole() {
    _listen = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    if (bind(_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(_listen, 1) != 0 ||
        getsockname(_listen, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      return;
    _port = ntohs(a.sin_port);
    _thread = std::thread([this] { run(); });
  }
  ~DebugConsole() {
    _stop = true;
    if (_thread.joinable()) _thread.join();
    if (_conn >= 0) close(_conn);
    if (_listen >= 0) close(_listen);
  }
  int port() const { return _port; }
  std::string text() {
    std::lock_guard<std::mutex> l(_mutex);
    return _text;
  }
  // Waits until the text (after position from) holds what; its position or
  // npos.
  size_t waitFor(const std::string& what, int ms, size_t from = 0) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      {
        std::lock_guard<std::mutex> l(_mutex);
        size_t p = from < _text.size() ? _text.find(what, from) : std::string::npos;
        if (p != std::string::npos) return p;
      }
      if (std::chrono::steady_clock::now() > end) return std::string::npos;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  size_t count(const std::string& what) {
    std::string t = text();
    size_t n = 0;
    for (size_t p = t.find(what); p != std::string::npos; p = t.find(what, p + 1)) ++n;
    return n;
  }
  // Sends a trace command once the program is connected.
  bool command(const std::string& line) {
    for (int i = 0; i < 500 && _conn < 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (_conn < 0) return false;
    std::string s = line + "\r\n";
    return ::send(_conn, s.data(), s.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(s.size());
  }

private:
  void run() {
    while (!_stop) {
      int conn = _conn;
      int fd = conn >= 0 ? conn : _listen;
      struct pollfd p = {fd, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      if (_conn < 0) {
        _conn = accept(_listen, nullptr, nullptr);
        continue;
      }
      char buf[4096];
      ssize_t n = recv(_conn, buf, sizeof buf, 0);
      if (n <= 0) {
        // The program has gone; keep what it said.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (n == 0) break;
        continue;
      }
      std::lock_guard<std::mutex> l(_mutex);
      _text.append(buf, n);
    }
  }
  int _listen = -1;
  std::atomic<int> _conn{-1};
  int _port = 0;
  std::atomic<bool> _stop{false};
  std::thread _thread;
  std::mutex _mutex;
  std::string _text;
};

class E2eRun {
public:
  static bool haveDisplay() {
    const char* d = getenv("DISPLAY");
    return d && d[0];
  }
  static std::string kestrum() { return KESTRUM_BINARY_DIR "/main/kestrum"; }

  // simArgs: "@name" stands for that file in the working directory; files
  // are written there before anything starts. port: a real port instead of
  // the simulator.
  explicit E2eRun(std::vector<std::string> simArgs = {},
                  const std::vector<std::pair<std::string, std::string>>& files = {},
                  const std::string& port = "") {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::copy(fs::path(KESTRUM_SOURCE_DIR) / "data", _dir.path(), fs::copy_options::recursive, ec);
    fs::create_directory(path("xdg"), ec);
    chmod(path("xdg").c_str(), 0700);
    for (const auto& f : files) e2eWrite(path(f.first), f.second);
    for (std::string& a : simArgs)
      if (!a.empty() && a[0] == '@') a = path(a.substr(1));
    std::string comport = port;
    if (comport.empty()) {
      simArgs.push_back("--link");
      simArgs.push_back(portPath("tty"));
      simArgs.push_back("--log");
      simArgs.push_back(path("sim.log"));
      _sim.reset(new SimProcess(simArgs));
      comport = portPath("tty");
    }
    std::string ini = e2eRead(path("config.ini"));
    std::string out;
    for (const std::string& l : e2eLines(ini)) out += (l.rfind("comport=", 0) == 0 ? "comport=" + comport : l) + "\n";
    e2eWrite(path("config.ini"), out);
    e2eWrite(path("dialogs.txt"), "");
  }

  ~E2eRun() {
    _proc.reset();
    // Asked to stop, the X server removes its lock and socket.
    if (_xvfb) {
      _xvfb->signal(SIGTERM);
      _xvfb->waitExit(3000);
    }
  }

  // Cleared: no script answers the dialogs (a command-line run then has
  // nobody to answer them).
  bool scriptDialogs = true;

  // Starts kestrum with the extra arguments; dialogs are answered from
  // "dialogs.txt" and recorded in "dialogs.log".
  void start(const std::vector<std::string>& args = {}) {
    std::vector<std::string> all{kestrum(), "-remdbg", "127.0.0.1", std::to_string(console.port())};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<std::pair<std::string, std::string>> env{{"XDG_RUNTIME_DIR", path("xdg")}};
    if (scriptDialogs) {
      env.push_back({"KESTRUM_DIALOG_SCRIPT", path("dialogs.txt")});
      env.push_back({"KESTRUM_DIALOG_RECORD", path("dialogs.log")});
    }
    if (!_display.empty()) env.push_back({"DISPLAY", _display});
    if (_noDisplay) env.push_back({"-DISPLAY", ""});
    _proc.reset(new ChildProcess(all, env, _dir.path()));
  }

  // Gives the program an X server of its own, so that clicks cannot reach
  // other tests' windows (nor theirs this one). False when none started.
  // Tests starting at the same moment may pick the same number: the server
  // whose pid the lock file names has it, the other one gives up and the
  // next number is tried.
  bool privateDisplay() {
    for (int k = 0; k < 60; ++k) {
      int n = 200 + (getpid() + k) % 60;
      std::string sock = "/tmp/.X11-unix/X" + std::to_string(n);
      std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
      if (access(sock.c_str(), F_OK) == 0 || access(lock.c_str(), F_OK) == 0) continue;
      _xvfb.reset(new ChildProcess({"/usr/bin/Xvfb", ":" + std::to_string(n), "-screen", "0", "1280x1024x24",
                                    "-nolisten", "tcp"}));
      for (int i = 0; i < 200; ++i) {
        if (_xvfb->waitExit(0) != -1) break;  // lost the number
        std::ifstream f(lock);
        long holder = 0;
        if (f >> holder && holder == _xvfb->pid() && access(sock.c_str(), F_OK) == 0) {
          _display = ":" + std::to_string(n);
          return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      _xvfb.reset();
    }
    return false;
  }

  // The program starts without any X display (DISPLAY not set).
  void noDisplay() { _noDisplay = true; }

  std::string path(const std::string& name) const { return _dir.path() + "/" + name; }
  // Where a port's name goes: short whatever the build tree's depth.
  std::string portPath(const std::string& name) const { return _portDir.path() + "/" + name; }
  SimProcess& sim() { return *_sim; }
  ChildProcess& proc() { return *_proc; }
  int simCount(const std::string& dir, const std::string& what) {
    int n = 0;
    for (const std::string& l : e2eLines(e2eRead(path("sim.log")))) {
      size_t d = l.find(" " + dir + " ");
      if (d != std::string::npos && l.find(" " + what, d + 3) != std::string::npos) ++n;
    }
    return n;
  }
  // Clicks at (x, y) inside the main window (xdotool); false when the
  // window did not appear.
  bool click(int x, int y) {
    if (_window.empty() && _proc) {
      ChildProcess search({"/usr/bin/xdotool", "search", "--sync", "--onlyvisible", "--pid",
                           std::to_string(_proc->pid()), "--name", "Tolvan Programmeer Omgeving"},
                          displayEnv());
      if (search.waitExit(15000) != 0) return false;
      std::vector<std::string> ids = e2eLines(search.out());
      if (ids.empty()) return false;
      _window = ids[0];
    }
    if (_window.empty()) return false;
    return xdotool({"mousemove", "--window", _window, std::to_string(x), std::to_string(y), "click", "1"});
  }
  bool xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "/usr/bin/xdotool");
    ChildProcess c(args, displayEnv());
    return c.waitExit(10000) == 0;
  }
  std::vector<std::pair<std::string, std::string>> displayEnv() const {
    if (_display.empty()) return {};
    return {{"DISPLAY", _display}};
  }
  static bool haveXdotool() { return access("/usr/bin/xdotool", X_OK) == 0; }
  bool waitSim(const std::string& dir, const std::string& what, int count, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (simCount(dir, what) < count) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }
  std::vector<std::string> dialogs() { return e2eLines(e2eRead(path("dialogs.log"))); }

  DebugConsole console;

private:
  TempDir _dir;
  TempDir _portDir{TempDir::ShortPath};
  std::unique_ptr<SimProcess> _sim;
  // Declared first among the processes, so that it goes last.
  std::unique_ptr<ChildProcess> _xvfb;
  std::string _display;
  bool _noDisplay = false;
  std::unique_ptr<ChildProcess> _proc;
  std::string _window;
};

#define E2E_SKIP_WITHOUT_DISPLAY() \
  if (!E2eRun::haveDisplay()) GTEST_SKIP() << "no DISPLAY"

#endif
