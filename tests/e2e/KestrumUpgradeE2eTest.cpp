#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "E2eHarness.h"
#include "ExitCode.h"
#include "UpgradePack.h"

// Firmware upgrade from the command line, the program against the
// simulator's boot loader.

using namespace upgradepack;

namespace {
const auto npos = std::string::npos;
}  // namespace

TEST(KestrumUpgradeE2e, UpgradeOptionLoadsTheBinIntoTheDeviceAndExitsWithZero) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--image-out", "@image.bin"});
  std::string app = application(3000);
  std::string pack = buildPack(run, app);
  ASSERT_FALSE(pack.empty());
  run.start({"-upgrade", "-revpack", pack, "-binfile", BIN_GROUP});
  // Standard error too: a sanitizer report there says why a run died.
  EXPECT_EQ(0, run.proc().waitExit(60000)) << run.console.text() << run.proc().err();
  EXPECT_EQ(padded(app), e2eRead(run.path("image.bin")));
  std::string trace = run.console.text();
  size_t full = trace.find("Status Info: Upgrading 100% ready");
  EXPECT_NE(npos, full) << trace;
  EXPECT_NE(npos, trace.find("Status Info: Upgrading Ready", full == npos ? 0 : full)) << trace;
  EXPECT_EQ(1, run.simCount("RX", "upgrade-request"));
  EXPECT_EQ(1, run.simCount("RX", "eot"));
  EXPECT_TRUE(run.dialogs().empty());
}

TEST(KestrumUpgradeE2e, UpgradeOptionServesADeviceWaitingInItsBootLoaderWithoutAsking) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--boot", "--image-out", "@image.bin"});
  std::string app = application(1000);
  std::string pack = buildPack(run, app, {"BOOT_LOAD_H00.bin", "BOOT_LOAD_H49.bin"});
  ASSERT_FALSE(pack.empty());
  run.start({"-upgrade", "-revpack", pack, "-binfile", BIN_GROUP});
  EXPECT_EQ(0, run.proc().waitExit(60000)) << run.console.text() << run.proc().err();
  EXPECT_EQ(padded(app), e2eRead(run.path("image.bin")));
  // The device asked; the loader for unknown hardware went first, then the
  // one its boot information called for.
  EXPECT_EQ(0, run.simCount("RX", "upgrade-request"));
  EXPECT_EQ(2, run.simCount("RX", "boot-load-data"));
  EXPECT_NE(npos, run.console.text().find("Status Info: Upgrading Ready"));
  EXPECT_TRUE(run.dialogs().empty());
}

TEST(KestrumUpgradeE2e, UpgradeOptionWithAnUnknownPackSendsNothingAndExitsAsUnusableInput) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run;
  run.start({"-upgrade", "-revpack", "TL-9.99[0000].RPA", "-binfile", BIN_GROUP});
  EXPECT_EQ(EXIT_INPUT_UNUSABLE, run.proc().waitExit(30000)) << run.console.text() << run.proc().err();
  EXPECT_NE(npos, run.proc().err().find("kestrum: -upgrade: revision pack TL-9.99[0000] not found"))
      << run.proc().err();
  EXPECT_EQ(0, run.simCount("RX", "upgrade-request"));
  EXPECT_NE(npos, run.console.text().find("Revision pack TL-9.99[0000] not found"));
}
