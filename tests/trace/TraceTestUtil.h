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

// A listening socket on 127.0.0.1 with a port of the system's choice, and
// the one connection it accepts: the test's end of the debug console.
struct Console {
  int listener = -1;
  int peer = -1;
  uint16_t port = 0;
  std::string received;

  Console() {
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = 0;
    bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    listen(listener, 1);
    socklen_t len = sizeof sa;
    getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
  }
  ~Console() {
    if (peer >= 0) close(peer);
    if (listener >= 0) close(listener);
  }
  bool accept(int timeoutMs = 10000) {
    pollfd p{listener, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) != 1) return false;
    peer = ::accept(listener, nullptr, nullptr);
    return peer >= 0;
  }
  bool send(const std::string& text) { return ::send(peer, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size()); }
  // Takes in what has arrived, without waiting.
  void drain() {
    char buf[4096];
    pollfd p{peer, POLLIN, 0};
    while (poll(&p, 1, 0) == 1) {
      ssize_t n = recv(peer, buf, sizeof buf, 0);
      if (n <= 0) return;
      received.append(buf, size_t(n));
    }
  }
  bool has(const std::string& s) const { return received.find(s) != std::string::npos; }
  // Reads until needle has arrived (true) or the time-out passed.
  bool waitFor(const std::string& needle, int timeoutMs = 10000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (received.find(needle) == std::string::npos) {
      int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
      if (left <= 0) return false;
      pollfd p{peer, POLLIN, 0};
      if (poll(&p, 1, left) != 1) return false;
      char buf[4096];
      ssize_t n = recv(peer, buf, sizeof buf, 0);
      if (n <= 0) return false;
      received.append(buf, size_t(n));
    }
    return true;
  }
};

// Repeats step (with short pauses) until done() holds or the time-out passed.
inline bool until(const std::function<bool()>& done, const std::function<void()>& step, int timeoutMs = 10000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    step();
    if (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

#endif
