#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>

#include <filesystem>

#include "E2eHarness.h"
#include "UpgradePack.h"

// The command-line modes on a machine without any X display (DISPLAY not
// set): they do their work without a window and say what the window would
// show on standard output; the interactive program refuses to start.

using namespace upgradepack;

namespace {

const auto npos = std::string::npos;

std::string entry(int n) {
  if (n == 10) return "TL8888GM-ED|";
  if (n == 20) return "STD|";
  return "Naam" + std::to_string(n) + "|06" + std::to_string(20000000 + n);
}

// Runs kestrum in dir with its standard error on a terminal (standard output
// to /dev/null); what the terminal showed, and the exit code.
std::pair<std::string, int> runOnTerminal(const std::vector<std::string>& args, const std::string& dir) {
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {"", -1};
  pid_t pid = fork();
  if (pid == 0) {
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(slave, 2);
    close(master);
    unsetenv("DISPLAY");
    setenv("XDG_RUNTIME_DIR", (dir + "/xdg").c_str(), 1);
    setenv("KESTRUM_DIALOG_SCRIPT", "/dev/null", 1);
    if (chdir(dir.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(slave);
  std::string seen;
  int status = 0;
  for (int i = 0; i < 600; ++i) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 100) > 0) {
      char buf[4096];
      ssize_t n = read(master, buf, sizeof buf);
      if (n > 0) seen.append(buf, n);
    }
    if (waitpid(pid, &status, WNOHANG) == pid) {
      pid = -1;
      break;
    }
  }
  if (pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  close(master);
  return {seen, WIFEXITED(status) ? WEXITSTATUS(status) : -2};
}

}  // namespace

TEST(KestrumHeadlessE2e, ProgressIsOneUpdatingLineOnATerminal) {
  E2eRun run({"--out", "@out.kvn", "--entries", "150"}, {{"file.kvn", e2eKvn(entry)}});
  auto shown = runOnTerminal({E2eRun::kestrum(), "-program", "file.kvn"}, run.path(""));
  EXPECT_EQ(0, shown.second) << shown.first;
  // Counted against the entries the device holds, each rewriting the line.
  EXPECT_NE(npos, shown.first.find("\rProgrammeren 1/150")) << shown.first;
  EXPECT_NE(npos, shown.first.find("\rProgrammeren 150/150")) << shown.first;
  EXPECT_EQ(npos, shown.first.find("151")) << shown.first;
  EXPECT_EQ(npos, shown.first.find("Status Info")) << shown.first;
}

TEST(KestrumHeadlessE2e, ProgramOptionProgramsTheDeviceWithoutADisplay) {
  std::string kvn = e2eKvn(entry);
  E2eRun run({"--out", "@out.kvn"}, {{"file.kvn", kvn}});
  run.noDisplay();
  run.start({"-program", "file.kvn"});
  EXPECT_EQ(0, run.proc().waitExit(30000)) << run.proc().out() << run.proc().err();
  EXPECT_EQ(kvn, readFile(run.path("out.kvn")));
  const std::string& out = run.proc().out();
  size_t connected = out.find("Status Info: Verbonden\n");
  EXPECT_NE(npos, connected) << out;
  EXPECT_NE(npos, out.find("Status Info: Programmeren #200 gereed.\n", connected)) << out;
  // Standard error is no terminal here: no progress line.
  EXPECT_EQ(npos, run.proc().err().find('\r')) << run.proc().err();
}

TEST(KestrumHeadlessE2e, UpgradeAndRevisionPackOptionsWorkWithoutADisplay) {
  E2eRun run({"--image-out", "@image.bin"});
  std::string app = application(3000);
  std::filesystem::create_directory(run.path("bins"));
  writeFile(run.path("bins/TL8888GM-ED_620.bin"), std::string(0x100, '\xEE') + app);
  writeFile(run.path("bins/BOOT_LOAD_H49.bin"), std::string(1800, '\x5A'));
  ChildProcess make({E2eRun::kestrum(), "-cmdl_crtrpa", "-bindir", "bins"},
                    {{"XDG_RUNTIME_DIR", run.path("xdg")}, {"KESTRUM_DIALOG_SCRIPT", "/dev/null"}, {"-DISPLAY", ""}},
                    run.path(""));
  ASSERT_EQ(0, make.waitExit(30000)) << make.out() << make.err();
  std::string pack;
  for (const auto& f : std::filesystem::directory_iterator(run.path("RevPacks")))
    if (f.path().extension() == ".rpa") pack = f.path().filename().string();
  ASSERT_FALSE(pack.empty());

  run.noDisplay();
  run.start({"-upgrade", "-revpack", pack, "-binfile", BIN_GROUP});
  EXPECT_EQ(0, run.proc().waitExit(60000)) << run.proc().out() << run.proc().err();
  EXPECT_EQ(padded(app), readFile(run.path("image.bin")));
  const std::string& out = run.proc().out();
  size_t full = out.find("Status Info: Upgrading 100% ready\n");
  EXPECT_NE(npos, full) << out;
  EXPECT_NE(npos, out.find("Status Info: Upgrading Ready\n", full == npos ? 0 : full)) << out;
}

TEST(KestrumHeadlessE2e, InteractiveProgramWithoutADisplaySaysSoAndExits) {
  E2eRun run;
  run.noDisplay();
  run.start({});
  EXPECT_EQ(2, run.proc().waitExit(10000)) << run.proc().err();
  std::vector<std::string> lines = textLines(run.proc().err());
  ASSERT_EQ(1u, lines.size()) << run.proc().err();
  EXPECT_NE(npos, lines[0].find("no X display")) << lines[0];
  // It never went looking for the device.
  EXPECT_EQ(0, run.simCount("RX", "status-request"));
}
