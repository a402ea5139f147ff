#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "TextLine.h"

TEST(TextLine, LinesEndAtLfOrTheEndWithCrDroppedAndTheRestOfALongLineDiscarded) {
  FILE* fd = tmpfile();
  fputs("a\r\nb\rc\n0123456789\nlast", fd);
  rewind(fd);
  char buf[8];
  bool cut = true;
  struct { int end; const char* text; bool cut; } expected[] = {
      {'\n', "a", false}, {'\n', "bc", false}, {'\n', "0123456", true}, {EOF, "last", false}, {EOF, "", false}};
  for (auto& e : expected) {
    EXPECT_EQ(TextLine::read(fd, buf, sizeof buf, &cut), e.end);
    EXPECT_STREQ(buf, e.text);
    EXPECT_EQ(cut, e.cut) << e.text;
  }
  rewind(fd);
  char one[1] = {'z'};
  EXPECT_EQ(TextLine::read(fd, one, sizeof one), '\n');
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(TextLine::read(nullptr, buf, sizeof buf), EOF);
  fclose(fd);
}
