#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "E2eHarness.h"
#include "ExitCode.h"

// The program with its window, worked through its buttons, against a device
// that goes away; it still answers and ends normally when asked.

namespace {

// The device is pulled out; the program notices and tries the port again
// every second, refreshing the status after each try. Plugged in again on
// the same path, it is found again; where the trace stands then.
size_t unplugAndReplug(E2eRun& run, size_t from) {
  EXPECT_EQ("OK unplug", run.sim().command("unplug"));
  size_t lost = run.waitTrace("Status Info: COM poort niet beschikbaar", from);
  for (int i = 0; i < 2 && lost != npos; ++i) lost = run.waitTrace("Status Info: COM poort niet beschikbaar", lost + 10);
  EXPECT_NE(npos, lost) << run.story();
  EXPECT_EQ(0u, run.sim().command("replug").rfind("OK replug", 0));
  size_t back = run.waitTrace("Status Info: Verbonden", lost);
  EXPECT_NE(npos, back) << run.story();
  return back;
}

}  // namespace

// Ophalen and Programmeren pulled out after a few entries each: the next
// fetch and programming complete exactly. Then the program is stopped.
TEST(KestrumWindowE2e, DeviceUnpluggedOrProgramStoppedIsFoundAgainOrKept) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2E_START_CONNECTED_WINDOW(run);
  struct Button { int x; const char *started, *done; } buttons[] = {{FETCH_X, "Status Info: Ophalen #", "Status Info: Ophalen gereed: 200 instellingen"},
                 {PROGRAM_X, "Status Info: Programmeren #", "Status Info: Programmeren #200 gereed."}};
  for (const Button& b : buttons) {
    size_t from = run.console.text().size();
    ASSERT_NE(npos, run.press(b.x, b.started + std::string("5 gereed."), from)) << run.story();
    size_t back = unplugAndReplug(run, from);
    ASSERT_NE(npos, back);
    EXPECT_EQ(npos, run.console.text().find(b.done, from)) << run.story();
    ASSERT_NE(npos, run.press(b.x, b.started + std::string("1 gereed."), back)) << run.story();
    size_t done = run.waitTrace(b.done, back);
    ASSERT_NE(npos, done) << run.story();
    ASSERT_NE(npos, run.waitTrace("Status Info: Verbonden", done)) << run.story();
  }
  // The interrupted programming never ended; what was fetched went back.
  EXPECT_EQ(1, run.simCount("RX", "upload-end"));
  EXPECT_EQ(e2eKvn(), run.uploaded());
  EXPECT_TRUE(run.dialogs().empty());

  // A program that did not run for longer than the life check's time-out (a
  // debugger, a suspended laptop) keeps its device. The sleep is no wait for
  // anything: it outlasts the 10-second life check.
  run.proc().signal(SIGSTOP);
  std::this_thread::sleep_for(std::chrono::seconds(12));
  size_t from = run.console.text().size();
  int before = run.simCount("RX", "status-request");
  run.proc().signal(SIGCONT);
  // It sends one status request, not one for every second it missed, and
  // reads the answers that waited at the port.
  ASSERT_TRUE(run.waitSim("RX", "status-request", before + 3)) << run.story();
  EXPECT_LE(run.simCount("RX", "status-request"), before + 5);
  EXPECT_EQ(npos, run.console.text().find("Status Info: Tolvan niet aangesloten", from)) << run.story();

  // It still answers a debug command and ends normally when asked.
  from = run.console.text().size();
  ASSERT_TRUE(run.console.command("Tlctrl rpa info"));
  EXPECT_NE(npos, run.waitTrace("--- last selected ---", from)) << run.story();
  run.proc().signal(SIGTERM);
  EXPECT_EQ(EXIT_OK, run.proc().waitExit(30000)) << run.proc().err();
  // Each loss is told once on standard error, not at every retry.
  EXPECT_EQ(2u, linesWith(run.proc().err(), "lost: the device hung up the line").size()) << run.proc().err();
  EXPECT_EQ(2u, linesWith(run.proc().err(), "cannot be opened: ").size()) << run.proc().err();
}

// A person's dialog is open (the status byte's alert, shown by the toolkit):
// SIGTERM still ends the program at once, in the orderly way.
TEST(KestrumWindowE2e, SignalEndsTheProgramWhileADialogIsOpen) {
  E2E_SKIP_WITHOUT_DISPLAY();
  if (access("/usr/bin/xdotool", X_OK) != 0) GTEST_SKIP() << "no xdotool";
  E2eRun run({"--status-byte", "5"});
  run.scriptDialogs = false;
  run.start();
  // The main window and the alert.
  ASSERT_TRUE(waitUntil([&] {
    ChildProcess search({"/usr/bin/xdotool", "search", "--onlyvisible", "--pid", std::to_string(run.proc().pid())});
    return search.waitExit(10000) == 0 && textLines(search.out()).size() >= 2;
  }, 30000, 100)) << run.story();
  run.proc().signal(SIGTERM);
  EXPECT_EQ(EXIT_OK, run.proc().waitExit(30000)) << run.story();
}
