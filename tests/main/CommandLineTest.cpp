#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "TestFiles.h"
#include "CommandLine.h"
#include "FrmKestrumImpl.h"
#include "Main.h"
#include "RevPackDb.h"
#include "TlctrlReadBack.h"

namespace fs = std::filesystem;

namespace {

// The scan of one command line, with every option variable as at start.
struct CommandLineTest : ::testing::Test {
  void SetUp() override { CommandLine::reset(); }
  void TearDown() override { CommandLine::reset(); }
  // Scans args (argv[0] is prog); returns what went to standard error.
  std::string scan(std::vector<std::string> args, const std::string& prog = "kestrum",
                   const std::string& home = "") {
    argStore = args;
    argStore.insert(argStore.begin(), prog);
    argv.clear();
    for (std::string& a : argStore) argv.push_back(a.data());
    line = CommandLine(home);
    testing::internal::CaptureStderr();
    line.scan(static_cast<int>(argv.size()), argv.data());
    return testing::internal::GetCapturedStderr();
  }
  std::vector<std::string> argStore;
  std::vector<char*> argv;
  CommandLine line;
};

std::string str(const char* s) { return s ? s : "(null)"; }

}  // namespace

// Help is a lone argument holding "help" (help, --help, /help).
TEST_F(CommandLineTest, HelpIsAskedByALoneArgument) {
  for (auto c : {std::make_pair(std::vector<std::string>{"help"}, true),
                 {{"--help"}, true},
                 {{"/help"}, true},
                 {{"help", "x"}, false},
                 {{"x"}, false}}) {
    scan(c.first);
    EXPECT_EQ(c.second, CommandLine::helpAsked(static_cast<int>(argv.size()), argv.data()));
  }
}

TEST_F(CommandLineTest, OptionsSetTheirVariables) {
  EXPECT_EQ("", scan({"-cmdl_crtrpa", "-bindir", "bins", "-createrevpack", "-produpgr", "-nohwcheck",
                      "-upgrade", "-allownobackup", "-revpack", "TL-6[00ab]", "-binfile", "b.bin", "-remdbg",
                      "host", "4100", "-unknown"}));
  EXPECT_TRUE(RevPackDb::CMDL_CREATE_REVPACK);
  EXPECT_EQ("bins", str(RevPackDb::CMDL_BINDIR));
  EXPECT_TRUE(FrmKestrumImpl::CREATE_REVPACK);
  EXPECT_FALSE(RevPackDb::CHECK_HARDWARE);
  EXPECT_TRUE(RevPackDb::CMDL_UPGRADE);
  EXPECT_TRUE(RevPackDb::CMDL_ALLOW_NOBACKUP);
  EXPECT_EQ("TL-6[00ab]", str(RevPackDb::CMDL_REVPACK));
  EXPECT_EQ("b.bin", str(RevPackDb::CMDL_BINFILE));
  EXPECT_EQ("host", str(Main::_dbgAddr));
  EXPECT_EQ(4100, Main::_dbgPort);
  // Nothing of the argument vector is written to.
  EXPECT_EQ("kestrum", argStore[0]);
  EXPECT_EQ("TL-6[00ab]", argStore[10]);

  scan({"-program", "a.kvn", "-verify"});
  EXPECT_EQ("a.kvn", str(FrmKestrumImpl::PROG_FILE_KVN));
  EXPECT_TRUE(line.verifyAsked());
  EXPECT_EQ("", str(TlctrlReadBack::VERIFY_FILE));
  scan({"-fetch", "out.kvn"});
  EXPECT_EQ("out.kvn", str(TlctrlReadBack::FETCH_FILE));
  EXPECT_FALSE(line.verifyAsked());
  scan({"-verify", "v.kvn"});
  EXPECT_EQ("v.kvn", str(TlctrlReadBack::VERIFY_FILE));
}

TEST_F(CommandLineTest, MissingValuesAreIgnoredWithAWarning) {
  EXPECT_EQ("kestrum: option -remdbg needs 2 values; ignored\n", scan({"-remdbg", "127.0.0.1"}));
  EXPECT_EQ(0, Main::_dbgPort);
  for (const char* o : {"-bindir", "-revpack", "-binfile", "-program", "-fetch"})
    EXPECT_EQ(std::string("kestrum: option ") + o + " needs 1 value; ignored\n", scan({"-upgrade", o})) << o;
  EXPECT_EQ("", str(RevPackDb::CMDL_BINFILE));
  EXPECT_EQ("", str(FrmKestrumImpl::PROG_FILE_KVN));
}

TEST_F(CommandLineTest, RevisionPacksAreCopiedIntoRevPacksOfTheProgramsDirectory) {
  TempDir progDir, work;
  for (const char* f : {"A[0001].rpa", "B[0002].rpa", "UPPER.RPA"}) writeFile(work.path() + "/" + f, "[.]\n");
  scan({work.path() + "/UPPER.RPA", work.path() + "/A[0001].rpa", work.path() + "/B[0002].rpa"},
       progDir.path() + "/kestrum");
  EXPECT_TRUE(fs::exists(progDir.path() + "/RevPacks/A[0001].rpa"));
  EXPECT_TRUE(fs::exists(progDir.path() + "/RevPacks/B[0002].rpa"));
  EXPECT_FALSE(fs::exists(progDir.path() + "/RevPacks/UPPER.RPA"));  // only ".rpa" counts
  EXPECT_EQ("B[0002].rpa", str(Main::_refPackFile));
  EXPECT_EQ(progDir.path(), line.changeTo());
  EXPECT_EQ(progDir.path() + "/kestrum", argStore[0]);
  // An installed program keeps them where it works instead.
  TempDir home;
  scan({work.path() + "/A[0001].rpa"}, progDir.path() + "/kestrum", home.path());
  EXPECT_TRUE(fs::exists(home.path() + "/RevPacks/A[0001].rpa"));
  EXPECT_EQ(home.path(), line.changeTo());
}

// The program's directory, and the port of the remote debug console (a
// non-number or a number out of range is 0: off).
TEST(CommandLineValues, DirectoryAndPort) {
  for (const char* port : {"abc", "0", "-1", "65536", ""}) EXPECT_EQ(0, CommandLine::readPort(port)) << port;
  EXPECT_EQ(1, CommandLine::readPort("1"));
  EXPECT_EQ(65535, CommandLine::readPort("65535"));
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"/usr/local/bin/kestrum", "/usr/local/bin"},
      {"C:\\Program Files\\kestrum.exe", "C:\\Program Files"},
      {"kestrum", "."},
      {"/kestrum", "/"},
      {"", "."},
      {"C:kestrum", "."},
      {"a/b\\c", "a/b"}};
  for (const auto& c : cases) EXPECT_EQ(c.second, CommandLine::directoryOf(c.first)) << c.first;
  EXPECT_EQ("", CommandLine::directoryOf(nullptr));
}

// Whether a run needs nobody at the window, and read-back combinations that
// mean nothing. (What each file check says is an end-to-end test.)
TEST_F(CommandLineTest, UnattendedModesAndCombinationsThatMeanNothing) {
  TempDir dir;
  std::string kvn = dir.path() + "/s.kvn";
  writeFile(kvn, "x|1\n");
  const struct { std::vector<std::string> args; bool unattended; std::string problem; } cases[] = {
      {{}, false, ""},
      {{"-cmdl_crtrpa"}, false, ""},  // without -bindir the window starts
      {{"-cmdl_crtrpa", "-bindir", "b"}, true, ""},
      {{"-upgrade", "-revpack", "p"}, false, ""},
      {{"-upgrade", "-revpack", "p", "-binfile", "b"}, true, ""},
      {{"-program", kvn, "-verify"}, true, ""},
      {{"-fetch", "o.kvn"}, true, ""},
      {{"-fetch", "o.kvn", "-program", kvn}, true, "-fetch cannot be combined"},
      {{"-verify", kvn, "-upgrade"}, true, "cannot be combined with -upgrade"},
      {{"-fetch", "o.kvn", "-cmdl_crtrpa"}, true, "cannot be combined with -upgrade or -cmdl_crtrpa"},
      {{"-verify", kvn}, true, ""},
  };
  for (const auto& c : cases) {
    CommandLine::reset();
    scan(c.args);
    EXPECT_EQ(c.unattended, CommandLine::unattendedMode()) << testing::PrintToString(c.args);
    std::string why = line.readBackProblem();
    EXPECT_EQ(c.problem.empty(), why.empty()) << testing::PrintToString(c.args) << ": " << why;
    EXPECT_NE(std::string::npos, why.find(c.problem)) << testing::PrintToString(c.args) << ": " << why;
  }
  EXPECT_FALSE(TlctrlReadBack::VERIFY_PROGRAM);
  CommandLine::reset();
  scan({"-program", kvn, "-verify"});
  line.readBackProblem();
  EXPECT_TRUE(TlctrlReadBack::VERIFY_PROGRAM);
}
