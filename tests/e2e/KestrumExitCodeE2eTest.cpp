#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "E2eHarness.h"
#include "ExitCode.h"

// How command-line programming runs end when they cannot do their work: a
// signal, a question nobody is there to answer, a device that never takes
// the settings. None of them may end with 0.

namespace {

const auto npos = std::string::npos;

std::string entry(int n) {
  if (n == 10) return "TL8888GM-ED|";
  if (n == 20) return "STD|";
  if (n == 5) return "ABCDEFGHIJKLMNOPQRST|5";  // 20 characters in a 12-character field
  return "Naam" + std::to_string(n) + "|06" + std::to_string(20000000 + n);
}

std::string shortEntry(int n) { return n == 5 ? "Naam5|065" : entry(n); }

}  // namespace

TEST(KestrumExitCodeE2e, SignalBeforeTheRunEndedGivesTheInterruptedCode) {
  E2E_SKIP_WITHOUT_DISPLAY();
  struct Case {
    const char* what;
    std::vector<std::string> sim;
    std::vector<std::string> args;
    int signal;
    const char* waitFor;
  } cases[] = {
      {"silent device, SIGTERM", {"--silent"}, {"-program", "file.kvn"}, SIGTERM, "Status Info: Initializeren ..."},
      {"silent device, SIGINT", {"--silent"}, {"-program", "file.kvn"}, SIGINT, "Status Info: Initializeren ..."},
      {"half-way through the upload", {"--baud", "9600"}, {"-program", "file.kvn"}, SIGTERM,
       "Status Info: Programmeren #20 gereed."},
      {"upgrade, silent device", {"--silent"}, {"-upgrade", "-revpack", "TL612[0000]", "-binfile", "a.bin"}, SIGTERM,
       "Status Info: Initializeren ..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    E2eRun run(c.sim, {{"file.kvn", e2eKvn(shortEntry)}});
    run.start(c.args);
    ASSERT_NE(npos, run.console.waitFor(c.waitFor, 20000)) << run.console.text();
    run.proc().signal(c.signal);
    EXPECT_EQ(EXIT_INTERRUPTED, run.proc().waitExit(15000)) << run.console.text() << run.proc().err();
    EXPECT_EQ(0, run.simCount("RX", "upload-end"));
  }
}

// Nobody answers "Text is te lang" in a command-line run: the device gets
// the entries before it and the end of the upload, and the run fails naming
// the entry, without a window waiting for a person.
TEST(KestrumExitCodeE2e, QuestionInACommandLineRunFailsItNamingTheEntry) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--out", "@out.kvn"}, {{"file.kvn", e2eKvn(entry)}});
  run.scriptDialogs = false;
  run.start({"-program", "file.kvn"});
  EXPECT_EQ(EXIT_INPUT_UNUSABLE, run.proc().waitExit(30000)) << run.console.text() << run.proc().err();
  EXPECT_NE(npos, run.proc().err().find("kestrum: entry 5 \"")) << run.proc().err();
  EXPECT_NE(npos, run.proc().err().find("text of 20 characters, the field holds 12; programming stopped"))
      << run.proc().err();
  EXPECT_EQ(4, run.simCount("RX", "setting-entry"));
  EXPECT_EQ(1, run.simCount("RX", "upload-end"));
}

// A device that answers "waiting" for ever: the run ends as not connected
// within the stall limit instead of never.
TEST(KestrumExitCodeE2e, DeviceThatStaysBusyEndsTheRunAsNotConnected) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--wait", "1000000"}, {{"file.kvn", e2eKvn(shortEntry)}});
  run.start({"-program", "file.kvn"});
  EXPECT_EQ(EXIT_DEVICE_LOST, run.proc().waitExit(90000)) << run.console.text() << run.proc().err();
  EXPECT_NE(npos, run.console.text().find("Status Info: Tolvan niet aangesloten")) << run.console.text();
  EXPECT_EQ(0, run.simCount("RX", "setting-entry"));
}

// A device in its boot loader asks for firmware; a programming run has
// nobody to choose a bin file and fails at once instead of waiting.
TEST(KestrumExitCodeE2e, DeviceAskingForFirmwareFailsAProgrammingRun) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--boot"}, {{"file.kvn", e2eKvn(shortEntry)}});
  run.scriptDialogs = false;
  run.start({"-program", "file.kvn"});
  EXPECT_EQ(EXIT_INPUT_UNUSABLE, run.proc().waitExit(30000)) << run.console.text() << run.proc().err();
  EXPECT_NE(npos, run.proc().err().find("asks for firmware")) << run.proc().err();
  EXPECT_EQ(0, run.simCount("RX", "upload-request"));
}

// A person's dialog is open (the status byte's alert, shown by the toolkit):
// SIGTERM still ends the program at once, in the orderly way.
TEST(KestrumExitCodeE2e, SignalEndsTheProgramWhileADialogIsOpen) {
  E2E_SKIP_WITHOUT_DISPLAY();
  if (!E2eRun::haveXdotool()) GTEST_SKIP() << "no xdotool";
  E2eRun run({"--status-byte", "5"});
  run.scriptDialogs = false;
  run.start();
  // The main window and the alert.
  size_t windows = 0;
  for (int i = 0; i < 150 && windows < 2; ++i) {
    ChildProcess search({"/usr/bin/xdotool", "search", "--onlyvisible", "--pid", std::to_string(run.proc().pid())},
                        run.displayEnv());
    search.waitExit(10000);
    windows = textLines(search.out()).size();
    if (windows < 2) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_EQ(2u, windows) << run.console.text();
  run.proc().signal(SIGTERM);
  EXPECT_EQ(EXIT_OK, run.proc().waitExit(15000)) << run.console.text() << run.proc().err();
}
