#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "DataTestSupport.h"
#include "SafeFileWriter.h"

// A save never leaves a half-written file under the name: the new text goes
// to a scratch file beside it, which takes the name only when whole.

namespace {

struct SafeFileWriterTest : DataTest {
  int files() {
    int n = 0;
    for (auto& e : std::filesystem::directory_iterator(".")) n += e.is_regular_file();
    return n;
  }
};

TEST_F(SafeFileWriterTest, TheOldFileStaysWholeUntilTheNewOneIsCommitted) {
  writeFile("set.kvn", "old\n");
  chmod("set.kvn", 0640);
  writeFile(".set.kvn.tmp", "half of a sa");  // left by a save that was killed
  {
    SafeFileWriter w("set.kvn");
    FILE* f = w.open();
    ASSERT_NE(f, nullptr);
    fputs("new\n", f);
    fflush(f);
    EXPECT_EQ(readFile("set.kvn"), "old\n");
    EXPECT_TRUE(w.commit());
  }
  EXPECT_EQ(readFile("set.kvn"), "new\n");
  EXPECT_EQ(files(), 1);
  struct stat st;
  ASSERT_EQ(stat("set.kvn", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "the user's access rights are kept";
  {
    // A save given up before its commit leaves nothing behind.
    SafeFileWriter w("set.kvn");
    fputs("abandoned\n", w.open());
  }
  EXPECT_EQ(readFile("set.kvn"), "new\n");
  EXPECT_EQ(files(), 1);
}

TEST_F(SafeFileWriterTest, SavingThroughALinkReplacesTheFileItPointsTo) {
  std::filesystem::create_directory("real");
  writeFile("real/set.kvn", "old\n");
  std::filesystem::create_symlink("real/set.kvn", "link.kvn");
  SafeFileWriter w("link.kvn");
  fputs("new\n", w.open());
  EXPECT_TRUE(w.commit());
  EXPECT_TRUE(std::filesystem::is_symlink("link.kvn"));
  EXPECT_EQ(readFile("real/set.kvn"), "new\n");
}

TEST_F(SafeFileWriterTest, AFailingDiskKeepsTheOldFileAndReportsIt) {
  writeFile("set.kvn", "old\n");
  int rc = runWithFileSizeLimit(1000, [] {
    SafeFileWriter w("set.kvn");
    FILE* f = w.open();
    for (int i = 0; f && i < 100; i++) fputs("0123456789012345678901234567890123456789\n", f);
    return w.commit() ? 1 : 0;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(readFile("set.kvn"), "old\n");
  EXPECT_EQ(files(), 1);
  EXPECT_EQ(SafeFileWriter(nullptr).open(), nullptr);
}

}  // namespace
