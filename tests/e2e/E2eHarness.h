#ifndef E2EHARNESS_H
#define E2EHARNESS_H

// Runs the real kestrum binary in a fresh working directory prepared from
// data/, against tolvan-sim on a pseudo-terminal, and watches it through the
// remote debug console (a listening socket here), the simulator's files and
// the dialog record.

#include <gtest/gtest.h>

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
#include "DebugConsole.h"
#include "TempDir.h"
#include "SimProcess.h"
#include "TestFiles.h"

// Settings file text: make(n) gives "text|number" of entry n.
inline std::string e2eKvn(const std::function<std::string(int)>& make) {
  std::string s;
  for (int n = 1; n <= 200; ++n) s += make(n) + "\n";
  return s;
}

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
    for (const auto& f : files) writeFile(path(f.first), f.second);
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
    std::string ini = readFile(path("config.ini"));
    std::string out;
    for (const std::string& l : textLines(ini)) out += (l.rfind("comport=", 0) == 0 ? "comport=" + comport : l) + "\n";
    writeFile(path("config.ini"), out);
    writeFile(path("dialogs.txt"), "");
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
    // Without this the program would only say that the port is missing.
    if (_sim && _sim->port().empty()) ADD_FAILURE() << "the simulator did not start";
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
    for (const std::string& l : textLines(readFile(path("sim.log")))) {
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
      std::vector<std::string> ids = textLines(search.out());
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
  std::vector<std::string> dialogs() { return textLines(readFile(path("dialogs.log"))); }

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
