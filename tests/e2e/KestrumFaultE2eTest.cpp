#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>

#include "E2eHarness.h"

// The whole program against a device that misbehaves: pulled out in the
// middle of a dialogue, a line with noise, damaged and cut frames, a port
// that exists but cannot be used. Every test ends with the program still
// answering and ending normally when asked.

namespace {

const auto npos = std::string::npos;

std::string entry(int n) {
  if (n == 10) return "TL8888GM-ED|";
  if (n == 20) return "STD|";
  if (n == 3) return "c:\\tolvan|31";
  return "Naam" + std::to_string(n) + "|06" + std::to_string(20000000 + n);
}

// What a failed expectation shows: the simulator's notes and requests, the
// program's status lines and port notices.
std::string story(E2eRun& run) {
  std::string out;
  for (auto& l : textLines(readFile(run.path("sim.log"))))
    if (l.find(" -- ") != npos || (l.find("request") != npos && l.find("status-request") == npos)) out += "SIM " + l + "\n";
  for (auto& l : textLines(run.console.text()))
    if (l.find("TlcdrvRoot:") != npos || (l.find("Status Info") != npos && l.find("gereed") == npos))
      out += "PRG " + l + "\n";
  return out;
}

// A window button; a click that a busy display swallowed is given again.
bool press(E2eRun& run, int x, int y, const std::function<bool()>& started) {
  for (int i = 0; i < 3; ++i) {
    if (!run.click(x, y)) return false;
    if (started()) return true;
  }
  return false;
}

const int FETCH_X = 445, PROGRAM_X = 330, BUTTON_Y = 37;

// The program answers a debug command and ends normally on SIGTERM.
void expectResponsiveAndEnds(E2eRun& run, int exitCode) {
  size_t from = run.console.text().size();
  ASSERT_TRUE(run.console.command("Tlctrl rpa info"));
  EXPECT_NE(npos, run.console.waitFor("--- last selected ---", 5000, from)) << story(run);
  run.proc().signal(SIGTERM);
  EXPECT_EQ(exitCode, run.proc().waitExit(15000)) << run.proc().err();
}

// While the device is away the program tries the port again every second,
// refreshing the status after each try; two tries after from.
size_t waitRetries(E2eRun& run, size_t from) {
  for (int i = 0; i < 2 && from != npos; ++i)
    from = run.console.waitFor("Status Info: COM poort niet beschikbaar", 5000, from + 10);
  EXPECT_NE(npos, from) << story(run);
  return from;
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t p = text.find(what); p != npos; p = text.find(what, p + 1)) ++n;
  return n;
}

}  // namespace

// Pulled out during a fetch and during programming, plugged in again on the
// same path each time: the program notices, finds the device again, and the
// next fetch and programming complete exactly.
TEST(KestrumFaultE2e, DeviceUnpluggedDuringFetchAndProgrammingIsFoundAgainOnTheSamePath) {
  E2E_SKIP_WITHOUT_DISPLAY();
  if (!E2eRun::haveXdotool()) GTEST_SKIP() << "no xdotool";
  std::string kvn = e2eKvn(entry);
  E2eRun run({"--kvn", "@device.kvn", "--out", "@out.kvn", "--baud", "9600"}, {{"device.kvn", kvn}});
  if (access("/usr/bin/Xvfb", X_OK) != 0 || !run.privateDisplay()) GTEST_SKIP() << "no X server of its own";
  run.start();
  ASSERT_TRUE(run.console.command("Tlctrl lvl all"));
  ASSERT_NE(npos, run.console.waitFor("Status Info: Verbonden", 10000)) << story(run);

  // Fetch, pulled out after a few entries.
  ASSERT_TRUE(press(run, FETCH_X, BUTTON_Y,
                    [&] { return run.console.waitFor("Status Info: Ophalen #5 gereed.", 8000) != npos; }))
      << story(run);
  run.sim().command("unplug");
  size_t lost = run.console.waitFor("Status Info: COM poort niet beschikbaar", 20000);
  ASSERT_NE(npos, lost) << story(run);
  EXPECT_TRUE(run.proc().waitFor("lost: the device hung up the line", 3000)) << run.proc().err();
  EXPECT_EQ(npos, run.console.text().find("Status Info: Ophalen #200 gereed."));
  lost = waitRetries(run, lost);
  ASSERT_EQ(0u, run.sim().command("replug").rfind("OK replug", 0));
  size_t back = run.console.waitFor("Status Info: Verbonden", 8000, lost);
  ASSERT_NE(npos, back) << story(run);
  size_t fetched = npos;
  ASSERT_TRUE(press(run, FETCH_X, BUTTON_Y, [&] {
    return run.console.waitFor("Status Info: Ophalen #", 8000, back) != npos;
  })) << story(run);
  fetched = run.console.waitFor("Status Info: Ophalen #200 gereed.", 30000, back);
  ASSERT_NE(npos, fetched) << story(run);
  ASSERT_NE(npos, run.console.waitFor("Status Info: Verbonden", 8000, fetched));

  // Programming, pulled out after a few entries.
  size_t from = run.console.text().size();
  ASSERT_TRUE(press(run, PROGRAM_X, BUTTON_Y, [&] {
    return run.console.waitFor("Status Info: Programmeren #5 gereed.", 8000, from) != npos;
  })) << story(run);
  run.sim().command("unplug");
  lost = run.console.waitFor("Status Info: COM poort niet beschikbaar", 20000, from);
  ASSERT_NE(npos, lost) << story(run);
  EXPECT_EQ(0, run.simCount("RX", "upload-end"));
  lost = waitRetries(run, lost);
  ASSERT_EQ(0u, run.sim().command("replug").rfind("OK replug", 0));
  back = run.console.waitFor("Status Info: Verbonden", 8000, lost);
  ASSERT_NE(npos, back) << story(run);
  ASSERT_TRUE(press(run, PROGRAM_X, BUTTON_Y, [&] { return run.waitSim("RX", "upload-request", 2, 8000); }))
      << story(run);
  ASSERT_TRUE(run.waitSim("RX", "upload-end", 1, 30000)) << story(run);
  // The simulator writes its file just after it logged the end.
  for (int i = 0; i < 100 && readFile(run.path("out.kvn")).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(kvn, readFile(run.path("out.kvn")));
  expectResponsiveAndEnds(run, 0);
  // Each loss is told once on standard error, not at every retry.
  EXPECT_EQ(2u, count(run.proc().err(), "lost: the device hung up the line")) << run.proc().err();
  EXPECT_EQ(2u, count(run.proc().err(), "cannot be opened: ")) << run.proc().err();
}

// Unattended programming of a device that is pulled out: exit code 1, and
// nothing is left running.
TEST(KestrumFaultE2e, DeviceUnpluggedDuringProgramOptionExitsWithOne) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--out", "@out.kvn", "--baud", "9600"}, {{"file.kvn", e2eKvn(entry)}});
  run.start({"-program", "file.kvn"});
  ASSERT_NE(npos, run.console.waitFor("Status Info: Programmeren #10 gereed.", 20000)) << story(run);
  run.sim().command("unplug");
  EXPECT_EQ(1, run.proc().waitExit(25000)) << run.console.text() << run.proc().err();
  EXPECT_NE(npos, run.proc().err().find("lost: the device hung up the line")) << run.proc().err();
  EXPECT_EQ(0, run.simCount("RX", "upload-end"));
}

// A line with noise, damaged checksums, frames cut short and frames the
// device found damaged: NAKs, repeats and time-outs bring every dialogue
// through, and what the device ends up with is exactly what it had.
TEST(KestrumFaultE2e, NoiseDamagedAndCutFramesAreRecoveredAndTheSettingsStayExact) {
  E2E_SKIP_WITHOUT_DISPLAY();
  if (!E2eRun::haveXdotool()) GTEST_SKIP() << "no xdotool";
  std::string kvn = e2eKvn(entry);
  E2eRun run({"--kvn", "@device.kvn", "--out", "@out.kvn", "--baud", "9600"}, {{"device.kvn", kvn}});
  if (access("/usr/bin/Xvfb", X_OK) != 0 || !run.privateDisplay()) GTEST_SKIP() << "no X server of its own";
  run.start();
  ASSERT_TRUE(run.console.command("Tlctrl lvl all"));
  ASSERT_NE(npos, run.console.waitFor("Status Info: Verbonden", 10000)) << story(run);

  // A status answer cut short while idle: the next request starts afresh.
  int infos = run.simCount("TX", "status-info");
  run.sim().command("cut 1");
  ASSERT_TRUE(run.waitSim("TX", "status-info cut", 1, 5000)) << story(run);
  ASSERT_TRUE(run.waitSim("TX", "status-info", infos + 3, 8000)) << story(run);
  EXPECT_EQ(npos, run.console.text().find("Status Info: Tolvan niet aangesloten"));

  // A fetch whose entry is cut short stalls; the time-out ends it, and the
  // device is found again at once.
  size_t from = run.console.text().size();
  ASSERT_TRUE(press(run, FETCH_X, BUTTON_Y, [&] {
    return run.console.waitFor("Status Info: Ophalen #5 gereed.", 8000, from) != npos;
  })) << story(run);
  run.sim().command("cut 1");
  size_t lost = run.console.waitFor("Status Info: Tolvan niet aangesloten", 20000, from);
  ASSERT_NE(npos, lost) << story(run);
  EXPECT_GE(run.simCount("TX", "setting-entry"), 6);
  size_t back = run.console.waitFor("Status Info: Verbonden", 5000, lost);
  ASSERT_NE(npos, back) << story(run);

  // A fetch through damaged checksums and noise bursts.
  ASSERT_TRUE(press(run, FETCH_X, BUTTON_Y, [&] {
    return run.console.waitFor("Status Info: Ophalen #5 gereed.", 8000, back) != npos;
  })) << story(run);
  int naks = run.simCount("RX", "nak");
  run.sim().command("corrupt 3");
  ASSERT_NE(npos, run.console.waitFor("Status Info: Ophalen #40 gereed.", 15000, back)) << story(run);
  run.sim().command("noise 7");
  ASSERT_NE(npos, run.console.waitFor("Status Info: Ophalen #80 gereed.", 15000, back)) << story(run);
  run.sim().command("corrupt 1");
  run.sim().command("noise 5");
  size_t fetched = run.console.waitFor("Status Info: Ophalen #200 gereed.", 30000, back);
  ASSERT_NE(npos, fetched) << story(run);
  ASSERT_NE(npos, run.console.waitFor("Status Info: Verbonden", 8000, fetched)) << story(run);
  // Every damaged frame was refused and sent again.
  EXPECT_GE(run.simCount("RX", "nak"), naks + 4);
  EXPECT_GE(run.simCount("TX", "repeated"), 4);
  EXPECT_GE(run.simCount("TX", "noise"), 2);

  // Programming through entries that the device received damaged.
  from = run.console.text().size();
  ASSERT_TRUE(press(run, PROGRAM_X, BUTTON_Y, [&] {
    return run.console.waitFor("Status Info: Programmeren #5 gereed.", 8000, from) != npos;
  })) << story(run);
  run.sim().command("garble 2");
  ASSERT_NE(npos, run.console.waitFor("Status Info: Programmeren #60 gereed.", 15000, from)) << story(run);
  run.sim().command("garble 1");
  ASSERT_TRUE(run.waitSim("RX", "upload-end", 1, 30000)) << story(run);
  EXPECT_EQ(run.simCount("RX", "garbled"), 3);
  // The simulator writes its file just after it logged the end.
  for (int i = 0; i < 100 && readFile(run.path("out.kvn")).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(kvn, readFile(run.path("out.kvn")));
  expectResponsiveAndEnds(run, 0);
}

// A port that exists but is no serial port: shown at once, explained once
// on standard error and in the trace, though the program keeps trying.
TEST(KestrumFaultE2e, PortThatExistsButCannotBeUsedIsExplainedOnce) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({}, {}, "");
  std::string port = run.portPath("notaport");
  writeFile(port, "");
  std::string ini = readFile(run.path("config.ini"));
  std::string out;
  for (const std::string& l : textLines(ini)) out += (l.rfind("comport=", 0) == 0 ? "comport=" + port : l) + "\n";
  writeFile(run.path("config.ini"), out);
  run.start();
  ASSERT_TRUE(run.console.command("Tlctrl lvl all"));
  size_t shown = run.console.waitFor("Status Info: COM poort niet beschikbaar", 5000);
  ASSERT_NE(npos, shown) << story(run);
  // Three more tries, one a second.
  for (int i = 0; i < 3 && shown != npos; ++i)
    shown = run.console.waitFor("Status Info: COM poort niet beschikbaar", 5000, shown + 10);
  ASSERT_NE(npos, shown) << story(run);
  EXPECT_EQ(1u, count(run.console.text(), port + " is not a serial port")) << story(run);
  // No device stopped answering: there was none.
  expectResponsiveAndEnds(run, 0);
  EXPECT_EQ(1u, count(run.proc().err(), "cannot be opened: " + port + " is not a serial port")) << run.proc().err();
}
