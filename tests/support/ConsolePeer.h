#ifndef CONSOLEPEER_H
#define CONSOLEPEER_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "LoopbackListener.h"

// The test's end of the debug console for code that runs in the test's own
// process. Unlike DebugConsole nothing reads in the background, so the test
// pumps the program between looks; and it sends raw bytes (a command in
// pieces, no line end) and can hang up.
class ConsolePeer {
public:
  ConsolePeer() { _listen = listenOnLoopback(_port); }
  ~ConsolePeer() {
    hangUp();
    if (_listen >= 0) close(_listen);
  }
  int port() const { return _port; }
  bool accept(int ms = 10000) {
    pollfd p{_listen, POLLIN, 0};
    if (poll(&p, 1, ms) == 1) _conn = ::accept(_listen, nullptr, nullptr);
    return _conn >= 0;
  }
  bool send(const std::string& bytes) {
    return ::send(_conn, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
  }
  void hangUp() {
    if (_conn >= 0) close(_conn);
    _conn = -1;
  }
  // All that has arrived so far, taking in what waits without blocking.
  const std::string& text() {
    char buf[4096];
    pollfd p{_conn, POLLIN, 0};
    while (_conn >= 0 && poll(&p, 1, 0) == 1) {
      ssize_t n = recv(_conn, buf, sizeof buf, 0);
      if (n <= 0) break;
      _text.append(buf, size_t(n));
    }
    return _text;
  }
  bool has(const std::string& s) { return text().find(s) != std::string::npos; }
  void clear() { _text.clear(); }

private:
  int _listen = -1;
  int _conn = -1;
  int _port = 0;
  std::string _text;
};

#endif
