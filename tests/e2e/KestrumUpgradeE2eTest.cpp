#include <gtest/gtest.h>

#include "E2eHarness.h"
#include "ExitCode.h"

// Firmware upgrades from the command line, the program against the
// simulator's boot loader.

// Without a display, through noise before the boot loader's frames, the
// second-stage loader received damaged and a packet refused: the device's
// settings are saved first, the bin goes in exactly, and the status lines
// come on standard output.
TEST(KestrumUpgradeE2e, UpgradeThroughNoiseSavesTheSettingsThenLoadsTheBinExactly) {
  E2eRun run({"--image-out", "@image.bin", "--baud", "9600", "--entries", "5", "--nak-packet", "6"});
  std::string app = firmwareImage(3000);
  run.noDisplay = true;
  run.start(upgradeFrom(run, app));
  // The device restarts into its boot loader; before it speaks again:
  ASSERT_TRUE(run.waitSim("RX", "upgrade-request", 1)) << run.story();
  run.sim().command("noise 6");
  run.sim().command("garble 1");
  ASSERT_TRUE(run.waitSim("TX", "boot-load-request", 1)) << run.story();
  run.sim().command("noise 7");
  EXPECT_EQ(EXIT_OK, run.proc().waitExit(90000)) << run.story();
  EXPECT_EQ(padded(app), readFile(run.path("image.bin")));
  EXPECT_EQ(1, run.simCount("RX", "garbled"));
  EXPECT_EQ(1, run.simCount("RX", "refused"));
  EXPECT_GE(run.simCount("TX", "noise"), 2);
  EXPECT_TRUE(run.dialogs().empty());
  const std::string& out = run.proc().out();
  size_t backup = out.find("Status Info: Backup van de instellingen: backups/TL8888GM-ED_");
  size_t full = out.find("Status Info: Upgrading 100% ready\n", backup);
  EXPECT_NE(npos, full) << out;
  EXPECT_NE(npos, out.find("Status Info: Upgrading Ready\n", full)) << out;
  EXPECT_NE(npos, run.console.text().find("Backup saved: backups/TL8888GM-ED_")) << run.story();
}

// A device that will not give its settings: without a backup an unattended
// upgrade does not start, unless its command line allows it. A device
// waiting in its boot loader gets the bin named without anybody asked.
TEST(KestrumUpgradeE2e, UpgradeWithoutABackupNeedsItsOption) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--wait", "1000000", "--image-out", "@image.bin"});
  std::string app = firmwareImage(1000);
  std::vector<std::string> args = upgradeFrom(run, app);
  for (bool allow : {false, true}) {
    SCOPED_TRACE(allow);
    if (allow) args.push_back("-allownobackup");
    run.start(args);
    EXPECT_EQ(allow ? EXIT_OK : EXIT_DEVICE_LOST, run.proc().waitExit(90000)) << run.story();
    EXPECT_EQ(allow ? 1 : 0, run.simCount("RX", "upgrade-request"));
    EXPECT_TRUE(run.dialogs().empty());
  }
  EXPECT_EQ(padded(app), readFile(run.path("image.bin")));

  std::filesystem::remove(run.path("image.bin"));
  ASSERT_EQ(0u, run.sim().command("boot").rfind("OK", 0));
  args.pop_back();
  run.start(args);
  EXPECT_EQ(EXIT_OK, run.proc().waitExit(60000)) << run.story();
  EXPECT_EQ(padded(app), readFile(run.path("image.bin")));
  EXPECT_EQ(1, run.simCount("RX", "upgrade-request"));
  EXPECT_TRUE(run.dialogs().empty());
}
