#include <gtest/gtest.h>

#include "E2eHarness.h"
#include "ExitCode.h"

// Firmware upgrades from the command line, the program against the
// simulator's boot loader.

namespace {
// The files in backups/ of the run's working directory.
std::vector<std::string> backups(E2eRun& run) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(run.path("backups"), ec))
    out.push_back("backups/" + e.path().filename().string());
  return out;
}
}  // namespace

// Without a display: the device's settings are saved first, then the bin
// goes in exactly, and the status lines come on standard output.
TEST(KestrumUpgradeE2e, UpgradeSavesTheSettingsThenLoadsTheBinExactly) {
  E2eRun run({"--image-out", "@image.bin", "--kvn", "@dev.kvn"}, {{"dev.kvn", e2eKvn()}});
  std::string app = application(3000);
  run.noDisplay = true;
  run.start(upgradeFrom(run, app));
  EXPECT_EQ(EXIT_OK, run.proc().waitExit(60000)) << run.story();
  EXPECT_EQ(padded(app), readFile(run.path("image.bin")));
  const std::string& out = run.proc().out();
  size_t full = out.find("Status Info: Upgrading 100% ready\n");
  EXPECT_NE(npos, full) << out;
  EXPECT_NE(npos, out.find("Status Info: Upgrading Ready\n", full == npos ? 0 : full)) << out;
  EXPECT_EQ(1, run.simCount("RX", "upgrade-request"));
  EXPECT_EQ(1, run.simCount("RX", "eot"));
  EXPECT_TRUE(run.dialogs().empty());
  std::vector<std::string> saved = backups(run);
  ASSERT_EQ(1u, saved.size());
  EXPECT_EQ(e2eKvn(), readFile(run.path(saved[0])));
  std::string trace = run.console.text();
  EXPECT_NE(npos, trace.find("Backup saved: " + saved[0])) << trace;
  EXPECT_NE(npos, trace.find("Status Info: Backup van de instellingen: " + saved[0])) << trace;
  std::string simLog = readFile(run.path("sim.log"));
  EXPECT_LT(simLog.find("download-request"), simLog.find("upgrade-request"));
}

// A device that will not give its settings: without a backup an unattended
// upgrade does not start, unless its command line allows it.
TEST(KestrumUpgradeE2e, UpgradeWithoutABackupNeedsItsOption) {
  E2E_SKIP_WITHOUT_DISPLAY();
  for (bool allow : {false, true}) {
    SCOPED_TRACE(allow);
    E2eRun run({"--wait", "1000000", "--image-out", "@image.bin"});
    std::string app = application(1000);
    std::vector<std::string> args = upgradeFrom(run, app);
    if (allow) args.push_back("-allownobackup");
    run.start(args);
    EXPECT_EQ(allow ? EXIT_OK : EXIT_DEVICE_LOST, run.proc().waitExit(90000)) << run.story();
    std::string trace = run.console.text();
    EXPECT_NE(npos, trace.find("Geen backup van de instellingen: de Tolvan geeft zijn instellingen niet")) << trace;
    EXPECT_EQ(allow ? 1 : 0, run.simCount("RX", "upgrade-request"));
    if (allow) {
      EXPECT_EQ(padded(app), readFile(run.path("image.bin")));
    } else {
      EXPECT_NE(npos, trace.find("Status Info: Upgrade niet gestart: geen backup van de instellingen")) << trace;
    }
    EXPECT_TRUE(backups(run).empty());
    EXPECT_TRUE(run.dialogs().empty());
  }
}

// The device asks for firmware: the bin named on the command line is sent
// without asking anybody. Not knowing its hardware, the program sends the
// pack's old loader first, then the one its boot information calls for.
TEST(KestrumUpgradeE2e, UpgradeServesADeviceWaitingInItsBootLoaderWithoutAsking) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--boot", "--image-out", "@image.bin"});
  std::string app = application(1000);
  run.start(upgradeFrom(run, app, {"BOOT_LOAD_H00.bin", "BOOT_LOAD_H49.bin"}));
  EXPECT_EQ(EXIT_OK, run.proc().waitExit(60000)) << run.story();
  EXPECT_EQ(padded(app), readFile(run.path("image.bin")));
  EXPECT_EQ(0, run.simCount("RX", "upgrade-request"));
  EXPECT_EQ(2, run.simCount("RX", "boot-load-data"));
  EXPECT_EQ(npos, run.console.text().find("No 2nd boot")) << run.story();
  EXPECT_TRUE(run.dialogs().empty());
  // No settings to give: no backup.
  EXPECT_EQ(0, run.simCount("RX", "download-request"));
  EXPECT_TRUE(backups(run).empty());
}

// Pulled out half-way: the upgrade's 30-second watchdog ends the run as
// failed, and the device holds no image.
TEST(KestrumUpgradeE2e, DeviceUnpluggedDuringTheTransferEndsTheUpgradeWithOne) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--image-out", "@image.bin", "--baud", "9600", "--entries", "5"});
  run.start(upgradeFrom(run, application(8000)));
  ASSERT_TRUE(run.waitSim("RX", "packet 10", 1, 60000)) << run.story();
  ASSERT_EQ("OK unplug", run.sim().command("unplug"));
  EXPECT_EQ(EXIT_DEVICE_LOST, run.proc().waitExit(90000)) << run.story();
  EXPECT_NE(npos, run.proc().err().find("lost: the device hung up the line")) << run.proc().err();
  EXPECT_EQ(0, run.simCount("RX", "eot"));
  EXPECT_EQ("", readFile(run.path("image.bin")));
  EXPECT_NE(npos, run.console.text().find("Status Info: Upgrading Ready")) << run.story();
}

// Started while the answer to its second status request is right behind the
// first, which the simulator holds half sent; then noise before the boot
// loader's frames, the second-stage loader received damaged, a packet
// refused: the upgrade waits for the whole answer, retries and time-outs
// bring the image through exactly.
TEST(KestrumUpgradeE2e, UpgradeThroughAHalfSentAnswerAndNoiseLoadsTheImageExactly) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--image-out", "@image.bin", "--baud", "9600", "--entries", "5", "--nak-packet", "6"});
  std::string app = application(3000);
  ASSERT_EQ("OK split 20 600000", run.sim().command("split 20 600000"));
  run.start(upgradeFrom(run, app));
  ASSERT_TRUE(run.waitSim("--", "split: 20 of", 1)) << run.story();
  // The start's request is answered in part; the 2-second retry is queued
  // behind it.
  ASSERT_TRUE(run.waitSim("RX", "status-request", 2)) << run.story();
  ASSERT_EQ("OK release", run.sim().command("release"));
  // The device restarts into its boot loader; before it speaks again:
  ASSERT_TRUE(run.waitSim("RX", "upgrade-request", 1)) << run.story();
  run.sim().command("noise 6");
  run.sim().command("garble 1");
  ASSERT_TRUE(run.waitSim("TX", "boot-load-request", 1)) << run.story();
  run.sim().command("noise 7");
  EXPECT_EQ(EXIT_OK, run.proc().waitExit(90000)) << run.story();
  EXPECT_EQ(padded(app), readFile(run.path("image.bin")));
  EXPECT_EQ(1, run.simCount("RX", "upgrade-request"));
  EXPECT_EQ(1, run.simCount("RX", "garbled"));
  EXPECT_EQ(1, run.simCount("RX", "refused"));
  EXPECT_GE(run.simCount("TX", "noise"), 2);
  EXPECT_EQ(1, run.simCount("RX", "eot"));
  EXPECT_EQ(npos, run.console.text().find("Status Info: Tolvan niet aangesloten")) << run.story();
}
