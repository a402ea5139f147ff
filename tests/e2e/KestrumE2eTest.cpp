#include <gtest/gtest.h>

#include <chrono>

#include "E2eHarness.h"
#include "ExitCode.h"
#include "TestTime.h"

// The whole program against the simulator.

namespace {

std::string entry(int n) {
  if (n == 10) return "TL8888GM-ED|";
  if (n == 20) return "STD|";
  if (n == 3) return "c:\\tolvan|31";
  return "Naam" + std::to_string(n) + "|06" + std::to_string(20000000 + n);
}

const auto npos = std::string::npos;

}  // namespace

TEST(KestrumE2e, ConnectedDeviceShowsVerbondenWithoutWaitingForTheTimer) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run;
  run.start();
  ASSERT_TRUE(run.console.command("Tlctrl lvl all"));
  size_t connected = run.console.waitFor("-->TlctrlConnected::onEntry mod=10 cmp=12 sig=54", 8000);
  ASSERT_NE(npos, connected) << run.console.text();
  EXPECT_NE(npos, run.console.waitFor("Status Info: Verbonden", 3000, connected));
  // The first status request was answered; the 2-second timer never fired.
  EXPECT_EQ(1, run.simCount("RX", "status-request"));
}

TEST(KestrumE2e, ProgramOptionProgramsTheDeviceAndExitsWithZero) {
  E2E_SKIP_WITHOUT_DISPLAY();
  std::string kvn = e2eKvn(entry);
  E2eRun run({"--out", "@out.kvn"}, {{"file.kvn", kvn}});
  run.start({"-program", "file.kvn"});
  // Standard error too: a sanitizer report there says why a run died.
  EXPECT_EQ(0, run.proc().waitExit(30000)) << run.console.text() << run.proc().err();
  EXPECT_EQ(kvn, readFile(run.path("out.kvn")));
  EXPECT_NE(npos, run.console.text().find("Status Info: Programmeren #200 gereed."));
  EXPECT_EQ(1, run.simCount("RX", "upload-request"));
  EXPECT_EQ(1, run.simCount("RX", "upload-end"));
}

TEST(KestrumE2e, ProgramOptionExitsWithOneWhenTheDeviceFallsSilent) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--out", "@out.kvn", "--baud", "9600"}, {{"file.kvn", e2eKvn(entry)}});
  run.start({"-program", "file.kvn"});
  ASSERT_NE(npos, run.console.waitFor("Status Info: Programmeren #20 gereed.", 20000)) << run.console.text();
  run.sim().command("silent on");
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(1, run.proc().waitExit(20000)) << run.console.text();
  EXPECT_GT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(8));
  EXPECT_EQ(0, run.simCount("RX", "upload-end"));
  EXPECT_EQ(1, run.simCount("RX", "upload-request"));
}

TEST(KestrumE2e, StatusByteErrorsAlertOnceInteractively) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--status-byte", "5"});
  run.start();
  ASSERT_NE(npos, run.console.waitFor("-->TlctrlConnected::onEntry", 8000)) << run.console.text();
  // Several status answers later there is still one alert.
  ASSERT_NE(npos, run.console.waitFor("Dialog: ALERT", 3000));
  while (run.simCount("TX", "status-info") < 4) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::vector<std::string> d = run.dialogs();
  ASSERT_EQ(1u, d.size());
  EXPECT_EQ("ALERT Attentie!! Volgende Fouten gedetecteerd:\\n1. Tolvan fout, ( Algemeen )\\n"
            "3. Tolvan fout, ( Ongeldige PIN )\\n",
            d[0]);
}

TEST(KestrumE2e, StatusByteErrorsGiveNoAlertWhenProgrammingFromTheCommandLine) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--status-byte", "5"}, {{"file.kvn", e2eKvn(entry)}});
  run.start({"-program", "file.kvn"});
  // Standard error too: a sanitizer report there says why a run died.
  EXPECT_EQ(0, run.proc().waitExit(30000)) << run.console.text() << run.proc().err();
  EXPECT_TRUE(run.dialogs().empty());
}

TEST(KestrumE2e, PortThatCannotBeOpenedIsShownAtOnce) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({}, {}, "/nonexistent/ttyKestrum");
  run.start();
  ASSERT_TRUE(run.console.command("Tlctrl lvl all"));
  // At once: the port's own error, not a life-check time-out first.
  size_t at = run.console.waitFor("Status Info: COM poort niet beschikbaar", scaledMs(20000));
  ASSERT_NE(npos, at) << run.console.text();
  EXPECT_EQ(npos, run.console.text().substr(0, at).find("Tolvan niet aangesloten")) << run.console.text();
}

TEST(KestrumE2e, DeviceSilentWhileIdleIsLostAndFoundAgain) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run;
  run.start();
  ASSERT_TRUE(run.console.command("Tlctrl lvl all"));
  ASSERT_NE(npos, run.console.waitFor("Status Info: Verbonden", 8000)) << run.console.text();
  run.sim().command("silent on");
  size_t from = run.console.text().size();
  auto t0 = std::chrono::steady_clock::now();
  size_t lost = run.console.waitFor("Status Info: Tolvan niet aangesloten", 13000, from);
  ASSERT_NE(npos, lost);
  EXPECT_GT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(8500));
  // Refreshed every second.
  ASSERT_NE(npos, run.console.waitFor("Status Info: Tolvan niet aangesloten", 1600, lost + 10));
  run.sim().command("silent off");
  from = run.console.text().size();
  t0 = std::chrono::steady_clock::now();
  ASSERT_NE(npos, run.console.waitFor("Status Info: Verbonden", 3000, from));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1600));
}

TEST(KestrumE2e, FetchAndProgramThroughTheWindowButtons) {
  E2E_SKIP_WITHOUT_DISPLAY();
  if (!E2eRun::haveXdotool()) GTEST_SKIP() << "no xdotool";
  std::string kvn = e2eKvn(entry);
  E2eRun run({"--kvn", "@device.kvn", "--out", "@out.kvn"}, {{"device.kvn", kvn}});
  if (access("/usr/bin/Xvfb", X_OK) != 0 || !run.privateDisplay()) GTEST_SKIP() << "no X server of its own";
  run.start();
  ASSERT_TRUE(run.console.command("Tlctrl lvl all"));
  ASSERT_NE(npos, run.console.waitFor("Status Info: Verbonden", 8000)) << run.console.text();
  // Where the main window has its "Ophalen" and "Programmeren" buttons. A
  // click that a busy display swallowed is given again.
  size_t fetched = npos;
  for (int i = 0; i < 3 && fetched == npos; ++i) {
    ASSERT_TRUE(run.click(445, 37));
    fetched = run.console.waitFor("Status Info: Ophalen #200 gereed.", 8000);
  }
  ASSERT_NE(npos, fetched) << run.console.text();
  EXPECT_NE(npos, run.console.text().find("Status Info: Ophalen #1 gereed."));
  // The fetch says it is done, then the status goes back to the connection.
  size_t done = run.console.waitFor("Status Info: Ophalen gereed: 200 instellingen", 3000, fetched);
  ASSERT_NE(npos, done) << run.console.text();
  ASSERT_NE(npos, run.console.waitFor("Status Info: Verbonden", 8000, done));
  bool programmed = false;
  for (int i = 0; i < 3 && !programmed; ++i) {
    ASSERT_TRUE(run.click(330, 37));
    programmed = run.waitSim("RX", "upload-end", 1, 8000);
  }
  ASSERT_TRUE(programmed) << run.console.text();
  EXPECT_NE(npos, run.console.text().find("Status Info: Programmeren #200 gereed."));
  // What was fetched went back unchanged (the simulator writes its file
  // just after it logged the end).
  for (int i = 0; i < 100 && readFile(run.path("out.kvn")).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(kvn, readFile(run.path("out.kvn")));
  EXPECT_TRUE(run.dialogs().empty());
}

TEST(KestrumE2e, ProgramOptionWithUnreadableFileProgramsNothingAndExitsAsUnusableInput) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--out", "@out.kvn"});
  run.start({"-program", "missing.kvn"});
  EXPECT_EQ(EXIT_INPUT_UNUSABLE, run.proc().waitExit(20000)) << run.console.text();
  EXPECT_EQ(0, run.simCount("RX", "upload-request"));
  EXPECT_NE(npos, run.proc().err().find("cannot read settings file missing.kvn")) << run.proc().err();
}
