#ifndef TRACETESTUTIL_H
#define TRACETESTUTIL_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "TestTime.h"

// Repeats step (with short pauses) until done() holds or the time-out passed.
inline bool until(const std::function<bool()>& done, const std::function<void()>& step, int timeoutMs = 10000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(scaledMs(timeoutMs));
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    step();
    if (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// A listening socket on 127.0.0.1 with a port of the system's choice, and
// the one connection it accepts: the test's end of the debug console.
struct Console {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  int peer = -1;
  uint16_t port = 0;
  std::string received;

  Console() {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    listen(listener, 1);
    getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
  }
  ~Console() {
    if (peer >= 0) close(peer);
    close(listener);
  }
  bool accept() {
    pollfd p{listener, POLLIN, 0};
    if (poll(&p, 1, scaledMs(10000)) != 1) return false;
    return (peer = ::accept(listener, nullptr, nullptr)) >= 0;
  }
  bool send(const std::string& text) { return ::send(peer, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size()); }
  // Takes in what has arrived within waitMs; false when nothing did.
  bool drain(int waitMs = 0) {
    pollfd p{peer, POLLIN, 0};
    char buf[4096];
    ssize_t n = poll(&p, 1, waitMs) == 1 ? recv(peer, buf, sizeof buf, 0) : 0;
    if (n > 0) received.append(buf, size_t(n));
    return n > 0;
  }
  bool has(const std::string& s) const { return received.find(s) != std::string::npos; }
  bool waitFor(const std::string& needle) {
    return until([&] { return has(needle); }, [&] { drain(50); });
  }
};

#endif
