#ifndef BCLIENTSOCKETSTREAM_H
#define BCLIENTSOCKETSTREAM_H

#include <cstdint>
#include <string>

// A small non-blocking IPv4 TCP client: the remote debug console. Without a
// connection every write is dropped and every receive gives 0.
class BClientSocketStream {
public:
  enum { RECV_SIZE = 500 };

  BClientSocketStream() = default;
  ~BClientSocketStream();
  BClientSocketStream(const BClientSocketStream&) = delete;
  BClientSocketStream& operator=(const BClientSocketStream&) = delete;

  // Starts a connection to a dotted IPv4 address or a host name. False when
  // the name does not resolve (or no socket is had); otherwise true: a failed
  // or pending connection shows only in later sends failing.
  bool connect(const char* host, uint16_t port);
  bool disconnect();
  bool isConnected() const { return _socket >= 0; }

  // One send of all the bytes; false when not connected or the send failed.
  bool send(const std::string& text);
  // Empties text, then appends what arrived (at most RECV_SIZE bytes) and
  // returns the count; 0 when nothing waits, the peer closed or on error.
  // Not connected: 0 and text is left alone.
  int recv(std::string& text);

  BClientSocketStream& operator<<(const std::string& s);
  BClientSocketStream& operator<<(const char* s);
  BClientSocketStream& operator<<(char c);
  BClientSocketStream& operator<<(unsigned char c);
  BClientSocketStream& operator<<(short v);
  BClientSocketStream& operator<<(unsigned short v);
  BClientSocketStream& operator<<(int v);
  BClientSocketStream& operator<<(unsigned int v);
  BClientSocketStream& operator<<(long v);
  BClientSocketStream& operator<<(unsigned long v);
  BClientSocketStream& operator<<(const void* p);
  BClientSocketStream& operator>>(std::string& s);

private:
  // The peer, kept in host order so that this header needs no socket headers.
  struct PeerAddress {
    uint16_t family = 0;
    uint16_t port = 0;
    uint32_t address = 0;
  };
  BClientSocketStream& sendf(const char* format, ...) __attribute__((format(printf, 2, 3)));

  int _socket = -1;
  PeerAddress _peer;
};

#endif
