#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "E2eHarness.h"

// Command-line firmware upgrades against a device that misbehaves: pulled
// out half-way, noise before its frames, a damaged packet and a damaged
// boot loader on the way in.

namespace {

const auto npos = std::string::npos;
const char* const BIN_GROUP = "Tolvan 8888 GSM_620.bin";

// An application image that passes the pack's checks: the device type
// behind its hardware version, and a version text.
std::string application(size_t size) {
  std::string b(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    char c = static_cast<char>(i * 7 + i / 300);
    b[i] = (c == 'T' || c == 'V') ? ' ' : c;
  }
  b.replace(size / 2, 19, "xxH.49TL8888GM-EDyy");
  b.replace(size / 2 + 40, 22, "VERSION: TL-6.20STD001");
  return b;
}

// The pack the program makes itself from the bins; its file name.
std::string buildPack(E2eRun& run, const std::string& app) {
  std::filesystem::create_directory(run.path("bins"));
  e2eWrite(run.path("bins/TL8888GM-ED_620.bin"), std::string(0x100, '\xEE') + app);
  e2eWrite(run.path("bins/BOOT_LOAD_H49.bin"), std::string(1800, '\x5A'));
  ChildProcess make({E2eRun::kestrum(), "-cmdl_crtrpa", "-bindir", "bins"},
                    {{"XDG_RUNTIME_DIR", run.path("xdg")}, {"KESTRUM_DIALOG_SCRIPT", "/dev/null"}}, run.path(""));
  if (make.waitExit(30000) != 0) return "";
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(run.path("RevPacks"), ec))
    if (e.path().extension() == ".rpa") return e.path().filename().string();
  return "";
}

std::string padded(std::string s) {
  while (s.size() % 128) s.push_back('\xFF');
  return s;
}

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
  EXPECT_EQ("", e2eRead(run.path("image.bin")));
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
  EXPECT_EQ(padded(app), e2eRead(run.path("image.bin")));
  EXPECT_EQ(1, run.simCount("RX", "garbled"));
  EXPECT_EQ(1, run.simCount("RX", "refused"));
  EXPECT_GE(run.simCount("TX", "noise"), 2);
  EXPECT_EQ(1, run.simCount("RX", "eot"));
}
