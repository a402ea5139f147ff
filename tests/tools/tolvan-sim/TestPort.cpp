#include "TestPort.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

long long nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TestPort::TestPort(const std::string& path) {
  _fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (_fd < 0)
    return;
  termios tio;
  if (tcgetattr(_fd, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tcsetattr(_fd, TCSANOW, &tio);
  }
}

TestPort::~TestPort() {
  if (_fd >= 0)
    close(_fd);
}

void TestPort::send(const Bytes& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t w = write(_fd, bytes.data() + done, bytes.size() - done);
    if (w > 0) {
      done += static_cast<size_t>(w);
      continue;
    }
    pollfd p{_fd, POLLOUT, 0};
    if (poll(&p, 1, 1000) <= 0)
      return;
  }
}

Bytes TestPort::read(size_t n, int timeoutMs) {
  Bytes out;
  long long end = nowMs() + timeoutMs;
  while (out.size() < n) {
    long long left = end - nowMs();
    if (left <= 0)
      break;
    pollfd p{_fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0)
      continue;
    uint8_t buf[4096];
    size_t want = std::min(sizeof buf, n - out.size());
    ssize_t r = ::read(_fd, buf, want);
    if (r > 0)
      out.insert(out.end(), buf, buf + r);
    else if (!(p.revents & POLLIN))
      break;
  }
  return out;
}

Bytes TestPort::readFrame(int timeoutMs) {
  long long end = nowMs() + timeoutMs;
  Bytes head;
  while (head.empty() || head[0] != 0x01) {
    head = read(1, static_cast<int>(std::max(1LL, end - nowMs())));
    if (head.empty())
      return {};
  }
  Bytes rest = read(3, static_cast<int>(std::max(1LL, end - nowMs())));
  head.insert(head.end(), rest.begin(), rest.end());
  if (head.size() < 4)
    return head;
  rest = read(static_cast<size_t>(head[2]) + 2, static_cast<int>(std::max(1LL, end - nowMs())));
  head.insert(head.end(), rest.begin(), rest.end());
  return head;
}

Bytes TestPort::drain(int quietMs) {
  Bytes out;
  for (;;) {
    Bytes b = read(4096, quietMs);
    if (b.empty())
      return out;
    out.insert(out.end(), b.begin(), b.end());
  }
}

bool TestPort::hungUp(int timeoutMs) {
  long long end = nowMs() + timeoutMs;
  while (nowMs() < end) {
    pollfd p{_fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(end - nowMs())) <= 0)
      continue;
    if (p.revents & (POLLHUP | POLLERR))
      return true;
    uint8_t b;
    ssize_t r = ::read(_fd, &b, 1);
    if (r <= 0)
      return true;
  }
  return false;
}

Bytes frameOf(uint8_t type, const Bytes& data) {
  Bytes f{0x01, type, static_cast<uint8_t>(data.size()), 0x02};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(0x03);
  unsigned sum = 0;
  for (uint8_t b : f)
    sum += b;
  f.push_back(static_cast<uint8_t>(sum & 0xFF));
  return f;
}

Bytes entryData(uint8_t nr, const std::string& text, const std::string& number) {
  std::string s = "\"" + text + "\",\"" + number + "\"";
  Bytes d{nr};
  d.insert(d.end(), s.begin(), s.end());
  return d;
}

std::string hex(const Bytes& b) {
  std::string s;
  char buf[4];
  for (uint8_t v : b) {
    snprintf(buf, sizeof buf, "%02X ", v);
    s += buf;
  }
  if (!s.empty())
    s.pop_back();
  return s;
}
