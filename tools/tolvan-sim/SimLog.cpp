#include "SimLog.h"

#include "SimClock.h"

SimLog::~SimLog() {
  if (_file)
    fclose(_file);
}

bool SimLog::open(const std::string& path) {
  _file = fopen(path.c_str(), "w");
  return _file != nullptr;
}

void SimLog::unit(const char* dir, const SimBytes& bytes, const std::string& what) {
  if (!_file)
    return;
  fprintf(_file, "%.3f %s", SimClock::ms(), dir);
  for (uint8_t b : bytes)
    fprintf(_file, " %02X", b);
  fprintf(_file, " %s\n", what.c_str());
  fflush(_file);
}

void SimLog::note(const std::string& text) {
  if (!_file)
    return;
  fprintf(_file, "%.3f -- %s\n", SimClock::ms(), text.c_str());
  fflush(_file);
}
