#ifndef SIMLOG_H
#define SIMLOG_H

#include "SimBytes.h"

#include <cstdio>
#include <string>

// One line per unit that crosses the line, with a monotonic time stamp in
// milliseconds, flushed at once so that a test can follow it while we run:
//   "12.345 RX 01 03 00 02 03 09 download-request"
//   "12.400 TX 06 ack"
// Notes (file written, mode changes) are lines starting with "--".
class SimLog {
public:
  SimLog() = default;
  ~SimLog();
  SimLog(const SimLog&) = delete;
  SimLog& operator=(const SimLog&) = delete;

  bool open(const std::string& path);
  void unit(const char* dir, const SimBytes& bytes, const std::string& what);
  void note(const std::string& text);

private:
  FILE* _file = nullptr;
};

#endif
