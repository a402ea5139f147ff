#ifndef SIMCLOCK_H
#define SIMCLOCK_H

#include <time.h>

// Milliseconds from a monotonic clock, counted from the first call, so that
// log time stamps and line slots share one time base.
class SimClock {
public:
  static double ms() {
    static const double start = raw();
    return raw() - start;
  }

private:
  static double raw() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1.0e6;
  }
};

#endif
