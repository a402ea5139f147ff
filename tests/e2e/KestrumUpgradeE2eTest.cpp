#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "E2eHarness.h"

// Firmware upgrade from the command line, the program against the
// simulator's boot loader.

namespace {

const auto npos = std::string::npos;
const char* const BIN_GROUP = "Tolvan 8888 GSM_620.bin";

// The application part of a bin file (from the start address 0x100 on): a
// counting pattern with the device type behind its hardware and a version.
std::string application(size_t size) {
  std::string b(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    char c = static_cast<char>(i * 13 + i / 256);
    b[i] = (c == 'T' || c == 'V') ? ' ' : c;
  }
  b.replace(size / 2, 19, "xxH.49TL8888GM-EDyy");
  b.replace(size / 2 + 40, 22, "VERSION: TL-6.20STD001");
  return b;
}

// Bins in "bins" of the working directory, made into a pack by the program
// itself; the pack's file name.
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

TEST(KestrumUpgradeE2e, UpgradeOptionWithAnUnknownPackSendsNothingAndExitsWithOne) {
  E2E_SKIP_WITHOUT_DISPLAY();
  E2eRun run;
  run.start({"-upgrade", "-revpack", "TL-9.99[0000].RPA", "-binfile", BIN_GROUP});
  EXPECT_EQ(1, run.proc().waitExit(30000)) << run.console.text() << run.proc().err();
  EXPECT_EQ(0, run.simCount("RX", "upgrade-request"));
  EXPECT_NE(npos, run.console.text().find("Revision pack TL-9.99[0000] not found"));
}
