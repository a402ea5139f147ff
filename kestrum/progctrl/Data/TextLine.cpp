#include "TextLine.h"

int TextLine::read(FILE* fd, char* buf, size_t size, bool* cut) {
  size_t len = 0;
  bool dropped = false;
  int c = EOF;
  while (fd && (c = fgetc(fd)) != EOF && c != '\n') {
    if (c == '\r') continue;
    if (len + 1 < size)
      buf[len++] = static_cast<char>(c);
    else
      dropped = true;
  }
  if (size > 0) buf[len] = '\0';
  if (cut) *cut = dropped;
  return c;
}
