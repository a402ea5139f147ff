#include <gtest/gtest.h>

#include <poll.h>

#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "ConfigInit.h"
#include "SBEntry.h"
#include "DataTestSupport.h"
#include "SafeFileWriter.h"
#include "SettingBin.h"

// A save killed at any moment (SIGKILL: no handler, no clean-up) leaves the
// file as it was before or as it is after, whole; never half-written.

namespace {

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

struct KillResult {
  int rounds = 0;
  int midSave = 0;  // kills that caught a scratch file on disk
  std::vector<std::string> broken;
};

// Runs save(i) for i = 0, 1, ... in a child process that reports each
// finished save on a pipe, kills it after a random number of saves plus a
// random moment, and checks the file each time.
KillResult killDuringSaves(const std::string& file, const std::function<void(int)>& save,
                           const std::function<bool(const std::string&)> whole, int rounds) {
  KillResult r;
  std::mt19937 rng(12345);
  std::string scratch = "." + file + ".tmp";
  for (int round = 0; round < rounds; ++round) {
    int fds[2];
    if (pipe(fds) != 0) break;
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      for (int i = 0;; ++i) {
        save(i);
        if (write(fds[1], "s", 1) != 1) _exit(3);
      }
    }
    close(fds[1]);
    // Wait for some finished saves (generous limit), then a moment in the
    // middle of the next one.
    int wanted = static_cast<int>(rng() % 3);
    for (int got = 0; got < wanted;) {
      struct pollfd p = {fds[0], POLLIN, 0};
      if (poll(&p, 1, 20000) <= 0) break;
      char c;
      if (read(fds[0], &c, 1) != 1) break;
      ++got;
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(rng() % 4000);
    while (std::chrono::steady_clock::now() < until) {
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(fds[0]);
    ++r.rounds;
    if (exists(scratch)) ++r.midSave;
    std::string content = readFile(file);
    if (!whole(content)) r.broken.push_back(content.substr(0, 80) + "... (" + std::to_string(content.size()) + " bytes)");
  }
  return r;
}

class SafeFileWriterTest : public ::testing::Test {
protected:
  TempDir dir{TempDir::Entered};
  DialogScript dialogs;
  void TearDown() override { Language::destroy(); }
};

}  // namespace

TEST_F(SafeFileWriterTest, KilledAtAnyMomentLeavesTheOldOrTheNewFileWhole) {
  // Large enough that a kill often falls inside a write.
  const std::string a(1 << 20, 'a'), b(1 << 20, 'b');
  writeFile("big.dat", a);
  KillResult r = killDuringSaves(
      "big.dat",
      [&](int i) {
        SafeFileWriter w("big.dat");
        FILE* f = w.open();
        if (!f) _exit(4);
        const std::string& data = i % 2 ? a : b;
        // Piecewise, as the saves of the program write.
        for (size_t at = 0; at < data.size(); at += 4096) fwrite(data.data() + at, 1, 4096, f);
        if (!w.commit()) _exit(5);
      },
      [&](const std::string& c) { return c == a || c == b; }, 40);
  EXPECT_EQ(r.rounds, 40);
  EXPECT_TRUE(r.broken.empty()) << r.broken.size() << " broken, first: " << r.broken[0];
  // The test did catch saves half-way.
  EXPECT_GT(r.midSave, 0);
}

TEST_F(SafeFileWriterTest, ScratchFileLeftByAKillIsReplacedByTheNextSave) {
  writeFile("set.kvn", "old\n");
  writeFile(".set.kvn.tmp", "half of a sa");
  SafeFileWriter w("set.kvn");
  FILE* f = w.open();
  ASSERT_NE(f, nullptr);
  fputs("new\n", f);
  EXPECT_TRUE(w.commit());
  EXPECT_EQ(readFile("set.kvn"), "new\n");
  EXPECT_FALSE(exists(".set.kvn.tmp"));
}

TEST_F(SafeFileWriterTest, SettingsFileKilledDuringSaveIsOldOrNewWhole) {
  std::unique_ptr<SettingBin> sb(new SettingBin(nullptr));
  sb->file("set.kvn");
  auto fill = [&](int version) {
    for (int nr = 1; nr <= 200; nr++) {
      std::string t = nr == 10 ? "TL8888GM-ED" : "v" + std::to_string(version) + "e" + std::to_string(nr);
      sb->setEntry(static_cast<uint8_t>(nr), t.c_str(), std::to_string(version * 1000 + nr).c_str(), false,
                   SBEntry::ASCII_INPUT_TYPE);
    }
  };
  fill(0);
  ASSERT_TRUE(sb->storeToFile());
  const std::string v0 = readFile("set.kvn");
  fill(1);
  ASSERT_TRUE(sb->storeToFile());
  const std::string v1 = readFile("set.kvn");
  ASSERT_NE(v0, v1);
  KillResult r = killDuringSaves(
      "set.kvn",
      [&](int i) {
        fill(i % 2);
        if (!sb->storeToFile()) _exit(4);
      },
      [&](const std::string& c) { return c == v0 || c == v1; }, 30);
  EXPECT_EQ(r.rounds, 30);
  EXPECT_TRUE(r.broken.empty()) << r.broken.size() << " broken, first: " << r.broken[0];
}

TEST_F(SafeFileWriterTest, ConfigIniKilledDuringSaveIsOldOrNewWhole) {
  writeFile("config.ini", "comport=/dev/ttyUSB0\n");
  SettingBin sb(nullptr);
  std::unique_ptr<ConfigInit> cfg(new ConfigInit(&sb, nullptr, nullptr));
  cfg->comActive("/dev/ttyUSB1");
  ASSERT_TRUE(cfg->save());
  const std::string v1 = readFile("config.ini");
  cfg->comActive("/dev/ttyUSB0");
  ASSERT_TRUE(cfg->save());
  const std::string v0 = readFile("config.ini");
  KillResult r = killDuringSaves(
      "config.ini",
      [&](int i) {
        cfg->comActive(i % 2 ? "/dev/ttyUSB1" : "/dev/ttyUSB0");
        if (!cfg->save()) _exit(4);
      },
      [&](const std::string& c) { return c == v0 || c == v1; }, 30);
  EXPECT_EQ(r.rounds, 30);
  EXPECT_TRUE(r.broken.empty()) << r.broken.size() << " broken, first: " << r.broken[0];
}
