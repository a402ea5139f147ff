#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "TestFiles.h"
#include "WorkDir.h"

namespace fs = std::filesystem;

namespace {

void write(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  writeFile(p, text);
}

// An installed program: <prefix>/bin/kestrum with its shipped files in
// <prefix>/share/kestrum, a home directory and a directory to start in.
class WorkDirTest : public ::testing::Test {
protected:
  void SetUp() override {
    prefix = tmp.path() + "/prefix";
    share = prefix + "/share/kestrum";
    program = prefix + "/bin/kestrum";
    home = tmp.path() + "/home";
    start = tmp.path() + "/start";
    write(program, "");
    write(share + "/config.ini", "comport=\n");
    write(share + "/language.ini", "taal=NL\n");
    write(share + "/help/algemeen.html", "<html></html>");
    fs::create_directories(home);
    fs::create_directories(start);
  }
  std::string userDir() const { return home + "/.local/share/kestrum"; }
  TempDir tmp;
  std::string prefix, share, program, home, start;
};

}  // namespace

// Where the program works: "" means where it was started.
TEST_F(WorkDirTest, ChoiceOfTheWorkingDirectory) {
  std::string data = tmp.path() + "/data", built = tmp.path() + "/build/main/kestrum";
  write(built, "");
  struct Case {
    std::string start, program;
    const char *xdg, *home;
    std::string dir;
    bool installed;
  } cases[] = {
      {start, program, nullptr, home.c_str(), userDir(), true},
      {start, program, data.c_str(), home.c_str(), data + "/kestrum", true},
      {start, program, "", home.c_str(), userDir(), true},          // empty and relative
      {start, program, "rel/data", home.c_str(), userDir(), true},  // data homes do not count
      {share, program, nullptr, home.c_str(), userDir(), true},     // never in the shipped files
      {start, built, nullptr, home.c_str(), "", false},             // no shipped files: a build tree
      {start, program, nullptr, nullptr, "", true},
  };
  for (const Case& c : cases) {
    WorkDir w = WorkDir::choose(c.start, c.program, c.xdg, c.home);
    EXPECT_EQ(c.dir, w.dir()) << c.start << " " << (c.xdg ? c.xdg : "-") << " " << (c.home ? c.home : "-");
    EXPECT_EQ(c.installed, w.installed());
  }
  EXPECT_EQ(WorkDir::choose(start, program, nullptr, home.c_str()).shareDir(), share);
  EXPECT_NE(WorkDir::choose(start, program, nullptr, nullptr).note().find("no per-user directory"),
            std::string::npos);
  // A directory with a configuration of its own is kept.
  write(start + "/config.ini", "comport=/dev/ttyUSB0\n");
  EXPECT_EQ(WorkDir::choose(start, program, nullptr, home.c_str()).dir(), "");
}

TEST_F(WorkDirTest, PrefixInsideTheDataHomeGetsASeparateWorkDirectory) {
  // Installed with the prefix ~/.local: the shipped files are in the very
  // directory the user's files would go to.
  std::string local = home + "/.local";
  write(local + "/bin/kestrum", "");
  write(local + "/share/kestrum/config.ini", "comport=\n");
  WorkDir w = WorkDir::choose(start, local + "/bin/kestrum", nullptr, home.c_str());
  EXPECT_EQ(w.dir(), userDir() + "/work");
  std::string why;
  EXPECT_EQ(w.prepare(why), 1) << why;
  EXPECT_TRUE(fs::exists(userDir() + "/work/config.ini"));
  EXPECT_FALSE(fs::exists(userDir() + "/work/work"));
}

// Preparing copies the shipped files once: it never replaces the user's
// files, makes read-only ones writable, and what the user removed later
// stays removed.
TEST_F(WorkDirTest, PrepareCopiesTheShippedFilesOnce) {
  fs::permissions(share + "/config.ini",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  write(userDir() + "/language.ini", "taal=UK\n");
  write(userDir() + "/my.kvn", "x|1\n");
  WorkDir w = WorkDir::choose(start, program, nullptr, home.c_str());
  std::string why;
  EXPECT_EQ(w.prepare(why), 2) << why;
  EXPECT_EQ(readFile(userDir() + "/language.ini"), "taal=UK\n");
  EXPECT_EQ(readFile(userDir() + "/my.kvn"), "x|1\n");
  EXPECT_EQ(readFile(userDir() + "/config.ini"), "comport=\n");
  EXPECT_EQ(readFile(userDir() + "/help/algemeen.html"), "<html></html>");
  EXPECT_TRUE((fs::status(userDir() + "/config.ini").permissions() & fs::perms::owner_write) !=
              fs::perms::none);
  fs::remove(userDir() + "/language.ini");
  EXPECT_EQ(w.prepare(why), 0);
  EXPECT_FALSE(fs::exists(userDir() + "/language.ini"));
}

// A file where the shipped help folder goes stops the copy before
// config.ini, which marks a prepared directory: the next start finishes it.
TEST_F(WorkDirTest, AFailedPreparationIsReportedAndFinishedNextTime) {
  write(userDir() + "/help", "in the way");
  WorkDir w = WorkDir::choose(start, program, nullptr, home.c_str());
  std::string why;
  EXPECT_EQ(w.prepare(why), 1);  // language.ini only
  EXPECT_NE(why.find("cannot copy"), std::string::npos) << why;
  EXPECT_FALSE(fs::exists(userDir() + "/config.ini"));
  fs::remove(userDir() + "/help");
  EXPECT_EQ(w.prepare(why), 2) << why;
  EXPECT_TRUE(fs::exists(userDir() + "/config.ini"));
  EXPECT_TRUE(fs::exists(userDir() + "/help/algemeen.html"));
  fs::remove_all(home + "/.local");
  write(home + "/.local/share", "a file in the way");
  EXPECT_EQ(w.prepare(why), -1);
  EXPECT_NE(why.find("cannot make"), std::string::npos) << why;
}
