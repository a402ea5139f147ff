#ifndef LOOPBACKLISTENER_H
#define LOOPBACKLISTENER_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A listening socket on 127.0.0.1 at a port the system picks, for the
// program's debug console to connect to. The socket, or -1; port is set.
inline int listenOnLoopback(int& port) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 1) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    if (s >= 0) close(s);
    port = 0;
    return -1;
  }
  port = ntohs(a.sin_port);
  return s;
}

#endif
