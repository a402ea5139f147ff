#ifndef LOOPWAIT_H
#define LOOPWAIT_H

// How long one round of the main loop leaves the toolkit waiting. Every
// round used to wait 10 ms, which wakes an idle program 100 times a second;
// now the wait lasts until the next runtime timer is due, as long as
// nothing else needs the 10 ms round: the serial port wakes the wait itself
// when it is watched (an open port without a watch is still polled), user
// input and the toolkit's own timeouts end it, and the remote debug
// console, which is only polled, keeps the 10 ms round.
class LoopWait {
public:
  // The round that polls (seconds), and the longest wait when no timer is due sooner.
  static constexpr double POLL_ROUND = 0.01;
  static constexpr double LONGEST = 0.2;

  static double seconds();
};

#endif
