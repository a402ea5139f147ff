#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ChildProcess.h"
#include "TempDir.h"
#include "ExitCode.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A firmware image that the shipped config.ini knows the type of.
std::string firmware() {
  std::string b(4096, '0');
  b.replace(2048, 15, "H.49TL8888GM-ED");
  b.replace(2112, 22, "VERSION: TL-6.12SPEC01");
  return b;
}

std::vector<fs::path> packsIn(const fs::path& dir) {
  std::vector<fs::path> packs;
  std::error_code ec;
  for (const auto& f : fs::directory_iterator(dir / "RevPacks", ec))
    if (f.path().extension() == ".rpa") packs.push_back(f.path());
  return packs;
}

}  // namespace

// cmake --install into a temporary prefix, then the installed kestrum: it
// prints its usage, and run elsewhere than in a configured directory it
// prepares and works in the per-user directory (building a revision pack
// needs no display, so the run ends by itself).
TEST(InstalledRun, InstalledProgramWorksInThePreparedPerUserDirectory) {
  TempDir prefix, home, runtime, start;
  ChildProcess install({KESTRUM_CMAKE_COMMAND, "--install", KESTRUM_BINARY_DIR, "--prefix", prefix.path()});
  ASSERT_EQ(install.waitExit(120000), 0) << install.out() << install.err();

  const fs::path p(prefix.path());
  for (const char* f : {"bin/kestrum", "bin/tolvan-sim", "share/kestrum/config.ini", "share/kestrum/config.csv",
                        "share/kestrum/language.csv", "share/kestrum/help/algemeen.html",
                        "share/applications/kestrum.desktop", "share/icons/hicolor/32x32/apps/kestrum.png",
                        "share/man/man1/kestrum.1", "share/man/man1/tolvan-sim.1"})
    EXPECT_TRUE(fs::is_regular_file(p / f)) << f;
  // The man pages carry every option of the usage texts.
  std::string page = readAll(p / "share/man/man1/kestrum.1");
  for (const char* o : {"\\-cmdl_crtrpa", "\\-bindir", "\\-createrevpack", "\\-nohwcheck", "\\-upgrade", "\\-revpack",
                        "\\-binfile", "\\-allownobackup", "\\-program"})
    EXPECT_NE(page.find(std::string(".TP\n\\fB") + o + "\\fR"), std::string::npos) << o << "\n" << page;
  EXPECT_EQ(page.find("@OPTIONS@"), std::string::npos);
  // One table of exit codes, the same codes in the man page and the README.
  const std::string readme = readAll(fs::path(KESTRUM_SOURCE_DIR) / "README.md");
  for (int code : {EXIT_OK, EXIT_DEVICE_LOST, EXIT_INPUT_UNUSABLE, EXIT_VERIFY_DIFFERS, EXIT_ANOTHER_INSTANCE,
                   EXIT_INTERRUPTED}) {
    EXPECT_NE(page.find(".TP\n.B " + std::to_string(code) + "\n"), std::string::npos) << code;
    EXPECT_NE(readme.find("\n| " + std::to_string(code) + " | "), std::string::npos) << code;
  }
  EXPECT_NE(readAll(p / "share/man/man1/tolvan-sim.1").find("\\fB\\-\\-link\\fR \\fIPATH\\fR"), std::string::npos);

  const std::string kestrum = (p / "bin/kestrum").string();
  ChildProcess help({kestrum, "help"}, {}, start.path());
  EXPECT_EQ(help.waitExit(), 0);
  EXPECT_NE(help.out().find("# Usage: " + kestrum), std::string::npos) << help.out();
  EXPECT_FALSE(fs::exists(home.path() + "/.local"));  // help prepares nothing

  fs::create_directories(start.path() + "/bins");
  std::ofstream(start.path() + "/bins/TL8888GM-ED v6.12.bin", std::ios::binary) << firmware();
  std::vector<std::pair<std::string, std::string>> env = {
      {"HOME", home.path()}, {"XDG_DATA_HOME", ""}, {"XDG_RUNTIME_DIR", runtime.path()}, {"DISPLAY", ""}};
  ChildProcess run({kestrum, "-cmdl_crtrpa", "-bindir", "bins"}, env, start.path());
  ASSERT_EQ(run.waitExit(60000), 0) << run.out() << run.err();

  const fs::path user = fs::path(home.path()) / ".local/share/kestrum";
  // A first run says where it works, once.
  EXPECT_NE(run.err().find("kestrum: Prepared " + user.string() + " from " + (p / "share/kestrum").string()),
            std::string::npos)
      << run.err();
  EXPECT_TRUE(fs::is_regular_file(user / "config.csv"));
  EXPECT_TRUE(fs::is_regular_file(user / "help/algemeen.html"));
  EXPECT_TRUE(fs::is_regular_file(user / "dbgTraceCommands.txt"));
  // The relative bin directory was read where the user gave it; the pack
  // went into the per-user directory, named with the shipped customer name.
  std::vector<fs::path> packs = packsIn(user);
  ASSERT_EQ(packs.size(), 1u);
  EXPECT_NE(readAll(packs[0]).find("Tolvan 8888 GSM v6.12.bin"), std::string::npos);
  EXPECT_FALSE(fs::exists(start.path() + "/RevPacks"));

  // Started in a directory with its own configuration, it works there.
  std::ofstream(start.path() + "/config.ini") << "tolvantype=TL8888GM-ED;Meter A\n";
  ChildProcess own({kestrum, "-cmdl_crtrpa", "-bindir", "bins"}, env, start.path());
  ASSERT_EQ(own.waitExit(60000), 0) << own.out() << own.err();
  packs = packsIn(start.path());
  ASSERT_EQ(packs.size(), 1u);
  EXPECT_NE(readAll(packs[0]).find("Meter A v6.12.bin"), std::string::npos);
  EXPECT_EQ(packsIn(user).size(), 1u);
  EXPECT_EQ(own.err().find("Prepared"), std::string::npos) << own.err();
}
