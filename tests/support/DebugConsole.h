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

#include "LoopbackListener.h"

// The remote debug console: accepts the program's connection and collects
// what it sends.
class DebugConsole {
public:
  DebugConsole() {
    _listen = listenOnLoopback(_port);
    if (_listen < 0) return;
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
  // Waits until the text (after position from) holds what; its position or
  // npos.
  size_t waitFor(const std::string& what, int ms, size_t from = 0) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      {
        std::lock_guard<std::mutex> l(_mutex);
        size_t p = from < _text.size() ? _text.find(what, from) : std::string::npos;
        if (p != std::string::npos) return p;
      }
      if (std::chrono::steady_clock::now() > end) return std::string::npos;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  size_t count(const std::string& what) {
    std::string t = text();
    size_t n = 0;
    for (size_t p = t.find(what); p != std::string::npos; p = t.find(what, p + 1)) ++n;
    return n;
  }
  // Sends a trace command once the program is connected.
  bool command(const std::string& line) {
    for (int i = 0; i < 500 && _conn < 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (_conn < 0) return false;
    std::string s = line + "\r\n";
    return ::send(_conn, s.data(), s.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(s.size());
  }

private:
  void run() {
    while (!_stop) {
      int conn = _conn;
      int fd = conn >= 0 ? conn : _listen;
      struct pollfd p = {fd, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      if (_conn < 0) {
        _conn = accept(_listen, nullptr, nullptr);
        continue;
      }
      char buf[4096];
      ssize_t n = recv(_conn, buf, sizeof buf, 0);
      if (n <= 0) {
        // The program has gone; keep what it said.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (n == 0) break;
        continue;
      }
      std::lock_guard<std::mutex> l(_mutex);
      _text.append(buf, n);
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
