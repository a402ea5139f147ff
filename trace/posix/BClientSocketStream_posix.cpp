#include <arpa/inet.h>
#include <netdb.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "BClientSocketStream.h"

BClientSocketStream::~BClientSocketStream() { disconnect(); }

bool BClientSocketStream::connect(const char* host, uint16_t port) {
  disconnect();
  // A dotted address or a host name; one that does not resolve leaves the
  // stream closed rather than aimed at the broadcast address.
  struct in_addr addr;
  memset(&addr, 0, sizeof addr);
  if (!host || !*host) return false;
  if (inet_pton(AF_INET, host, &addr) != 1) {
    struct addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return false;
    addr = reinterpret_cast<struct sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
  }
  _peer.family = AF_INET;
  _peer.port = port;
  _peer.address = ntohl(addr.s_addr);
  _socket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (_socket < 0) return false;
  int flags = fcntl(_socket, F_GETFL, 0);
  if (flags >= 0) fcntl(_socket, F_SETFL, flags | O_NONBLOCK);
  struct sockaddr_in sa;
  memset(&sa, 0, sizeof sa);
  sa.sin_family = AF_INET;
  sa.sin_port = htons(_peer.port);
  sa.sin_addr.s_addr = htonl(_peer.address);
  // Usually EINPROGRESS: the connection completes while the program runs on.
  if (::connect(_socket, reinterpret_cast<struct sockaddr*>(&sa), sizeof sa) != 0) { /* see later sends */ }
  return true;
}

bool BClientSocketStream::disconnect() {
  if (_socket >= 0) close(_socket);
  _socket = -1;
  return true;
}

bool BClientSocketStream::send(const std::string& text) {
  if (_socket < 0) return false;
  if (text.empty()) return true;
  // A broken console must not kill the program with SIGPIPE.
  ssize_t n = ::send(_socket, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  return n >= 0;
}

int BClientSocketStream::recv(std::string& text) {
  if (_socket < 0) return 0;
  text.clear();
  char buf[RECV_SIZE + 1];
  memset(buf, 0, sizeof buf);
  ssize_t n = ::recv(_socket, buf, RECV_SIZE, MSG_DONTWAIT);
  if (n <= 0) return 0;
  text.append(buf, static_cast<size_t>(n));
  return static_cast<int>(n);
}

BClientSocketStream& BClientSocketStream::sendf(const char* format, ...) {
  char buf[64];
  va_list ap;
  va_start(ap, format);
  vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  send(buf);
  return *this;
}

BClientSocketStream& BClientSocketStream::operator<<(const std::string& s) {
  send(s);
  return *this;
}
BClientSocketStream& BClientSocketStream::operator<<(const char* s) {
  if (s) send(s);
  return *this;
}
BClientSocketStream& BClientSocketStream::operator<<(char c) { return sendf("%c", c); }
BClientSocketStream& BClientSocketStream::operator<<(unsigned char c) { return sendf("%c", c); }
BClientSocketStream& BClientSocketStream::operator<<(short v) { return sendf("%d", v); }
BClientSocketStream& BClientSocketStream::operator<<(unsigned short v) { return sendf("%d", v); }
BClientSocketStream& BClientSocketStream::operator<<(int v) { return sendf("%d", v); }
// Unsigned, so that values above 2^31 are not shown as negative numbers.
BClientSocketStream& BClientSocketStream::operator<<(unsigned int v) { return sendf("%u", v); }
BClientSocketStream& BClientSocketStream::operator<<(long v) { return sendf("%li", v); }
BClientSocketStream& BClientSocketStream::operator<<(unsigned long v) { return sendf("%lu", v); }
BClientSocketStream& BClientSocketStream::operator<<(const void* p) { return sendf("%p", p); }
BClientSocketStream& BClientSocketStream::operator>>(std::string& s) {
  recv(s);
  return *this;
}
