#ifndef SIMFILES_H
#define SIMFILES_H

#include <string>

#include "TestFiles.h"

// What tests read from tolvan-sim's files and give it as firmware.

// Lines of the simulator's log "<ms> <dir> <bytes> <what>" whose what begins
// with the given text.
inline int simLogCount(const std::string& log, const std::string& dir, const std::string& what) {
  int n = 0;
  for (const std::string& l : textLines(log)) {
    size_t d = l.find(" " + dir + " ");
    if (d != std::string::npos && l.find(" " + what, d + 3) != std::string::npos) ++n;
  }
  return n;
}

// The application part of a bin file (from 0x100 on): a counting pattern
// without the letters that start an identification, the device type behind
// its hardware and a version.
inline std::string firmwareImage(size_t size) {
  std::string b(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    char c = static_cast<char>(i * 13 + i / 256);
    b[i] = (c == 'T' || c == 'V') ? ' ' : c;
  }
  b.replace(size / 2, 19, "xxH.49TL8888GM-EDyy");
  b.replace(size / 2 + 40, 22, "VERSION: TL-6.20STD001");
  return b;
}

// The image as the device keeps it: whole packets, the last filled with 0xFF.
inline std::string padded(std::string s) {
  while (s.size() % 128) s.push_back('\xFF');
  return s;
}

#endif
