#include "SimLine.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

SimLine::SimLine(unsigned baud) : _byteMs(baud ? 10.0 * 1000.0 / baud : 0.0) {}

void SimLine::queueTx(const SimBytes& bytes, double now) {
  for (uint8_t b : bytes) {
    double done = std::max(now, _txFree) + _byteMs;
    _txFree = done;
    _tx.emplace_back(done, b);
  }
}

bool SimLine::writeDue(int fd, double now) {
  uint8_t buf[4096];
  size_t n = 0;
  while (n < _tx.size() && n < sizeof buf && _tx[n].first <= now) {
    buf[n] = _tx[n].second;
    ++n;
  }
  _blocked = false;
  if (n == 0)
    return true;
  ssize_t w = write(fd, buf, n);
  if (w < 0) {
    if (errno == EAGAIN || errno == EINTR) {
      _blocked = true;
      return true;
    }
    return false;
  }
  _tx.erase(_tx.begin(), _tx.begin() + w);
  _blocked = static_cast<size_t>(w) < n;
  return true;
}

size_t SimLine::received(const uint8_t* data, size_t n, double now) {
  size_t dropped = 0;
  for (size_t i = 0; i < n; ++i) {
    if (_rx.size() >= MAX_RX_QUEUE) {
      ++dropped;
      continue;
    }
    double done = std::max(now, _rxFree) + _byteMs;
    _rxFree = done;
    _rx.emplace_back(done, data[i]);
  }
  return dropped;
}

bool SimLine::takeVisible(double now, uint8_t& byte) {
  if (_rx.empty() || _rx.front().first > now)
    return false;
  byte = _rx.front().second;
  _rx.pop_front();
  return true;
}

double SimLine::nextDue() const {
  double due = -1;
  // A full pty is waited for with poll, not by time.
  if (!_tx.empty() && !_blocked)
    due = _tx.front().first;
  if (!_rx.empty() && (due < 0 || _rx.front().first < due))
    due = _rx.front().first;
  return due;
}

void SimLine::clear() {
  _tx.clear();
  _rx.clear();
  _blocked = false;
}
