// What only the whole process shows: the single-instance lock, the remote
// debug console reached by name, how a run ends, and the installed program.
// (The console's commands during a run are end-to-end tests.)
#include <gtest/gtest.h>

#include <filesystem>

#include "ChildProcess.h"
#include "DebugConsole.h"
#include "ExitCode.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "WaitUntil.h"

namespace fs = std::filesystem;

namespace {

const std::string kBinary = KESTRUM_BINARY_DIR "/main/kestrum";
const char* kLockName = "Vask_KR-2.18_MutexId.lock";

std::vector<fs::path> packsIn(const fs::path& dir) {
  std::vector<fs::path> packs;
  std::error_code ec;
  for (const auto& f : fs::directory_iterator(dir / "RevPacks", ec))
    if (f.path().extension() == ".rpa") packs.push_back(f.path());
  return packs;
}

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

// The console's host may be a name; one that does not resolve leaves remote
// debugging off with a warning. A pack creation that makes nothing ends with
// the unusable-input code and one line saying why. A revision pack given as
// an argument makes the program work in its own directory.
TEST_F(ProcessTest, RemoteDebugHostNameAndAFailedPackCreation) {
  DebugConsole c;
  TempDir progDir;
  fs::create_symlink(kBinary, progDir.path() + "/kestrum");
  writeFile(work.path() + "/TL6[00ab].rpa", "[.]\n");
  auto p = start(
      {"TL6[00ab].rpa", "-remdbg", "localhost", std::to_string(c.port()), "-cmdl_crtrpa", "-bindir", "none"},
      false, progDir.path() + "/kestrum");
  EXPECT_NE(c.waitFor("Exit code:2", 20000), std::string::npos) << c.text() << p->err();
  EXPECT_EQ(p->waitExit(), EXIT_INPUT_UNUSABLE);
  EXPECT_EQ(p->err().rfind("kestrum: -cmdl_crtrpa: bin directory ", 0), 0u) << p->err();
  EXPECT_EQ(p->err().find("\n"), p->err().size() - 1) << p->err();
  EXPECT_NE(p->err().find(work.path() + "/none"), std::string::npos) << p->err();  // where it was given
  EXPECT_TRUE(fs::exists(progDir.path() + "/RevPacks/TL6[00ab].rpa"));
  EXPECT_TRUE(fs::exists(progDir.path() + "/dbgTraceCommands.txt"));
  auto q = start({"-remdbg", "no-such-host.invalid", "4000", "-cmdl_crtrpa", "-bindir", "none"}, false);
  EXPECT_EQ(q->waitExit(), EXIT_INPUT_UNUSABLE);
  EXPECT_NE(q->err().find("kestrum: -remdbg: host \"no-such-host.invalid\" not found; remote debugging off"),
            std::string::npos)
      << q->err();
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
  // The man pages are made from the usage texts and carry the one table of
  // exit codes, the same as the README's.
  std::string page = readFile(p / "share/man/man1/kestrum.1");
  EXPECT_NE(page.find(".TP\n\\fB\\-upgrade\\fR"), std::string::npos) << page;
  EXPECT_EQ(page.find("@OPTIONS@"), std::string::npos);
  const std::string readme = readFile(KESTRUM_SOURCE_DIR "/README.md");
  for (int code : {EXIT_OK, EXIT_DEVICE_LOST, EXIT_INPUT_UNUSABLE, EXIT_VERIFY_DIFFERS, EXIT_ANOTHER_INSTANCE,
                   EXIT_INTERRUPTED}) {
    EXPECT_NE(page.find(".TP\n.B " + std::to_string(code) + "\n"), std::string::npos) << code;
    EXPECT_NE(readme.find("\n| " + std::to_string(code) + " | "), std::string::npos) << code;
  }

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
  std::vector<fs::path> packs = packsIn(user);
  ASSERT_EQ(packs.size(), 1u);
  EXPECT_NE(readFile(packs[0]).find("Tolvan 8888 GSM v6.12.bin"), std::string::npos);
  EXPECT_FALSE(fs::exists(work.path() + "/RevPacks"));
}
