#ifndef CTRLHARNESS_H
#define CTRLHARNESS_H

// The whole controller in the test process: a main state holding the real
// controller root, which makes the real window, settings store, parser and
// driver; the device is tolvan-sim on a pseudo-terminal. The test runs in
// a fresh working directory prepared from data/.

#include <unistd.h>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Output.H>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BMainState.h"
#include "BScheduler.h"
#include "FrmKestrum.h"
#include "FrmKestrumImpl.h"
#include "Main.h"
#include "SettingBin.h"
#include "SimFiles.h"
#include "SimProcess.h"
#include "TlcdrvRoot.h"
#include "TlctrlBndToProt.h"
#include "TlctrlRoot.h"
#include "kestrum/progctrl/DataTestSupport.h"

class CtrlTestMain : public BMainState {
public:
  void onEntry(const BEvent*) override { addRegion(root = new TlctrlRoot()); }
  TlctrlRoot* root = nullptr;
};

using EntryMaker = std::function<std::pair<std::string, std::string>(int)>;

// Lines "text|number" for entries 1..200; make(n) gives the pair of entry n.
inline std::string kvnText(const EntryMaker& make) {
  std::string s;
  for (int n = 1; n <= 200; ++n) {
    auto p = make(n);
    s += p.first + "|" + p.second + "\n";
  }
  return s;
}

// Settings of the simulator's device type: entry n is prefix+n with the
// number lead followed by base+n.
inline EntryMaker settingsOf(const std::string& prefix, long base, const std::string& lead = "") {
  return [=](int n) -> std::pair<std::string, std::string> {
    if (n == SettingBin::TOLTYPE_POS) return {"TL8888GM-ED", ""};
    if (n == SettingBin::TOLSPECIAL_POS) return {"STD", ""};
    return {prefix + std::to_string(n), lead + std::to_string(base + n)};
  };
}

// Prepares the working directory and enters it; the test skips when there
// is no display.
class CtrlSystem {
public:
  // simArgs go to tolvan-sim (besides --log); "@name" stands for the file
  // name in the working directory. files are written there first. port
  // stands in config.ini instead of the simulator's when not empty.
  explicit CtrlSystem(std::vector<std::string> simArgs = {}, const std::string& port = "",
                      const std::vector<std::pair<std::string, std::string>>& files = {}) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::copy(KESTRUM_SOURCE_DIR "/data", _dir.path(), fs::copy_options::recursive, ec);
    for (const auto& f : files) writeFile(path(f.first), f.second);
    for (std::string& a : simArgs)
      if (!a.empty() && a[0] == '@') a = path(a.substr(1));
    simArgs.insert(simArgs.end(), {"--log", path("sim.log")});
    if (port.empty()) _sim.reset(new SimProcess(simArgs));
    writeFile(path("config.ini"), "settingfile=\ncomport=" + (_sim ? _sim->port() : port) +
                                      "\ntolvantype=TL8888GM-ED;Tolvan 8888 GSM\nlastrevpack=\nlastbin=\n");
  }

  ~CtrlSystem() {
    if (!_main) return;
    _main->shutdown();
    for (int i = 0; i < 100000 && !BScheduler::terminated(); ++i) BScheduler::step();
    delete _main;
    BScheduler::reset();
  }

  static bool haveDisplay() { return getenv("DISPLAY") && getenv("DISPLAY")[0]; }

  void start() {
    // The shared X server may refuse a connection for a moment while many
    // tests connect at once; the toolkit would end the process instead of
    // trying again.
    for (int i = 0; haveDisplay() && i < 50; ++i) {
      if (Display* d = XOpenDisplay(nullptr)) {
        XCloseDisplay(d);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    BMainState::mutexId(("Kestrum_ctrl_test_" + std::to_string(getpid())).c_str());
    _main = new CtrlTestMain();
    _main->startup();
  }

  std::string path(const std::string& name) const { return _dir.path() + "/" + name; }
  SimProcess& sim() { return *_sim; }
  TlctrlRoot* root() { return _main ? _main->root : nullptr; }
  SettingBin* store() { return root() ? root()->tolSettingBin() : nullptr; }
  FrmKestrum* frame() { return root()->frame(); }

  // One round of the program's main loop.
  void round() {
    TlcdrvRoot::readCom();
    for (int i = 0; i < 10000; ++i) {
      BScheduler::step();
      int st = BScheduler::systemStatus();
      if (st == BScheduler::SYSTEM_SLEEPING || st == BScheduler::SYSTEM_TERMINATED) break;
    }
    Fl::wait(0.005);
    if (trail.empty() || trail.back() != status()) trail.push_back(status());
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
  void run(int ms) { pump([] { return false; }, ms); }

  // Status line of the window, and every text it showed so far.
  std::string status() {
    Fl_Output* line = root() && root()->frame() ? root()->frame()->statusInfo() : nullptr;
    return line && line->value() ? line->value() : "";
  }
  bool statusRed() { return frame()->statusInfo()->color() == FL_RED; }
  bool waitStatus(const std::string& text, int ms) { return pump([&] { return status() == text; }, ms); }
  bool saw(const std::string& text) const { return std::find(trail.begin(), trail.end(), text) != trail.end(); }
  std::vector<std::string> trail;

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
  bool waitSub(int state, int ms) { return pump([&] { return subState() == state; }, ms); }
  // Presses a button of the window and runs until the job it starts is
  // over (job: the state it runs in).
  bool press(Fl_Button* b, int job, int ms = 30000) {
    b->do_callback();
    return waitSub(job, 5000) && waitSub(TlctrlRoot::TLCTRLCONNIDLE, ms);
  }
  void post(BLocalEvent* e) { root()->bndToProt()->sendLocal(e); }

  // Connected, with the settings file kvn opened in the store.
  bool startWithFile(const std::string& kvn) {
    start();
    if (!waitConnectedIdle()) return false;
    writeFile(path("settings.kvn"), kvn);
    store()->editFromDownload(false);
    store()->file(path("settings.kvn").c_str());
    return store()->loadFromFile();
  }

  std::string simLog() { return readFile(path("sim.log")); }
  // Log lines of units the simulator received ("RX") or sent ("TX") whose
  // description (after the hex bytes) begins with what.
  int simCount(const std::string& dir, const std::string& what) { return simLogCount(simLog(), dir, what); }
  // Runs until the simulator logged count such units (its log trails the
  // program by a little).
  bool waitSim(const std::string& dir, const std::string& what, int count, int ms = 3000) {
    return pump([&] { return simCount(dir, what) >= count; }, ms);
  }
  // The simulator's upload result (--out), entry by entry; it writes the
  // file just after it logged the end.
  std::vector<std::string> uploaded() {
    for (int i = 0; i < 100 && readFile(path("out.kvn")).empty(); ++i) run(20);
    return textLines(readFile(path("out.kvn")));
  }

  DialogScript dialogs;

private:
  TempDir _dir{TempDir::Entered};
  std::unique_ptr<SimProcess> _sim;
  CtrlTestMain* _main = nullptr;
};

#define SKIP_WITHOUT_DISPLAY() \
  if (!CtrlSystem::haveDisplay()) GTEST_SKIP() << "no DISPLAY"

#endif
