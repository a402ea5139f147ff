#ifndef DEBUGCONSOLE_H
#define DEBUGCONSOLE_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "WaitUntil.h"

// The remote debug console on 127.0.0.1 at a port the system picks: accepts
// the program's connection and collects what it sends, in the background so
// that a busy trace never fills the line.
class DebugConsole {
public:
  DebugConsole() {
    _listen = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    sockaddr* sa = reinterpret_cast<sockaddr*>(&a);
    if (_listen < 0 || bind(_listen, sa, sizeof a) != 0 || listen(_listen, 1) != 0 ||
        getsockname(_listen, sa, &len) != 0)
      return;
    _port = ntohs(a.sin_port);
    _thread = std::thread([this] { run(); });
  }
  ~DebugConsole() {
    _stop = true;
    if (_thread.joinable()) _thread.join();
    if (_conn >= 0) close(_conn);
    if (_listen >= 0) close(_listen);
  }
  int port() const { return _port; }
  std::string text() {
    std::lock_guard<std::mutex> l(_mutex);
    return _text;
  }
  bool has(const std::string& what) { return text().find(what) != std::string::npos; }
  void clear() {
    std::lock_guard<std::mutex> l(_mutex);
    _text.clear();
  }
  // Waits until the text (after position from) holds what; its position or
  // npos.
  size_t waitFor(const std::string& what, int ms, size_t from = 0) {
    size_t p = std::string::npos;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while ((p = text().find(what, from)) == std::string::npos && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return p;
  }
  bool connected(int ms = 10000) {
    return waitUntil([this] { return _conn >= 0; }, ms);
  }
  // Sends the bytes as they are, once the program is connected.
  bool send(const std::string& bytes) {
    return connected() && ::send(_conn, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
  }
  // Sends a trace command.
  bool command(const std::string& line) { return send(line + "\r\n"); }
  // The console goes away; what it received stays.
  void hangUp() {
    if (_conn >= 0) shutdown(_conn, SHUT_RDWR);
  }

private:
  void run() {
    while (!_stop) {
      int conn = _conn;
      struct pollfd p = {conn >= 0 ? conn : _listen, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      if (conn < 0) {
        _conn = accept(_listen, nullptr, nullptr);
        continue;
      }
      char buf[4096];
      ssize_t n = recv(conn, buf, sizeof buf, 0);
      if (n == 0) break;  // the program has gone; keep what it said
      std::lock_guard<std::mutex> l(_mutex);
      if (n > 0) _text.append(buf, n);
    }
  }
  int _listen = -1;
  std::atomic<int> _conn{-1};
  int _port = 0;
  std::atomic<bool> _stop{false};
  std::thread _thread;
  std::mutex _mutex;
  std::string _text;
};

#endif
