#include <gtest/gtest.h>

#include <csignal>
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

namespace {
// The settings the device holds before the upgrade.
std::string deviceSettings() {
  return e2eKvn([](int n) {
    if (n == 10) return std::string("TL8888GM-ED|");
    return "Veld " + std::to_string(n) + "|" + std::to_string(3100000 + n);
  });
}

// The files in backups/ of the run's working directory.
std::vector<std::string> backups(E2eRun& run) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(run.path("backups"), ec))
    out.push_back("backups/" + e.path().filename().string());
  return out;
}
}  // namespace

TEST(KestrumUpgradeE2e, UpgradeOptionLoadsTheBinIntoTheDeviceAndExitsWithZero) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--image-out", "@image.bin", "--kvn", "@dev.kvn"}, {{"dev.kvn", deviceSettings()}});
  std::string app = application(3000);
  std::string pack = buildPack(run, app);
  ASSERT_FALSE(pack.empty());
  run.start({"-upgrade", "-revpack", pack, "-binfile", BIN_GROUP});
  // Standard error too: a sanitizer report there says why a run died.
  EXPECT_EQ(0, run.proc().waitExit(60000)) << run.console.text() << run.proc().err();
  EXPECT_EQ(padded(app), readFile(run.path("image.bin")));
  std::string trace = run.console.text();
  size_t full = trace.find("Status Info: Upgrading 100% ready");
  EXPECT_NE(npos, full) << trace;
  EXPECT_NE(npos, trace.find("Status Info: Upgrading Ready", full == npos ? 0 : full)) << trace;
  EXPECT_EQ(1, run.simCount("RX", "upgrade-request"));
  EXPECT_EQ(1, run.simCount("RX", "eot"));
  EXPECT_TRUE(run.dialogs().empty());
  // The settings were saved before the upgrade wrote anything.
  std::vector<std::string> saved = backups(run);
  ASSERT_EQ(1u, saved.size());
  EXPECT_EQ(deviceSettings(), readFile(run.path(saved[0])));
  EXPECT_NE(npos, trace.find("Backup saved: " + saved[0])) << trace;
  EXPECT_NE(npos, trace.find("Status Info: Backup van de instellingen: " + saved[0])) << trace;
  std::string simLog = readFile(run.path("sim.log"));
  EXPECT_LT(simLog.find("download-request"), simLog.find("upgrade-request"));
}

// A device that will not give its settings: without a backup an unattended
// upgrade does not start, unless its command line allows it.
TEST(KestrumUpgradeE2e, UpgradeWithoutABackupNeedsItsOption) {
  E2E_SKIP_WITHOUT_DISPLAY();
  struct Case {
    bool allow;
    int exitCode;
  } cases[] = {{false, 1}, {true, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.allow);
    E2eRun run({"--wait", "1000000", "--image-out", "@image.bin"});
    std::string app = application(1000);
    std::string pack = buildPack(run, app);
    ASSERT_FALSE(pack.empty());
    std::vector<std::string> args{"-upgrade", "-revpack", pack, "-binfile", BIN_GROUP};
    if (c.allow) args.push_back("-allownobackup");
    run.start(args);
    EXPECT_EQ(c.exitCode, run.proc().waitExit(60000)) << run.console.text() << run.proc().err();
    std::string trace = run.console.text();
    EXPECT_NE(npos, trace.find("Geen backup van de instellingen: de Tolvan geeft zijn instellingen niet")) << trace;
    EXPECT_EQ(c.allow ? 1 : 0, run.simCount("RX", "upgrade-request"));
    if (c.allow)
      EXPECT_EQ(padded(app), readFile(run.path("image.bin")));
    else
      EXPECT_NE(npos, trace.find("Status Info: Upgrade niet gestart: geen backup van de instellingen")) << trace;
    EXPECT_TRUE(backups(run).empty());
    // Nobody is asked in an unattended run.
    EXPECT_TRUE(run.dialogs().empty());
  }
}

TEST(KestrumUpgradeE2e, UpgradeOptionServesADeviceWaitingInItsBootLoaderWithoutAsking) {
  E2E_SKIP_WITHOUT_DISPLAY();
  struct Case {
    std::vector<std::string> boots;
    int loadersSent;
  } cases[] = {{{"BOOT_LOAD_H00.bin", "BOOT_LOAD_H49.bin"}, 2}, {{"BOOT_LOAD_H49.bin"}, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.loadersSent);
    E2eRun run({"--boot", "--image-out", "@image.bin"});
    std::string app = application(1000);
    std::string pack = buildPack(run, app, c.boots);
    ASSERT_FALSE(pack.empty());
    run.start({"-upgrade", "-revpack", pack, "-binfile", BIN_GROUP});
    EXPECT_EQ(0, run.proc().waitExit(60000)) << run.console.text() << run.proc().err();
    EXPECT_EQ(padded(app), readFile(run.path("image.bin")));
    // The device asked; not knowing its hardware, a loader of the pack went
    // first (the old one when there is one), then the one its boot
    // information called for.
    EXPECT_EQ(0, run.simCount("RX", "upgrade-request"));
    EXPECT_EQ(c.loadersSent, run.simCount("RX", "boot-load-data"));
    std::string trace = run.console.text();
    EXPECT_NE(npos, trace.find("Status Info: Upgrading Ready"));
    EXPECT_EQ(npos, trace.find("No 2nd boot")) << trace;
    EXPECT_TRUE(run.dialogs().empty());
    // No settings to give: no backup.
    EXPECT_EQ(0, run.simCount("RX", "download-request"));
    EXPECT_TRUE(backups(run).empty());
  }
}

// A signal ends an upgrade without asking, and the run does not count as a
// success.
TEST(KestrumUpgradeE2e, SignalDuringTheTransferEndsTheRunAsInterrupted) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run({"--baud", "9600"});
  std::string pack = buildPack(run, application(60000));
  ASSERT_FALSE(pack.empty());
  run.start({"-upgrade", "-revpack", pack, "-binfile", BIN_GROUP});
  ASSERT_TRUE(run.waitSim("RX", "packet", 1, 60000)) << run.console.text();
  run.proc().signal(SIGTERM);
  EXPECT_EQ(EXIT_INTERRUPTED, run.proc().waitExit(30000)) << run.console.text() << run.proc().err();
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
