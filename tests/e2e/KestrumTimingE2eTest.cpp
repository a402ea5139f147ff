#include <gtest/gtest.h>

#include <string>

#include "E2eHarness.h"
#include "UpgradePack.h"

// Dialogues started while the device's answer to a status request is half
// on the wire: the simulator sends the first bytes of its status info and
// holds the rest until told ("split", "release"), so the crossing happens on
// purpose, not by luck. Every dialogue completes exactly.

namespace {

const auto npos = std::string::npos;
const int FETCH_X = 445, PROGRAM_X = 330, BUTTON_Y = 37;
const char* const SPLIT = "split 20 600000";

std::string entry(int n) {
  if (n == 10) return "TL8888GM-ED|";
  if (n == 20) return "STD|";
  // Entries 6 and 21 carry numbers that look like ACK and NAK on the wire.
  return "Naam" + std::to_string(n) + "|06" + std::to_string(20000000 + n);
}

std::string story(E2eRun& run) {
  std::string out;
  for (auto& l : textLines(readFile(run.path("sim.log"))))
    if (l.find(" -- ") != npos || (l.find("request") != npos && l.find("status-request") == npos)) out += "SIM " + l + "\n";
  for (auto& l : textLines(run.console.text()))
    if (l.find("holdRequest") != npos || l.find("releaseRequest") != npos ||
        (l.find("Status Info") != npos && l.find("gereed") == npos))
      out += "PRG " + l + "\n";
  return out;
}

// The simulator holds its next status info after 20 bytes; returns once
// those are on the wire.
void holdNextStatusInfo(E2eRun& run, int splitsBefore) {
  ASSERT_EQ("OK split 20 600000", run.sim().command(SPLIT));
  ASSERT_TRUE(run.waitSim("--", "split: 20 of", splitsBefore + 1, 10000)) << story(run);
}

// Starts a command-line run while the answer to its second status request
// is right behind the first, which is held half sent: the run starts the
// moment the first is whole.
void startCrossed(E2eRun& run, const std::vector<std::string>& args) {
  ASSERT_EQ("OK split 20 600000", run.sim().command(SPLIT));
  run.start(args);
  ASSERT_TRUE(run.waitSim("--", "split: 20 of", 1, 10000)) << story(run);
  // The start's request is answered in part; the 2-second retry is queued
  // behind it.
  ASSERT_TRUE(run.waitSim("RX", "status-request", 2, 10000)) << story(run);
  ASSERT_EQ("OK release", run.sim().command("release"));
}

}  // namespace

TEST(KestrumTimingE2e, FetchAndProgrammingPressedWhileAStatusInfoIsHalfSentCompleteExactly) {
  E2E_SKIP_WITHOUT_DISPLAY();
  if (!E2eRun::haveXdotool()) GTEST_SKIP() << "no xdotool";
  std::string kvn = e2eKvn(entry);
  E2eRun run({"--kvn", "@device.kvn", "--out", "@out.kvn", "--baud", "9600"}, {{"device.kvn", kvn}});
  if (access("/usr/bin/Xvfb", X_OK) != 0 || !run.privateDisplay()) GTEST_SKIP() << "no X server of its own";
  run.start();
  ASSERT_TRUE(run.console.command("Tlctrl lvl all"));
  ASSERT_NE(npos, run.console.waitFor("Status Info: Verbonden", 10000)) << story(run);

  struct Press {
    int x;
    const char* held;
    const char* request;
    const char* done;
  };
  const Press presses[] = {
      {FETCH_X, "holdRequest sig=100", "download-request", "Status Info: Ophalen #200 gereed."},
      {PROGRAM_X, "holdRequest sig=103", "upload-request", "Status Info: Programmeren #200 gereed."}};
  int splits = 0;
  for (const Press& p : presses) {
    holdNextStatusInfo(run, splits++);
    size_t from = run.console.text().size();
    bool held = false;
    for (int i = 0; i < 3 && !held; ++i) {
      ASSERT_TRUE(run.click(p.x, BUTTON_Y));
      held = run.console.waitFor(p.held, 3000, from) != npos;
    }
    ASSERT_TRUE(held) << story(run);
    EXPECT_EQ(0, run.simCount("RX", p.request)) << story(run);
    ASSERT_EQ("OK release", run.sim().command("release"));
    ASSERT_TRUE(run.waitSim("RX", p.request, 1, 10000)) << story(run);
    size_t done = run.console.waitFor(p.done, 60000, from);
    ASSERT_NE(npos, done) << story(run);
    ASSERT_NE(npos, run.console.waitFor("Status Info: Verbonden", 10000, done)) << story(run);
  }
  ASSERT_TRUE(run.waitSim("RX", "upload-end", 1, 60000)) << story(run);
  EXPECT_NE(npos, run.console.text().find("Status Info: Ophalen #200 gereed."));
  EXPECT_EQ(npos, run.console.text().find("Status Info: Tolvan niet aangesloten")) << story(run);
  EXPECT_EQ(200, run.simCount("RX", "ack"));
  for (int i = 0; i < 100 && readFile(run.path("out.kvn")).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  // What was fetched went back unchanged: both dialogues were exact.
  EXPECT_EQ(kvn, readFile(run.path("out.kvn")));
  run.proc().signal(SIGTERM);
  EXPECT_EQ(0, run.proc().waitExit(15000)) << run.proc().err();
}

TEST(KestrumTimingE2e, ProgramOptionStartedWhileAStatusInfoIsHalfSentProgramsExactly) {
  E2E_SKIP_WITHOUT_DISPLAY();
  std::string kvn = e2eKvn(entry);
  E2eRun run({"--out", "@out.kvn", "--baud", "9600"}, {{"file.kvn", kvn}});
  startCrossed(run, {"-program", "file.kvn"});
  EXPECT_EQ(0, run.proc().waitExit(60000)) << story(run) << run.proc().err();
  EXPECT_EQ(kvn, readFile(run.path("out.kvn")));
  EXPECT_EQ(1, run.simCount("RX", "upload-request"));
  EXPECT_EQ(npos, run.console.text().find("Status Info: Tolvan niet aangesloten")) << story(run);
}

TEST(KestrumTimingE2e, UpgradeStartedWhileAStatusInfoIsHalfSentLoadsTheImageExactly) {
  E2E_SKIP_WITHOUT_DISPLAY();
  using namespace upgradepack;
  E2eRun run({"--image-out", "@image.bin", "--baud", "9600"});
  std::string app = application(3000);
  std::string pack = buildPack(run, app);
  ASSERT_FALSE(pack.empty());
  startCrossed(run, {"-upgrade", "-revpack", pack, "-binfile", BIN_GROUP});
  EXPECT_EQ(0, run.proc().waitExit(90000)) << story(run) << run.proc().err();
  EXPECT_EQ(padded(app), readFile(run.path("image.bin")));
  EXPECT_EQ(1, run.simCount("RX", "upgrade-request"));
}

// A program that did not run for longer than the life check's time-out (a
// debugger, a suspended laptop; here SIGSTOP) sends one status request when
// it runs again, not one for every second it missed, reads the answers that
// waited at the port, and keeps the device it had.
TEST(KestrumTimingE2e, ProgramStoppedLongerThanTheLifeCheckKeepsItsDevice) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--baud", "9600"});
  run.start();
  ASSERT_TRUE(run.console.command("Tlctrl lvl all"));
  ASSERT_NE(npos, run.console.waitFor("Status Info: Verbonden", 10000)) << story(run);
  ASSERT_TRUE(run.waitSim("TX", "status-info", 2, 10000)) << story(run);
  run.proc().signal(SIGSTOP);
  std::this_thread::sleep_for(std::chrono::seconds(12));
  int before = run.simCount("RX", "status-request");
  size_t from = run.console.text().size();
  run.proc().signal(SIGCONT);
  ASSERT_TRUE(run.waitSim("RX", "status-request", before + 3, 15000)) << story(run);
  // One a second: the twelve seconds missed did not come out at once.
  EXPECT_LE(run.simCount("RX", "status-request"), before + 5);
  EXPECT_EQ(npos, run.console.text().find("Tolvan niet aangesloten", from)) << story(run);
  run.proc().signal(SIGTERM);
  // 1 would say that the device was taken for lost.
  EXPECT_EQ(0, run.proc().waitExit(15000)) << run.proc().err();
}
