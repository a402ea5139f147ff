#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "E2eHarness.h"
#include "UpgradePack.h"

// Command-line firmware upgrades against a device that misbehaves: pulled
// out half-way, noise before its frames, a damaged packet and a damaged
// boot loader on the way in.

using namespace upgradepack;

namespace {
const auto npos = std::string::npos;
}  // namespace

// Waits out the upgrade's 30-second watchdog.
TEST(KestrumUpgradeFaultE2e, DeviceUnpluggedDuringTheTransferEndsTheUpgradeWithOne) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--image-out", "@image.bin", "--baud", "9600"});
  std::string pack = buildPack(run, application(8000));
  ASSERT_FALSE(pack.empty());
  run.start({"-upgrade", "-revpack", pack, "-binfile", BIN_GROUP});
  ASSERT_TRUE(run.waitSim("RX", "packet 10", 1, 30000)) << run.console.text();
  run.sim().command("unplug");
  EXPECT_EQ(1, run.proc().waitExit(50000)) << run.console.text() << run.proc().err();
  EXPECT_NE(npos, run.proc().err().find("lost: the device hung up the line")) << run.proc().err();
  EXPECT_EQ(0, run.simCount("RX", "eot"));
  EXPECT_EQ("", readFile(run.path("image.bin")));
  EXPECT_NE(npos, run.console.text().find("Status Info: Upgrading Ready"));
}

// Noise before the boot loader's frames, the second-stage loader received
// damaged, a packet refused: retries and time-outs bring the image through
// exactly.
TEST(KestrumUpgradeFaultE2e, NoiseAndDamageDuringTheUpgradeAreRecoveredAndTheImageIsExact) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--image-out", "@image.bin", "--nak-packet", "6"});
  std::string app = application(3000);
  std::string pack = buildPack(run, app);
  ASSERT_FALSE(pack.empty());
  run.start({"-upgrade", "-revpack", pack, "-binfile", BIN_GROUP});
  // The device restarts into its boot loader; before it speaks again:
  ASSERT_TRUE(run.waitSim("RX", "upgrade-request", 1, 20000)) << run.console.text();
  run.sim().command("noise 6");
  run.sim().command("garble 1");
  ASSERT_TRUE(run.waitSim("TX", "boot-load-request", 1, 5000)) << run.console.text();
  run.sim().command("noise 7");
  EXPECT_EQ(0, run.proc().waitExit(60000)) << run.console.text() << run.proc().err();
  EXPECT_EQ(padded(app), readFile(run.path("image.bin")));
  EXPECT_EQ(1, run.simCount("RX", "garbled"));
  EXPECT_EQ(1, run.simCount("RX", "refused"));
  EXPECT_GE(run.simCount("TX", "noise"), 2);
  EXPECT_EQ(1, run.simCount("RX", "eot"));
}
