#ifndef TESTTIME_H
#define TESTTIME_H

#include <cstdlib>

// Waits of the test helpers, scaled by KESTRUM_TEST_TIME_SCALE (a whole
// number, default 1): under memcheck every program runs many times slower.
inline int scaledMs(int ms) {
  static const int scale = [] {
    const char* s = std::getenv("KESTRUM_TEST_TIME_SCALE");
    int v = s ? std::atoi(s) : 1;
    return v > 1 ? v : 1;
  }();
  return ms * scale;
}

#endif
