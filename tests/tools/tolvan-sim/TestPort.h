#ifndef TESTPORT_H
#define TESTPORT_H

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The PC's end of the line in the tests: the slave opened raw, as the
// program opens a serial port.
class TestPort {
public:
  explicit TestPort(const std::string& path);
  ~TestPort();
  TestPort(const TestPort&) = delete;
  TestPort& operator=(const TestPort&) = delete;

  bool isOpen() const { return _fd >= 0; }
  int fd() const { return _fd; }
  void send(const Bytes& bytes);
  // Up to n bytes; fewer when nothing more came within timeoutMs.
  Bytes read(size_t n, int timeoutMs);
  // One frame by its length byte, after skipping bytes before an SOH.
  Bytes readFrame(int timeoutMs);
  // Whatever arrives until the line stays quiet for quietMs.
  Bytes drain(int quietMs);
  // True when the other side hung up within timeoutMs.
  bool hungUp(int timeoutMs);

private:
  int _fd = -1;
};

// Frames built here from the wire layout, independently of the simulator.
Bytes frameOf(uint8_t type, const Bytes& data);
Bytes entryData(uint8_t nr, const std::string& text, const std::string& number);
std::string hex(const Bytes& b);

#endif
