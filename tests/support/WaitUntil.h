#ifndef WAITUNTIL_H
#define WAITUNTIL_H

#include <chrono>
#include <thread>

#include "TestTime.h"

// Polls until done() holds or the (scaled) time is up; whether it held.
// For waiting on what another process says, never for pacing a test.
template <class Done>
bool waitUntil(Done done, int timeoutMs, int pollMs = 20) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(scaledMs(timeoutMs));
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() > end) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
}

#endif
