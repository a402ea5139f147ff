// What only the whole process shows: the single-instance lock and the
// installed program. (How runs end is an end-to-end test.)
#include <gtest/gtest.h>

#include <filesystem>

#include "ChildProcess.h"
#include "ExitCode.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "WaitUntil.h"

namespace fs = std::filesystem;

namespace {

const std::string kBinary = KESTRUM_BINARY_DIR "/main/kestrum";
const char* kLockName = "Vask_KR-2.18_MutexId.lock";

// Every run has its own runtime directory (so its own lock), home and
// working directory.
struct ProcessTest : ::testing::Test {
  std::unique_ptr<ChildProcess> start(std::vector<std::string> args, bool display = true,
                                      const std::string& prog = kBinary) {
    args.insert(args.begin(), prog);
    std::vector<std::pair<std::string, std::string>> env = {{"XDG_RUNTIME_DIR", runtime.path()},
                                                            {"HOME", home.path()},
                                                            {"XDG_DATA_HOME", ""},
                                                            {"KESTRUM_DIALOG_SCRIPT", "/dev/null"}};
    if (!display) env.push_back({"DISPLAY", ""});
    return std::make_unique<ChildProcess>(args, env, work.path());
  }
  TempDir runtime, home, work;
};

}  // namespace

// "help" with another argument is no request for help: the program starts.
TEST_F(ProcessTest, SecondInstanceIsRefusedWithItsOwnCodeAndTheLockIsFreedAtExit) {
  if (!getenv("DISPLAY") || !*getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
  auto first = start({"help", "x"});
  const std::string lock = runtime.path() + "/" + kLockName;
  ASSERT_TRUE(waitUntil([&] { return fs::exists(lock); }, 20000));
  auto second = start({});
  EXPECT_EQ(second->waitExit(), EXIT_ANOTHER_INSTANCE);
  EXPECT_NE(second->err().find("another instance"), std::string::npos) << second->err();
  EXPECT_NE(second->err().find(std::string(kLockName) + ", pid " + std::to_string(first->pid()) + ")"),
            std::string::npos)
      << second->err();
  first->signal(SIGINT);
  EXPECT_EQ(first->waitExit(), 0);
  EXPECT_EQ(first->out().find("# Usage:"), std::string::npos);
  EXPECT_FALSE(fs::exists(lock));
}

// cmake --install into a temporary prefix, then the installed kestrum: run
// elsewhere than in a configured directory it prepares and works in the
// per-user directory (building a revision pack needs no display, so the run
// ends by itself).
TEST_F(ProcessTest, InstalledProgramWorksInThePerUserDirectory) {
  TempDir prefix;
  ChildProcess install({KESTRUM_CMAKE_COMMAND, "--install", KESTRUM_BINARY_DIR, "--prefix", prefix.path()});
  ASSERT_EQ(install.waitExit(120000), 0) << install.out() << install.err();
  const fs::path p(prefix.path());
  for (const char* f :
       {"bin/kestrum", "bin/tolvan-sim", "share/kestrum/config.csv", "share/kestrum/help/algemeen.html",
        "share/applications/kestrum.desktop", "share/icons/hicolor/32x32/apps/kestrum.png"})
    EXPECT_TRUE(fs::is_regular_file(p / f)) << f;

  const std::string kestrum = (p / "bin/kestrum").string();
  auto help = start({"help"}, true, kestrum);
  EXPECT_EQ(help->waitExit(), 0);
  EXPECT_EQ(help->out().find(std::string(79, '#') + "\n# Usage: " + kestrum + "\n"), 0u) << help->out();
  EXPECT_FALSE(fs::exists(home.path() + "/.local"));

  std::string image(4096, '0');
  image.replace(2048, 15, "H.49TL8888GM-ED");
  image.replace(2112, 22, "VERSION: TL-6.12SPEC01");
  fs::create_directories(work.path() + "/bins");
  writeFile(work.path() + "/bins/TL8888GM-ED v6.12.bin", image);
  auto run = start({"-cmdl_crtrpa", "-bindir", "bins"}, false, kestrum);
  ASSERT_EQ(run->waitExit(60000), 0) << run->out() << run->err();
  const fs::path user = fs::path(home.path()) / ".local/share/kestrum";
  EXPECT_NE(run->err().find("kestrum: Prepared " + user.string() + " from " + (p / "share/kestrum").string()),
            std::string::npos)
      << run->err();
  // The relative bin directory was read where the user gave it; the pack
  // went into the per-user directory, named with the shipped customer name.
  std::vector<fs::path> packs;
  for (const auto& f : fs::directory_iterator(user / "RevPacks"))
    if (f.path().extension() == ".rpa") packs.push_back(f.path());
  ASSERT_EQ(packs.size(), 1u);
  EXPECT_NE(readFile(packs[0]).find("Tolvan 8888 GSM v6.12.bin"), std::string::npos);
  EXPECT_FALSE(fs::exists(work.path() + "/RevPacks"));
}
