#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "ChildProcess.h"
#include "TempDir.h"
#include "ExitCode.h"
#include "Main.h"

namespace fs = std::filesystem;

namespace {

const std::string kBinary = KESTRUM_BINARY_DIR "/main/kestrum";
const char* kLockName = "Vask_KR-2.18_MutexId.lock";

// The usage text, row by row as the program writes it.
std::string expectedUsage(const std::string& prog) {
  std::string h(79, '#'), in(16, ' ');
  return h + "\n" + "# Usage: " + prog +
         "\n#  -cmdl_crtrpa,   Create RevPack database via Kestrum command line\n"
         "#  -bindir,        Directory where binfiles are stored\n"
         "#  " + in + "e.g. \"kestrum -cmdl_crtrpa -bindir <directory>\"\n"
         "#  -createrevpack, Create RevPack database via Kestrum gui\n"
         "#  -nohwcheck,     No check on hardware revision.\n"
         "\n#  -upgrade,       Sofware upgrade via the commandline.\n"
         "#  " + in + "e.g. -upgrade -revpack <rpa> -binfile <xx.bin>\n"
         "#  -revpack,       RevPack database which is stored in ./RevPacks\n"
         "#  " + in + "e.g. -revpack TL-xxx[yyy] (No ./RevPacks/, *.rpa included)\n"
         "#  " + std::string(42, ' ') + std::string(32, '^') + "\n"
         "#  -binfile,       Binfile containing the desired sofware version\n"
         "#  -allownobackup, Upgrade also when the settings cannot be backed up first\n"
         "#  -program,       Program settings via command line\n"
         "#  " + in + "e.g. \"kestrum -program <\"C:\\xx yy\\file.kvn\">\"\n" +
         // Lines of later options come after the lines above, which stay as they were.
         "#  -fetch,         Read the device's settings into a file via command line\n"
         "#  " + in + "e.g. \"kestrum -fetch <file.kvn>\"\n"
         "#  -verify,        Compare the device's settings with a file via command line\n"
         "#  " + in + "e.g. \"kestrum -verify <file.kvn>\"\n"
         "#  " + in + "e.g. \"kestrum -program <file.kvn> -verify\" (program, then compare)\n" + h + "\n";
}

// A listening socket on 127.0.0.1 with a free port.
struct Listener {
  Listener() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd, 1);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~Listener() {
    if (conn >= 0) close(conn);
    close(fd);
  }
  bool accept(int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return false;
    conn = ::accept(fd, nullptr, nullptr);
    return conn >= 0;
  }
  // Reads until the text has arrived.
  bool readUntil(const std::string& text, int timeoutMs = 20000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (received.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > end) return false;
      pollfd p{conn, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buf[4096];
      ssize_t n = read(conn, buf, sizeof buf);
      if (n <= 0) return received.find(text) != std::string::npos;
      received.append(buf, n);
    }
    return true;
  }
  void send(const std::string& s) { (void)!write(conn, s.data(), s.size()); }
  int fd = -1, conn = -1, port = 0;
  std::string received;
};

// Every run gets its own runtime directory (so its own instance lock) and
// its own working directory.
class KestrumRun : public ::testing::Test {
protected:
  // The program opens its window at start: runs that go past the help text
  // need the test display, and its dialogs are answered by an empty script.
  std::vector<std::pair<std::string, std::string>> env() {
    return {{"XDG_RUNTIME_DIR", runtime.path()}, {"KESTRUM_DIALOG_SCRIPT", "/dev/null"}};
  }
  static bool haveDisplay() {
    const char* d = getenv("DISPLAY");
    return d && *d;
  }
  std::unique_ptr<ChildProcess> start(std::vector<std::string> args, const std::string& prog = kBinary) {
    args.insert(args.begin(), prog);
    return std::make_unique<ChildProcess>(args, env(), work.path());
  }
  bool waitForLock(int timeoutMs = 20000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      if (fs::exists(runtime.path() + "/" + kLockName)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  TempDir runtime, work;
};

}  // namespace

TEST_F(KestrumRun, HelpInAnySpellingPrintsTheUsageExactly) {
  for (const char* word : {"help", "--help", "/help"}) {
    auto p = start({word});
    EXPECT_EQ(p->waitExit(), 0) << word;
    EXPECT_EQ(p->out(), expectedUsage(kBinary)) << word;
  }
}

TEST_F(KestrumRun, HelpWithAnotherArgumentStartsTheProgram) {
  if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
  auto p = start({"help", "x"});
  ASSERT_TRUE(waitForLock());
  p->signal(SIGTERM);
  EXPECT_EQ(p->waitExit(), 0);
  EXPECT_EQ(p->out().find("# Usage:"), std::string::npos);
  EXPECT_FALSE(fs::exists(runtime.path() + "/" + kLockName));  // released at exit
}

TEST_F(KestrumRun, SecondInstanceIsRefusedWithItsOwnCode) {
  if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
  auto first = start({});
  ASSERT_TRUE(waitForLock());
  auto second = start({});
  EXPECT_EQ(second->waitExit(), EXIT_ANOTHER_INSTANCE);
  EXPECT_NE(second->err().find("another instance"), std::string::npos) << second->err();
  EXPECT_NE(second->err().find(kLockName), std::string::npos) << second->err();
  first->signal(SIGINT);
  EXPECT_EQ(first->waitExit(), 0);
}

TEST_F(KestrumRun, RemoteDebugConsoleGetsTraceLinesAndRunsCommands) {
  if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
  Listener l;
  auto p = start({"-remdbg", "127.0.0.1", std::to_string(l.port)});
  ASSERT_TRUE(l.accept(20000));
  l.send("help\r\n");
  ASSERT_TRUE(l.readUntil("\"Tlctrl\" mod=10 comp=11")) << l.received;
  EXPECT_TRUE(std::regex_search(l.received, std::regex(R"(\d{4}/\d\d/\d\d/\d\d:\d\d:\d\d;Processes the trace debug string\.)")))
      << l.received;
  EXPECT_NE(l.received.find("Currently supported components:"), std::string::npos);
  p->signal(SIGTERM);
  EXPECT_EQ(p->waitExit(), 0);
  EXPECT_TRUE(l.readUntil("Exit code:0", 5000)) << l.received;
}

TEST_F(KestrumRun, RemoteDebugWithoutAUsablePortStaysOff) {
  if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
  Listener l;
  auto p = start({"-remdbg", "127.0.0.1", "abc"});
  ASSERT_TRUE(waitForLock());
  EXPECT_FALSE(l.accept(1500));
  p->signal(SIGTERM);
  EXPECT_EQ(p->waitExit(), 0);
  auto q = start({"-remdbg", "127.0.0.1", "0"});
  ASSERT_TRUE(waitForLock());
  EXPECT_FALSE(l.accept(500));
  q->signal(SIGTERM);
  EXPECT_EQ(q->waitExit(), 0);
}

TEST_F(KestrumRun, MissingOptionValuesAreIgnoredWithAWarning) {
  if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
  auto p = start({"-remdbg", "127.0.0.1"});
  ASSERT_TRUE(waitForLock());
  p->signal(SIGTERM);
  EXPECT_EQ(p->waitExit(), 0);
  EXPECT_NE(p->err().find("option -remdbg needs 2 values; ignored"), std::string::npos) << p->err();
}

TEST_F(KestrumRun, AnExistingFileIsNeverTakenAsAnOption) {
  if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
  Listener l;
  std::ofstream(work.path() + "/-remdbg") << "x";
  auto p = start({"-remdbg", "127.0.0.1", std::to_string(l.port)});
  ASSERT_TRUE(waitForLock());
  EXPECT_FALSE(l.accept(1500));
  p->signal(SIGTERM);
  EXPECT_EQ(p->waitExit(), 0);
}

TEST_F(KestrumRun, RevisionPackArgumentIsCopiedBesideTheProgram) {
  if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
  TempDir progDir;
  std::string prog = progDir.path() + "/kestrum";
  fs::create_symlink(kBinary, prog);
  std::ofstream(work.path() + "/TL6.12[00ab].rpa") << "[.]\n";
  std::ofstream(work.path() + "/UPPER.RPA") << "[.]\n";
  auto p = start({"UPPER.RPA", "TL6.12[00ab].rpa"}, prog);
  ASSERT_TRUE(waitForLock());
  p->signal(SIGTERM);
  EXPECT_EQ(p->waitExit(), 0);
  EXPECT_TRUE(fs::exists(progDir.path() + "/RevPacks/TL6.12[00ab].rpa"));
  EXPECT_FALSE(fs::exists(progDir.path() + "/RevPacks/UPPER.RPA"));
  // The program worked in its own directory: the trace commands file is there.
  EXPECT_TRUE(fs::exists(progDir.path() + "/dbgTraceCommands.txt"));
}

TEST_F(KestrumRun, EveryRevisionPackArgumentIsFoundWhereItWasGiven) {
  if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
  TempDir progDir;
  std::string prog = progDir.path() + "/kestrum";
  fs::create_symlink(kBinary, prog);
  std::ofstream(work.path() + "/A[0001].rpa") << "[.]\n";
  std::ofstream(work.path() + "/B[0002].rpa") << "[.]\n";
  auto p = start({"A[0001].rpa", "B[0002].rpa"}, prog);
  ASSERT_TRUE(waitForLock());
  p->signal(SIGTERM);
  EXPECT_EQ(p->waitExit(), 0);
  EXPECT_TRUE(fs::exists(progDir.path() + "/RevPacks/A[0001].rpa"));
  EXPECT_TRUE(fs::exists(progDir.path() + "/RevPacks/B[0002].rpa"));
}

TEST(FilenameDir, CutsAfterTheDirectoryPart) {
  char a[] = "/usr/local/bin/kestrum";
  EXPECT_STREQ(filename_dir(a), "/usr/local/bin");
  char b[] = "C:\\Program Files\\kestrum.exe";
  EXPECT_STREQ(filename_dir(b), "C:\\Program Files");
  char c[] = "kestrum";
  EXPECT_STREQ(filename_dir(c), ".");
  char d[] = "/kestrum";
  EXPECT_STREQ(filename_dir(d), "/");
  char e[] = "";
  EXPECT_STREQ(filename_dir(e), ".");
  EXPECT_EQ(filename_dir(nullptr), nullptr);
}

namespace {
// A synthetic firmware image: identification "H.49TL8888GM-ED" and a version.
std::string firmware(size_t size) {
  std::string b(size, '\x20');
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<char>(0x30 + (i % 10));
  b.replace(size / 2, 15, "H.49TL8888GM-ED");
  b.replace(size / 2 + 64, 22, "VERSION: TL-6.12SPEC01");
  return b;
}
}  // namespace

TEST_F(KestrumRun, CommandLinePackCreationNeedsNoDisplay) {
  std::ofstream(work.path() + "/config.ini") << "tolvantype=TL8888GM-ED;Meter A\n";
  fs::create_directories(work.path() + "/bins");
  std::ofstream(work.path() + "/bins/TL8888GM-ED v6.12; \"new\".bin", std::ios::binary) << firmware(4096);
  std::vector<std::pair<std::string, std::string>> e = {{"XDG_RUNTIME_DIR", runtime.path()}, {"DISPLAY", ""}};
  ChildProcess p({kBinary, "-cmdl_crtrpa", "-bindir", "bins"}, e, work.path());
  ASSERT_EQ(p.waitExit(), 0) << p.err();
  std::vector<fs::path> packs;
  for (const auto& f : fs::directory_iterator(work.path() + "/RevPacks"))
    if (f.path().extension() == ".rpa") packs.push_back(f.path());
  ASSERT_EQ(packs.size(), 1u);
  // Its name carries the checksum: the signed sum of every byte from "[.]" on.
  std::ifstream in(packs[0], std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t marker = content.find("[.]");
  ASSERT_NE(marker, std::string::npos);
  int sum = 0;
  for (size_t i = marker; i < content.size(); ++i) sum += static_cast<signed char>(content[i]);
  char hex[24];
  snprintf(hex, sizeof hex, "[%04x].rpa", sum & 0xFFFF);
  EXPECT_NE(packs[0].filename().string().find(hex), std::string::npos) << packs[0];
  EXPECT_NE(content.find("Meter A v6.12; \"new\".bin"), std::string::npos);
  EXPECT_FALSE(fs::exists(work.path() + "/temp.rpa"));
}

// A pack creation that makes nothing, or a pack that can upgrade nothing,
// fails with the unusable-input code and one line on standard error saying
// what was wrong; no pack is left behind.
TEST_F(KestrumRun, CommandLinePackCreationWithNothingUsableFailsWithOneLine) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> bins;  // name, content
    bool makeDir;
    const char* says;
  } cases[] = {
      {"no bin directory", {}, false, "does not exist"},
      {"empty bin directory", {}, true, "no bin files in"},
      {"only a boot loader", {{"BOOT_LOAD_H49.bin", std::string(2048, '\x11')}}, true, "no application bin file"},
      {"no customer name", {{"TL9999GM-ED v6.12.bin", firmware(4096)}}, true, "no application bin file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::ofstream(dir.path() + "/config.ini") << "tolvantype=TL8888GM-ED;Meter A\n";
    if (c.makeDir) fs::create_directories(dir.path() + "/bins");
    for (const auto& b : c.bins) std::ofstream(dir.path() + "/bins/" + b.first, std::ios::binary) << b.second;
    std::vector<std::pair<std::string, std::string>> e = {{"XDG_RUNTIME_DIR", runtime.path()}, {"DISPLAY", ""}};
    ChildProcess p({kBinary, "-cmdl_crtrpa", "-bindir", "bins"}, e, dir.path());
    EXPECT_EQ(p.waitExit(), EXIT_INPUT_UNUSABLE) << p.err();
    EXPECT_EQ(p.err().rfind("kestrum: -cmdl_crtrpa: ", 0), 0u) << p.err();
    EXPECT_EQ(std::count(p.err().begin(), p.err().end(), '\n'), 1) << p.err();
    EXPECT_NE(p.err().find(c.says), std::string::npos) << p.err();
    std::error_code ec;
    for (const auto& f : fs::directory_iterator(dir.path() + "/RevPacks", ec))
      if (f.path().extension() == ".rpa") ADD_FAILURE() << f.path();
    EXPECT_FALSE(fs::exists(dir.path() + "/temp.rpa"));
  }
}

// A settings file that cannot be read is refused before any device is
// looked for, without a display.
TEST_F(KestrumRun, ProgramWithAnUnreadableFileIsRefusedAtOnce) {
  std::vector<std::pair<std::string, std::string>> e = {{"XDG_RUNTIME_DIR", runtime.path()}, {"DISPLAY", ""}};
  ChildProcess p({kBinary, "-program", "missing.kvn"}, e, work.path());
  EXPECT_EQ(p.waitExit(), EXIT_INPUT_UNUSABLE) << p.err();
  EXPECT_NE(p.err().find("kestrum: -program: cannot read settings file"), std::string::npos) << p.err();
}

// The debug console's host may be a name; one that does not resolve leaves
// remote debugging off with a warning instead of aiming anywhere else.
TEST_F(KestrumRun, RemoteDebugHostNameIsResolvedOrRefusedWithAWarning) {
  std::vector<std::pair<std::string, std::string>> e = {{"XDG_RUNTIME_DIR", runtime.path()}, {"DISPLAY", ""}};
  {
    Listener l;
    ChildProcess p({kBinary, "-remdbg", "localhost", std::to_string(l.port), "-cmdl_crtrpa", "-bindir", "none"}, e,
                   work.path());
    ASSERT_TRUE(l.accept(20000)) << p.err();
    EXPECT_TRUE(l.readUntil("Exit code:2")) << l.received;
    EXPECT_EQ(p.waitExit(), EXIT_INPUT_UNUSABLE);
  }
  ChildProcess q({kBinary, "-remdbg", "no-such-host.invalid", "4000", "-cmdl_crtrpa", "-bindir", "none"}, e,
                 work.path());
  EXPECT_EQ(q.waitExit(), EXIT_INPUT_UNUSABLE);
  EXPECT_NE(q.err().find("kestrum: -remdbg: host \"no-such-host.invalid\" not found; remote debugging off"),
            std::string::npos)
      << q.err();
}
