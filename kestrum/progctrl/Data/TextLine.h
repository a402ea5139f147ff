#ifndef TEXTLINE_H
#define TEXTLINE_H

#include <cstddef>
#include <cstdio>

// Reads one line of a text file made on either platform: the line ends at LF
// or at the end of the file, CR is dropped wherever it stands, and what does
// not fit into the buffer is read and discarded.
class TextLine {
public:
  // buf receives at most size - 1 characters and a terminator. Returns the
  // character that ended the line, '\n' or EOF. cut (if given) tells whether
  // characters were discarded.
  static int read(FILE* fd, char* buf, size_t size, bool* cut = nullptr);
};

#endif
