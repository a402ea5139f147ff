#include <FL/Fl_Preferences.H>
#include <gtest/gtest.h>

#include "../DataTestSupport.h"
#include "RevPackPrefs.h"

namespace {
const char* kHeader = "; FLTK preferences file format 1.0\n; vendor: V\n; application: A\n";

struct RevPackPrefsTest : ::testing::Test {
  TempDir dir{TempDir::Entered};
  std::string why;
};
}  // namespace

TEST_F(RevPackPrefsTest, GroupLinesTheToolkitCannotReadAreRefused) {
  writeFile("good.rst", std::string(kHeader) + "\n[.]\n\n[./g h;'\"]\n\nk:v\n+more\n");
  EXPECT_TRUE(RevPackPrefs::checkFile("good.rst", why)) << why;
  for (const char* bad : {"[g]\nk:v\n", "[]\nk:v\n", "[.x]\nk:v\n", "[./]\nk:v\n", "[./g\nk:v\n"}) {
    writeFile("bad.rst", std::string(kHeader) + bad);
    EXPECT_FALSE(RevPackPrefs::checkFile("bad.rst", why)) << bad;
    EXPECT_NE(std::string::npos, why.find("line 4")) << why;
  }
  // The toolkit's header lines are never read as groups.
  writeFile("head.rst", "[x]\n[y]\n[z]\n[.]\n");
  EXPECT_TRUE(RevPackPrefs::checkFile("head.rst", why));
  EXPECT_FALSE(RevPackPrefs::checkFile("missing.rst", why));
  // The toolkit reads 1023 bytes at a time: the rest starts a line of its own.
  writeFile("long.rst", std::string(kHeader) + "[.]\nk:" + std::string(1021, 'x') + "[bad]\nq:1\n");
  EXPECT_FALSE(RevPackPrefs::checkFile("long.rst", why));
}

TEST_F(RevPackPrefsTest, GroupPathsLongerThanTheToolkitsBufferAreRefused) {
  // A group path of 128 characters or more made the toolkit lose the group
  // while reading and crash on the next entry: "./" and 125 characters fit.
  std::string name(125, 'g');
  writeFile("edge.rpa", std::string(kHeader) + "[.]\n[./" + name + "]\nk:v\n");
  EXPECT_TRUE(RevPackPrefs::checkFile("edge.rpa", why)) << why;
  RevPackPrefs p;
  ASSERT_TRUE(p.openCopy("edge.rpa", "V", "edge"));
  Fl_Preferences g(*p.prefs(), name.c_str());
  char v[8];
  g.get("k", v, "", sizeof v);
  EXPECT_STREQ("v", v);
  writeFile("over.rpa", std::string(kHeader) + "[.]\n[./" + name + "g]\nk:v\n");
  EXPECT_FALSE(RevPackPrefs::checkFile("over.rpa", why));
  EXPECT_NE(std::string::npos, why.find("line 5: group name too long")) << why;
  RevPackPrefs refused;
  EXPECT_FALSE(refused.openCopy("over.rpa", "V", "over"));
}

TEST_F(RevPackPrefsTest, MaliciousApplicationNameStaysInThePrivateDirectory) {
  RevPackPrefs p;
  ASSERT_TRUE(p.create(".", "V", "../../escape"));
  EXPECT_EQ(std::string::npos, p.workFile().find("/../"));
  p.close();
  EXPECT_FALSE(fileExists("../escape.prefs"));
}
