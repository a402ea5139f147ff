#include <ctime>

#include "BDiag.h"
#include "BScheduler.h"
#include "BTimerTick.h"

namespace {
uint32_t* g_tickPtr = nullptr;
}

BTickType bTimerTick() {
  if (g_tickPtr) return *g_tickPtr;
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  // The 32-bit tick wraps after about 497 days; the timer manager handles it.
  return static_cast<BTickType>(ms / 10u);
}

void setTimerTickPtr(uint32_t* tick) {
  g_tickPtr = tick;
  BScheduler::timerManager().rebase();
}

uint32_t nSecsPastMidnight() {
  time_t now = time(nullptr);
  struct tm tmv;
  localtime_r(&now, &tmv);
  return static_cast<uint32_t>(tmv.tm_hour * 3600 + tmv.tm_min * 60 + tmv.tm_sec);
}

DayId dayOfWeek() {
  time_t now = time(nullptr);
  struct tm tmv;
  localtime_r(&now, &tmv);
  return static_cast<DayId>(tmv.tm_wday);
}
