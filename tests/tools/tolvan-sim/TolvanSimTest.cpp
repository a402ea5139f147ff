#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "SimProcess.h"
#include "TempDir.h"
#include "TestFrame.h"
#include "TestFiles.h"

// The frames the simulator sends, byte for byte. Everything else it does is
// seen by the end-to-end and controller tests that drive it; a frame layout
// or checksum the driver and the simulator got wrong alike is not.

namespace {

// The PC's end of the line, opened raw as the program opens a serial port.
struct Port {
  const int _fd;
  explicit Port(const std::string& path) : _fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    termios tio;
    if (tcgetattr(_fd, &tio) == 0) cfmakeraw(&tio), tcsetattr(_fd, TCSANOW, &tio);
  }
  ~Port() { close(_fd); }
  void send(const Bytes& b) {
    pollfd p{_fd, POLLOUT, 0};
    ssize_t done = 0;
    while (done < ssize_t(b.size()) && poll(&p, 1, 5000) > 0)
      done += std::max<ssize_t>(write(_fd, b.data() + done, b.size() - done), 0);
  }
  // Up to n bytes; fewer when the line stayed quiet for 5 s.
  Bytes read(size_t n) {
    Bytes out;
    uint8_t buf[4096];
    pollfd p{_fd, POLLIN, 0};
    while (out.size() < n && poll(&p, 1, 5000) > 0) {
      ssize_t r = ::read(_fd, buf, std::min(sizeof buf, n - out.size()));
      if (r <= 0) break;
      out.insert(out.end(), buf, buf + r);
    }
    return out;
  }
  // One frame by its length byte.
  Bytes frame() {
    Bytes f = read(3);
    Bytes more = read(f.size() == 3 ? f[2] + 3u : 0u);
    f.insert(f.end(), more.begin(), more.end());
    return f;
  }
};

Bytes entryFrame(char nr, const std::string& text, const std::string& number) {
  return frame(4, nr + ("\"" + text + "\",\"" + number + "\""));
}

const Bytes ACK{0x06};

}  // namespace

TEST(TolvanSim, FramesTheDeviceSends) {
  TempDir dir;
  writeFile(dir.file("dl.kvn"), "Alarm|0612345678\r\nC:\\dir\\x|12\r\n|\r\n");
  SimProcess sim({"--kvn", dir.file("dl.kvn"), "--entries", "3", "--wait", "1", "--type", "TL4422GM-AD",
                  "--sw", "TOLVAN SW7.01.02", "--special", "SP1", "--hw", "H.51", "--status-byte", "7"});
  Port port(sim.port());
  port.send(frame(0, ""));
  EXPECT_EQ(frame(1, "\x01\x07\x03\"TL4422GM-AD\",\"TOLVAN SW7.01.02\",\"SP1\",\"H.51\""), port.frame());
  struct Step { Bytes sent, answer; } steps[] = {
      {frame(3, ""), frame(9, "")},  // waiting
      {frame(3, ""), entryFrame(1, "Alarm", "0612345678")},
      {ACK, entryFrame(2, "C:/dir/x", "12")},  // the backslash travels as a slash
      {ACK, entryFrame(3, "", "")},
      {ACK, frame(5, "")},
      {frame(10, ""), frame(11, "")},  // restarts into its boot loader, which asks for loading
  };
  for (const Step& s : steps) {
    port.send(s.sent);
    EXPECT_EQ(s.answer, port.frame());
  }
  // A second-stage loader too long for its length byte, which says 0.
  Bytes loader = frame(12, std::string(300, 'U'));
  loader[2] = 0;
  loader.back() = static_cast<uint8_t>(loader.back() - 300);
  port.send(loader);
  EXPECT_EQ(frame(13, std::string(1, '\0') + "H.51TL4422GM-ADSP1" + std::string(3, '\0')), port.frame());
}
