#ifndef CTRLHARNESS_H
#define CTRLHARNESS_H

// The whole controller in the test process: a main state holding the real
// controller root, which makes the real window, settings store, parser and
// driver; the device is tolvan-sim on a pseudo-terminal. The test runs in
// a fresh working directory prepared from data/.

#include <unistd.h>

#include <FL/Fl.H>
#include <FL/Fl_Output.H>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BMainState.h"
#include "BScheduler.h"
#include "ChildProcess.h"
#include "TempDir.h"
#include "FrmKestrum.h"
#include "FrmKestrumImpl.h"
#include "Main.h"
#include "SettingBin.h"
#include "TlcdrvRoot.h"
#include "TlctrlBndToProt.h"
#include "TlctrlRoot.h"
#include "UserDialog.h"
#include "SimProcess.h"

// Answers dialogs from a list and remembers what they said.
class RecordingDialogs : public UserDialog::Script {
public:
  void alert(const char* text) override { alerts.push_back(text ? text : ""); }
  int choice(const char* text, const char*, const char* b1, const char*) override {
    choices.push_back(text ? text : "");
    int a = answers.empty() ? 0 : answers.front();
    if (!answers.empty()) answers.erase(answers.begin());
    return (a == 1 && !b1) ? 0 : a;
  }
  void beep() override {}
  std::vector<std::string> alerts, choices;
  std::vector<int> answers;
};

class CtrlTestMain : public BMainState {
public:
  void onEntry(const BEvent*) override {
    root = new TlctrlRoot();
    addRegion(root);
  }
  TlctrlRoot* root = nullptr;
};

// Lines "text|number" for entries 1..200; make(n) gives the pair of entry n.
inline std::string kvnText(const std::function<std::pair<std::string, std::string>(int)>& make) {
  std::string s;
  for (int n = 1; n <= 200; ++n) {
    auto p = make(n);
    s += p.first + "|" + p.second + "\n";
  }
  return s;
}

inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream ss(text);
  std::string l;
  while (std::getline(ss, l)) out.push_back(l);
  return out;
}

// Prepares the working directory; the test skips when there is no display.
class CtrlSystem {
public:
  // simArgs go to tolvan-sim (besides --log); "@name" stands for the file
  // name in the working directory. files are written there first. port
  // overrides the simulator's port in config.ini when not empty.
  explicit CtrlSystem(std::vector<std::string> simArgs = {}, const std::string& port = "",
                      const std::vector<std::pair<std::string, std::string>>& files = {})
      : _dir() {
    for (const auto& f : files) writeFile(path(f.first), f.second);
    for (std::string& a : simArgs)
      if (!a.empty() && a[0] == '@') a = path(a.substr(1));
    _oldCwd = std::filesystem::current_path();
    namespace fs = std::filesystem;
    for (const char* f : {"config.csv", "language.ini", "language.csv", "Startup.html", "tolvan.gif"}) {
      std::error_code ec;
      fs::copy_file(fs::path(KESTRUM_SOURCE_DIR) / "data" / f, fs::path(_dir.path()) / f, ec);
    }
    simArgs.push_back("--log");
    simArgs.push_back(path("sim.log"));
    if (port.empty()) {
      _sim.reset(new SimProcess(simArgs));
      _port = _sim->port();
    } else {
      _port = port;
    }
    writeFile(path("config.ini"), "settingfile=\ncomport=" + _port +
                                      "\ntolvantype=TL8888GM-ED;Tolvan 8888 GSM\nlastrevpack=\nlastbin=\n");
    fs::current_path(_dir.path());
    UserDialog::script(&dialogs);
  }

  ~CtrlSystem() {
    if (_main) {
      _main->shutdown();
      for (int i = 0; i < 100000 && !BScheduler::terminated(); ++i) BScheduler::step();
      delete _main;
      BScheduler::reset();
    }
    UserDialog::script(nullptr);
    std::error_code ec;
    std::filesystem::current_path(_oldCwd, ec);
  }

  static bool haveDisplay() {
    const char* d = getenv("DISPLAY");
    return d && d[0];
  }

  // The shared X server may refuse a connection for a moment while many
  // tests connect at once; the toolkit would end the process instead of
  // trying again.
  static void awaitDisplay() {
    if (!haveDisplay()) return;
    for (int i = 0; i < 50; ++i) {
      if (Display* d = XOpenDisplay(nullptr)) {
        XCloseDisplay(d);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }

  void start() {
    awaitDisplay();
    BMainState::mutexId(("Kestrum_ctrl_test_" + std::to_string(getpid())).c_str());
    _main = new CtrlTestMain();
    _main->startup();
  }

  std::string path(const std::string& name) const { return _dir.path() + "/" + name; }
  SimProcess& sim() { return *_sim; }
  const std::string& port() const { return _port; }
  TlctrlRoot* root() { return _main ? _main->root : nullptr; }
  SettingBin* store() { return root() ? root()->tolSettingBin() : nullptr; }

  // One round of the program's main loop.
  void round() {
    TlcdrvRoot::readCom();
    for (int i = 0; i < 10000; ++i) {
      BScheduler::step();
      int st = BScheduler::systemStatus();
      if (st == BScheduler::SYSTEM_SLEEPING || st == BScheduler::SYSTEM_TERMINATED) break;
    }
    Fl::wait(0.005);
  }

  template <class F>
  bool pump(F cond, int ms) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      round();
      if (cond()) return true;
      if (std::chrono::steady_clock::now() > until) return false;
    }
  }
  void run(int ms) {
    pump([] { return false; }, ms);
  }

  // Status line of the window.
  std::string status() {
    Fl_Output* o = root() && root()->frame() ? root()->frame()->statusInfo() : nullptr;
    return o && o->value() ? o->value() : "";
  }
  bool statusRed() {
    Fl_Output* o = root() && root()->frame() ? root()->frame()->statusInfo() : nullptr;
    return o && o->color() == FL_RED;
  }
  bool waitStatus(const std::string& text, int ms) {
    return pump([&] { return status() == text; }, ms);
  }

  // The active state under the binder, and under the connected state.
  int topState() {
    TlctrlBndToProt* b = root() ? root()->bndToProt() : nullptr;
    BState* s = b ? b->region(0) : nullptr;
    return s ? s->stateId() : -1;
  }
  int subState() {
    TlctrlBndToProt* b = root() ? root()->bndToProt() : nullptr;
    BCompositeState* c = b ? dynamic_cast<BCompositeState*>(b->region(0)) : nullptr;
    BState* s = c ? c->region(0) : nullptr;
    return s ? s->stateId() : -1;
  }
  bool waitConnectedIdle(int ms = 5000) {
    return pump([&] { return topState() == TlctrlRoot::TLCTRLCONNECTED &&
                             subState() == TlctrlRoot::TLCTRLCONNIDLE; }, ms);
  }
  void post(BLocalEvent* e) { root()->bndToProt()->sendLocal(e); }

  std::string simLog() { return readFile(path("sim.log")); }
  // Log lines of units the simulator received ("RX") or sent ("TX") whose
  // description begins with what.
  int simCount(const std::string& dir, const std::string& what) {
    int n = 0;
    for (const std::string& l : lines(simLog())) {
      size_t d = l.find(" " + dir + " ");
      if (d == std::string::npos) continue;
      size_t w = l.find(" " + what, d + 3);
      // The description follows the upper-case hex bytes.
      if (w != std::string::npos) ++n;
    }
    return n;
  }

  // Runs until the simulator logged count such units (its log trails the
  // program by a little).
  bool waitSim(const std::string& dir, const std::string& what, int count, int ms = 3000) {
    return pump([&] { return simCount(dir, what) >= count; }, ms);
  }

  RecordingDialogs dialogs;

private:
  TempDir _dir;
  std::filesystem::path _oldCwd;
  std::unique_ptr<SimProcess> _sim;
  std::string _port;
  CtrlTestMain* _main = nullptr;
};

#define SKIP_WITHOUT_DISPLAY() \
  if (!CtrlSystem::haveDisplay()) GTEST_SKIP() << "no DISPLAY"

#endif
