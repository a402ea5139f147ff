#ifndef E2EHARNESS_H
#define E2EHARNESS_H

// The real kestrum in a working directory prepared from data/, against
// tolvan-sim, watched through the remote debug console, the simulator's log
// and the dialog record. Waits end on what the program or simulator says;
// their times only bound the hope, scaled for slow machines.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "DebugConsole.h"
#include "SimFiles.h"
#include "SimProcess.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "WaitUntil.h"

const auto npos = std::string::npos;

// The settings most runs use: "text|number" of entry n.
inline std::string entry(int n) {
  if (n == 10) return "TL8888GM-ED|";
  if (n == 20) return "STD|";
  if (n == 3) return "c:\\tolvan|31";  // a backslash travels as a slash
  return "Naam" + std::to_string(n) + "|06" + std::to_string(20000000 + n);
}
inline std::vector<std::string> linesWith(const std::string& text, const std::string& what) {
  std::vector<std::string> out;
  for (const std::string& l : textLines(text))
    if (l.find(what) != npos) out.push_back(l);
  return out;
}
inline std::string e2eKvn(const std::function<std::string(int)>& make = entry) {
  std::string s;
  for (int n = 1; n <= 200; ++n) s += make(n) + "\n";
  return s;
}

class E2eRun {
public:
  static bool haveDisplay() { return getenv("DISPLAY") && *getenv("DISPLAY"); }
  static std::string kestrum() { return KESTRUM_BINARY_DIR "/main/kestrum"; }

  // simArgs: "@name" stands for that file in the working directory; files
  // are written there before anything starts.
  explicit E2eRun(std::vector<std::string> simArgs = {},
                  const std::vector<std::pair<std::string, std::string>>& files = {}) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::copy(fs::path(KESTRUM_SOURCE_DIR) / "data", _dir.path(), fs::copy_options::recursive, ec);
    fs::create_directory(path("xdg"), ec);
    chmod(path("xdg").c_str(), 0700);
    for (const auto& f : files) writeFile(path(f.first), f.second);
    for (std::string& a : simArgs)
      if (!a.empty() && a[0] == '@') a = path(a.substr(1));
    simArgs.insert(simArgs.end(), {"--link", _portDir.file("tty"), "--log", path("sim.log")});
    _sim.reset(new SimProcess(simArgs));
    std::string out;
    for (const std::string& l : textLines(readFile(path("config.ini"))))
      out += (l.rfind("comport=", 0) == 0 ? "comport=" + _portDir.file("tty") : l) + "\n";
    writeFile(path("config.ini"), out);
    writeFile(path("dialogs.txt"), "");
  }
  ~E2eRun() {
    _proc.reset();
    if (_xvfb) _xvfb->signal(SIGTERM), _xvfb->waitExit(3000);  // asked to stop, it removes its lock
  }

  bool scriptDialogs = true;  // cleared: nobody answers the dialogs
  bool noDisplay = false;     // the program starts without any X display

  void start(const std::vector<std::string>& args = {}) {
    if (_sim->port().empty()) ADD_FAILURE() << "the simulator did not start";
    std::vector<std::string> all{kestrum(), "-remdbg", "127.0.0.1", std::to_string(console.port())};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<std::pair<std::string, std::string>> env{{"XDG_RUNTIME_DIR", path("xdg")}};
    if (scriptDialogs) {
      env.push_back({"KESTRUM_DIALOG_SCRIPT", path("dialogs.txt")});
      env.push_back({"KESTRUM_DIALOG_RECORD", path("dialogs.log")});
    }
    if (!_display.empty()) env.push_back({"DISPLAY", _display});
    if (noDisplay) env.push_back({"-DISPLAY", ""});
    _proc.reset(new ChildProcess(all, env, _dir.path()));
  }

  // Gives the program an X server of its own, so that clicks cannot reach
  // other tests' windows; the server picks a free display itself, and does not
  // reset (refusing clients meanwhile) when its last client leaves.
  bool privateDisplay() {
    if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xdotool", X_OK) != 0) return false;
    _xvfb.reset(new ChildProcess({"/bin/sh", "-c",
                                  "exec /usr/bin/Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset "
                                  "3>&1 >/dev/null 2>&1"}));
    if (!_xvfb->waitFor("\n", 30000)) return false;
    _display = ":" + textLines(_xvfb->out())[0];
    return true;
  }

  std::string path(const std::string& name) const { return _dir.path() + "/" + name; }
  SimProcess& sim() { return *_sim; }
  ChildProcess& proc() { return *_proc; }

  int simCount(const std::string& dir, const std::string& what) {
    return simLogCount(readFile(path("sim.log")), dir, what);
  }
  bool waitSim(const std::string& dir, const std::string& what, int count, int ms = 30000) {
    return waitUntil([&] { return simCount(dir, what) >= count; }, ms, 50);
  }
  // Where the trace holds what after from, or npos.
  size_t waitTrace(const std::string& what, size_t from = 0, int ms = 30000) {
    return console.waitFor(what, scaledMs(ms), from);
  }
  // The settings file the simulator writes just after it logged the end.
  std::string uploaded() {
    std::string s;
    waitUntil([&] { return !(s = readFile(path("out.kvn"))).empty(); }, 5000);
    return s;
  }
  std::vector<std::string> dialogs() { return textLines(readFile(path("dialogs.log"))); }

  // Presses the window button at x until the trace says started after from;
  // where, or npos. A click that a busy display swallowed is given again.
  size_t press(int x, const std::string& started, size_t from) {
    if (_window.empty()) {
      ChildProcess search({"/usr/bin/xdotool", "search", "--sync", "--onlyvisible", "--pid",
                           std::to_string(_proc->pid()), "--name", "Tolvan Programmeer Omgeving"},
                          {{"DISPLAY", _display}});
      if (search.waitExit(30000) != 0 || search.out().empty()) return npos;
      _window = textLines(search.out())[0];
    }
    size_t at = npos;
    for (int i = 0; i < 3 && at == npos; ++i) {
      ChildProcess click({"/usr/bin/xdotool", "mousemove", "--window", _window, std::to_string(x), "37", "click", "1"},
                         {{"DISPLAY", _display}});
      if (click.waitExit(10000) != 0) return npos;
      at = waitTrace(started, from, 8000);
    }
    return at;
  }

  // What a failed expectation shows: the simulator's notes and requests, the
  // program's status lines and what it said on standard error.
  std::string story() {
    std::string out;
    for (auto& l : textLines(readFile(path("sim.log"))))
      if (l.find(" -- ") != npos || (l.find("request") != npos && l.find("status-request") == npos))
        out += "SIM " + l + "\n";
    for (auto& l : linesWith(console.text(), "Status Info"))
      if (l.find("gereed") == npos) out += "PRG " + l + "\n";
    return out + _proc->err();
  }

  DebugConsole console;

private:
  TempDir _dir;
  TempDir _portDir{TempDir::ShortPath};  // the port's link: short whatever the build tree's depth
  std::unique_ptr<SimProcess> _sim;
  std::unique_ptr<ChildProcess> _xvfb;  // declared before the program, so that it goes after it
  std::string _display;
  std::unique_ptr<ChildProcess> _proc;
  std::string _window;
};

#define E2E_SKIP_WITHOUT_DISPLAY() \
  if (!E2eRun::haveDisplay()) GTEST_SKIP() << "no DISPLAY"

// Where the main window has its "Ophalen" and "Programmeren" buttons.
const int FETCH_X = 445, PROGRAM_X = 330;

// The opening of the window runs: the device's settings in the simulator,
// paced like the wire so that there is time to act in the middle of a
// dialogue, the program on an X server of its own, tracing, connected.
#define E2E_START_CONNECTED_WINDOW(run)                                                           \
  E2eRun run({"--kvn", "@device.kvn", "--out", "@out.kvn", "--baud", "9600"},                     \
             {{"device.kvn", e2eKvn()}});                                                        \
  if (!run.privateDisplay()) GTEST_SKIP() << "no X server of its own or no xdotool";             \
  run.start();                                                                                     \
  ASSERT_TRUE(waitUntil([&] { return run.console.command("Tlctrl lvl all"); }, 60000));             \
  ASSERT_NE(npos, run.waitTrace("Status Info: Verbonden")) << run.story()

// Revision packs for upgrade runs, made by the program itself from bins
// written into the run's working directory.
// The bin's name as the pack lists it (customer name for the device type).
const char* const BIN_GROUP = "Tolvan 8888 GSM_620.bin";

// The options of an upgrade run with the bin app in a pack made from it.
inline std::vector<std::string> upgradeFrom(E2eRun& run, const std::string& app,
                                            const std::vector<std::string>& boots = {"BOOT_LOAD_H49.bin"}) {
  std::filesystem::create_directory(run.path("bins"));
  writeFile(run.path("bins/TL8888GM-ED_620.bin"), std::string(0x100, '\xEE') + app);
  for (const std::string& boot : boots) writeFile(run.path("bins/" + boot), std::string(1800, '\x5A'));
  ChildProcess make({E2eRun::kestrum(), "-cmdl_crtrpa", "-bindir", "bins"},
                    {{"XDG_RUNTIME_DIR", run.path("xdg")}, {"KESTRUM_DIALOG_SCRIPT", "/dev/null"}}, run.path(""));
  make.waitExit(30000);
  std::string pack;
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(run.path("RevPacks"), ec))
    if (e.path().extension() == ".rpa") pack = e.path().filename().string();
  if (pack.empty()) ADD_FAILURE() << "no revision pack made: " << make.err();
  return {"-upgrade", "-revpack", pack, "-binfile", BIN_GROUP};
}

#endif
