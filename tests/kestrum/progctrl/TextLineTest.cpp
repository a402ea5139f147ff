#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "DataTestSupport.h"
#include "TextLine.h"

namespace {

struct Lines {
  FILE* fd;
  explicit Lines(const std::string& content) {
    fd = tmpfile();
    fwrite(content.data(), 1, content.size(), fd);
    rewind(fd);
  }
  ~Lines() { fclose(fd); }
};

TEST(TextLine, LinesEndAtLfOrEndOfFileWithCrDropped) {
  Lines f("a\r\nb\rc\nlast");
  char buf[16];
  EXPECT_EQ(TextLine::read(f.fd, buf, sizeof buf), '\n');
  EXPECT_STREQ(buf, "a");
  EXPECT_EQ(TextLine::read(f.fd, buf, sizeof buf), '\n');
  EXPECT_STREQ(buf, "bc");
  EXPECT_EQ(TextLine::read(f.fd, buf, sizeof buf), EOF);
  EXPECT_STREQ(buf, "last");
  EXPECT_EQ(TextLine::read(f.fd, buf, sizeof buf), EOF);
  EXPECT_STREQ(buf, "");
}

TEST(TextLine, RestOfLongLineIsDiscarded) {
  Lines f(std::string(100, 'x') + "\nnext\n");
  char buf[8];
  bool cut = false;
  EXPECT_EQ(TextLine::read(f.fd, buf, sizeof buf, &cut), '\n');
  EXPECT_STREQ(buf, "xxxxxxx");
  EXPECT_TRUE(cut);
  EXPECT_EQ(TextLine::read(f.fd, buf, sizeof buf, &cut), '\n');
  EXPECT_STREQ(buf, "next");
  EXPECT_FALSE(cut);
}

TEST(TextLine, OneByteBufferHoldsOnlyTheEnd) {
  Lines f("abc\n");
  char buf[1] = {'z'};
  EXPECT_EQ(TextLine::read(f.fd, buf, sizeof buf), '\n');
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(TextLine::read(nullptr, buf, sizeof buf), EOF);
}

}  // namespace
