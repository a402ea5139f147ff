#ifndef SIMLINE_H
#define SIMLINE_H

#include "SimBytes.h"

#include <cstddef>
#include <deque>
#include <utility>

// Paces both directions of the line as a real UART at the given baud rate
// would (10 bits a byte). Every byte gets an absolute time slot computed from
// the previous one, so the schedule does not drift with the loop's latency.
// With baud 0 nothing is delayed.
class SimLine {
public:
  explicit SimLine(unsigned baud);

  // Queues bytes for sending: each is written when it would have finished
  // leaving the wire.
  void queueTx(const SimBytes& bytes, double now);
  // Writes every byte whose slot has come. False when the descriptor failed
  // for good; blocked() tells that the pty is full and we must wait for it.
  bool writeDue(int fd, double now);
  bool blocked() const { return _blocked; }
  bool txPending() const { return !_tx.empty(); }

  // Bytes just read from the pty: each becomes visible when it would have
  // finished arriving after the previous one. A flood beyond MAX_RX_QUEUE
  // bytes is dropped, as a UART overruns; returns how many were dropped.
  size_t received(const uint8_t* data, size_t n, double now);
  static constexpr size_t MAX_RX_QUEUE = 65536;
  bool takeVisible(double now, uint8_t& byte);

  // The earliest time something is due, or a negative value when nothing is.
  double nextDue() const;
  void clear();

  double byteMs() const { return _byteMs; }

private:
  double _byteMs;
  double _txFree = 0;
  double _rxFree = 0;
  bool _blocked = false;
  std::deque<std::pair<double, uint8_t>> _tx;
  std::deque<std::pair<double, uint8_t>> _rx;
};

#endif
