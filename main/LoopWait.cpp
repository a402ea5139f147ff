#include "LoopWait.h"

#include "BScheduler.h"
#include "BTimerManager.h"
#include "Main.h"
#include "Serial.h"
#include "TlcdrvRoot.h"

constexpr double LoopWait::POLL_ROUND;
constexpr double LoopWait::LONGEST;

double LoopWait::seconds() {
  if (Main::_dbgPort != 0) return POLL_ROUND;
  // An open port that nothing watches is polled; a hung-up one has nothing
  // more to give until it is opened again.
  const Serial* port = TlcdrvRoot::serial();
  if (TlcdrvRoot::portOpen() && port && !port->watched() && !port->hungUp()) return POLL_ROUND;
  const BTickType longest = static_cast<BTickType>(LONGEST / POLL_ROUND + 0.5);
  BTickType ticks = BScheduler::timerManager().ticksToNextDue(longest);
  // A timer due now fires on the next tick: one round, as before.
  if (ticks == 0) ticks = 1;
  return ticks * POLL_ROUND;
}
