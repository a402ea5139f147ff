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
#include "TestFiles.h"

// The simulator against the wire protocol, byte for byte: the end-to-end
// tests stand on the frames it sends being right. Frames are built here from
// the wire layout, independently of the simulator's own code.

namespace {

using Bytes = std::vector<uint8_t>;

const int T = 5000;  // for an answer that must come; a quiet line ends sooner

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
    for (ssize_t done = 0, w; done < ssize_t(b.size()) && poll(&p, 1, T) > 0; done += std::max<ssize_t>(w, 0))
      w = write(_fd, b.data() + done, b.size() - done);
  }
  // Up to n bytes; fewer when the line stayed quiet for ms.
  Bytes read(size_t n, int ms = T) {
    Bytes out;
    uint8_t buf[4096];
    pollfd p{_fd, POLLIN, 0};
    while (out.size() < n && poll(&p, 1, ms) > 0) {
      ssize_t r = ::read(_fd, buf, std::min(sizeof buf, n - out.size()));
      if (r <= 0) break;
      out.insert(out.end(), buf, buf + r);
    }
    return out;
  }
  // One frame by its length byte, after whatever comes before its SOH.
  Bytes frame() {
    Bytes f;
    while (f.empty() || f[0] != 0x01)
      if ((f = read(1)).empty()) return f;
    for (size_t want : {3, 2}) {
      Bytes more = read(want + (f.size() > 3 ? f[2] : 0));
      f.insert(f.end(), more.begin(), more.end());
    }
    return f;
  }
};

Bytes frameOf(uint8_t type, const std::string& data) {
  Bytes f{0x01, type, static_cast<uint8_t>(data.size()), 0x02};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(0x03);
  unsigned sum = 0;
  for (uint8_t b : f) sum += b;
  f.push_back(static_cast<uint8_t>(sum));
  return f;
}
Bytes entryFrame(char nr, const std::string& text, const std::string& number) {
  return frameOf(4, nr + ("\"" + text + "\",\"" + number + "\""));
}
Bytes bootInfo(const std::string& hw) { return frameOf(13, std::string(1, '\0') + hw + "TL8888GM-EDSTD" + std::string(3, '\0')); }
// A second-stage boot loader: too long for the length byte, which says 0.
Bytes loaderFrame(const std::string& code) {
  Bytes f = frameOf(12, code);
  f[2] = 0;
  f.back() = static_cast<uint8_t>(f.back() - code.size());
  return f;
}
// A firmware packet: number, its complement, 128 bytes (0xFF after data), sum.
Bytes packetOf(uint8_t nr, const std::string& data) {
  Bytes p{0x01, nr, static_cast<uint8_t>(255 - nr)};
  unsigned s = 0;
  for (size_t i = 0; i < 128; ++i) {
    p.push_back(i < data.size() ? static_cast<uint8_t>(data[i]) : 0xFF);
    s += p.back();
  }
  p.push_back(static_cast<uint8_t>(s));
  return p;
}

// Garbage rich in control bytes, some of it frame-shaped: it must never
// stop the device. What comes back is thrown away.
void sendGarbage(Port& port) {
  Bytes junk;
  const uint8_t pick[] = {0x01, 0x02, 0x03, 0x04, 0x06, 0x15, 0x0C, 0xFF, 0x80, 0x00};
  for (unsigned i = 0, x = 12345; i < 3000; ++i) {
    x = x * 1103515245u + 12345u;
    junk.push_back((x >> 16) % 3 ? pick[(x >> 8) % 10] : static_cast<uint8_t>(x >> 24));
  }
  port.send(junk);
  port.read(1 << 20, 300);
}

// Requests and answers of the wire protocol by their frame types.
const Bytes STATUS_REQUEST = frameOf(0, ""), UPLOAD_REQUEST = frameOf(2, ""), DOWNLOAD_REQUEST = frameOf(3, ""),
            UPLOAD_END = frameOf(5, ""), LIFE_CHECK = frameOf(8, ""), WAITING = frameOf(9, ""),
            UPGRADE_REQUEST = frameOf(10, ""), BOOT_LOAD_REQUEST = frameOf(11, ""), SMALL_LOADER = loaderFrame("U");
const Bytes ACK{0x06}, NAK{0x15}, EOT{0x04};

}  // namespace

TEST(TolvanSim, DownloadSendsEachEntryAfterTheAckOfTheLast) {
  TempDir dir;
  writeFile(dir.file("dl.kvn"), "Alarm|0612345678\r\nC:\\dir\\x|12\r\n|\r\ntext only|\r\n");
  SimProcess sim({"--kvn", dir.file("dl.kvn"), "--entries", "4", "--wait", "1"});
  Port port(sim.port());
  struct Step { Bytes sent, answer; } steps[] = {
      {DOWNLOAD_REQUEST, WAITING},
      {DOWNLOAD_REQUEST, entryFrame(1, "Alarm", "0612345678")},
      {NAK, entryFrame(1, "Alarm", "0612345678")},
      {ACK, entryFrame(2, "C:/dir/x", "12")},  // the backslash travels as a slash
      {ACK, entryFrame(3, "", "")},  // an empty entry all the same, so the PC keeps no stale data
      {ACK, entryFrame(4, "text only", "")},
      {ACK, UPLOAD_END},
  };
  for (const Step& s : steps) {
    port.send(s.sent);
    EXPECT_EQ(s.answer, port.frame());
    EXPECT_TRUE(port.read(1, 150).empty());  // the next only after the answer
  }
}

TEST(TolvanSim, UploadTakesGoodEntriesOnlyAndKeepsThem) {
  TempDir dir;
  SimProcess sim({"--out", dir.file("ul.kvn"), "--entries", "3", "--type", "TL1111GM-ED"});
  Port port(sim.port());
  ASSERT_EQ("OK wait 1", sim.command("wait 1"));
  port.send(UPLOAD_REQUEST);
  EXPECT_EQ(WAITING, port.frame());
  port.send(UPLOAD_REQUEST);
  EXPECT_EQ(ACK, port.read(1));
  Bytes damaged = entryFrame(2, "C:/a/b", "9");
  damaged.back() ^= 0x40;
  Bytes noSeparator = frameOf(4, "\x05\"no separator\"");
  struct Step { Bytes sent, answer; } steps[] = {
      {entryFrame(1, "Home", "+31201234567"), ACK},
      {damaged, NAK},
      {noSeparator, NAK},
      {{0x01, 0x00, 0x00, 0x02}, NAK},  // cut short: answered once the line is quiet
      {entryFrame(2, "C:/a/b", "9"), ACK},
      {entryFrame(3, "", ""), ACK},
      {UPLOAD_END, ACK},
  };
  for (const Step& s : steps) {
    port.send(s.sent);
    EXPECT_EQ(s.answer, port.read(1)) << testing::PrintToString(s.sent);
  }
  std::string expected;
  for (int n = 1; n <= 200; ++n)  // 10 and 20 not uploaded: what the device held
    expected += n == 1 ? "Home|+31201234567\n" : n == 2 ? "C:\\a\\b|9\n" : n == 10 ? "TL1111GM-ED|\n" : n == 20 ? "STD|\n" : "|\n";
  EXPECT_EQ(expected, readFile(dir.file("ul.kvn")));
  // And the device serves what it took.
  port.send(DOWNLOAD_REQUEST);
  EXPECT_EQ(entryFrame(1, "Home", "+31201234567"), port.frame());
}

// Status request and life check are answered with the identity; the faults
// the tests order disturb exactly the next frame, and the line recovers as
// the protocol says.
TEST(TolvanSim, StatusIsAnsweredAndOrderedFaultsDisturbTheNextFrameOnly) {
  SimProcess sim({"--type", "TL4422GM-AD", "--sw", "TOLVAN SW7.01.02", "--special", "SP1", "--hw", "H.51",
                  "--status-byte", "7", "--entries", "150"});
  Port port(sim.port());
  sendGarbage(port);
  // Noise, then a request split over two writes.
  port.send({0x55, 0xAA, 0x01, 0x00});
  port.send({0x00, 0x02, 0x03, 0x06});
  std::string data = "\x01\x07\x96\"TL4422GM-AD\",\"TOLVAN SW7.01.02\",\"SP1\",\"H.51\"";
  EXPECT_EQ(frameOf(1, data), port.frame());
  ASSERT_EQ("OK status-byte 3", sim.command("status-byte 3"));
  data[1] = 3;
  const Bytes whole = frameOf(1, data);
  port.send(LIFE_CHECK);
  EXPECT_EQ(whole, port.frame());

  ASSERT_EQ("OK corrupt 1", sim.command("corrupt 1"));
  port.send(STATUS_REQUEST);
  Bytes bad = port.frame();
  ASSERT_EQ(whole.size(), bad.size());
  EXPECT_NE(whole.back(), bad.back());
  EXPECT_EQ(Bytes(whole.begin(), whole.end() - 1), Bytes(bad.begin(), bad.end() - 1));
  port.send(NAK);
  EXPECT_EQ(whole, port.frame());

  ASSERT_EQ("OK cut 1", sim.command("cut 1"));
  port.send(STATUS_REQUEST);
  EXPECT_EQ(Bytes(whole.begin(), whole.begin() + whole.size() / 2), port.read(whole.size(), 300));
  port.send(NAK);
  EXPECT_EQ(whole, port.frame());

  ASSERT_EQ("OK garble 1", sim.command("garble 1"));
  port.send(STATUS_REQUEST);
  EXPECT_EQ(NAK, port.read(1));
  port.send(STATUS_REQUEST);
  EXPECT_EQ(whole, port.frame());

  ASSERT_EQ("OK noise 5", sim.command("noise 5"));
  port.send(STATUS_REQUEST);
  Bytes noise = port.read(5);
  ASSERT_EQ(5u, noise.size());
  for (uint8_t b : noise) EXPECT_TRUE(b != 0x01 && b != 0x06 && b != 0x15) << testing::PrintToString(noise);
  EXPECT_EQ(whole, port.frame());
  port.send(STATUS_REQUEST);
  EXPECT_EQ(whole, port.read(whole.size()));

  ASSERT_EQ("OK silent on", sim.command("silent on"));
  port.send(STATUS_REQUEST);
  EXPECT_TRUE(port.read(1, 300).empty());
  ASSERT_EQ("OK silent off", sim.command("silent off"));
  port.send(STATUS_REQUEST);
  EXPECT_EQ(whole, port.frame());
  EXPECT_EQ(0u, sim.command("fly away").rfind("ERR", 0));
}

// Upgrade request, second-stage loader, boot info, packets with a refusal
// on purpose and a damaged one, EOT: the device keeps exactly the packets'
// data and then runs the image's version.
TEST(TolvanSim, FirmwareUpgradeKeepsTheImageAndRunsIt) {
  TempDir dir;
  SimProcess sim({"--image-out", dir.file("image.bin"), "--nak-packet", "2", "--hw", "H.49"});
  Port port(sim.port());
  port.send(UPGRADE_REQUEST);
  // The device restarts into its boot loader and asks for it.
  EXPECT_EQ(BOOT_LOAD_REQUEST, port.frame());
  std::string loader;
  for (int i = 0; i < 300; ++i) loader.push_back(static_cast<char>(i * 7));  // holds ETX bytes too
  port.send(loaderFrame(loader));
  EXPECT_EQ(bootInfo("H.49"), port.frame());
  EXPECT_EQ(NAK, port.read(1));  // opens the transfer
  Bytes p1 = packetOf(1, "xxxxVERSION: TL-7.01SPEC01"), p2 = packetOf(2, "two"), p3 = packetOf(3, "three");
  Bytes broken = p3;
  broken.back() ^= 1;
  struct Step { Bytes sent, answer; } steps[] = {{p1, ACK}, {p2, NAK}, {p1, ACK}, {p2, ACK}, {broken, NAK}, {p3, ACK}, {EOT, ACK}};
  for (const Step& s : steps) {
    port.send(s.sent);
    EXPECT_EQ(s.answer, port.read(1)) << testing::PrintToString(s.sent);
  }
  std::string image;
  for (const Bytes* p : {&p1, &p2, &p3}) image.append(p->begin() + 3, p->begin() + 131);
  EXPECT_EQ(image, readFile(dir.file("image.bin")));
  // The PC reads the version from the tenth character of the software text.
  port.send(STATUS_REQUEST);
  Bytes st = port.frame();
  EXPECT_NE(std::string::npos, std::string(st.begin(), st.end()).find("\",\"TOLVAN SWTL-7.01\",\""));
}

TEST(TolvanSim, BootLoaderAsksForFirmwareAndCanStopAnsweringMidTransfer) {
  SimProcess sim({"--boot", "--misfit-bootinfo", "1", "--silent-after-packet", "2"});
  Port port(sim.port());
  sendGarbage(port);
  port.send(STATUS_REQUEST);
  EXPECT_EQ(BOOT_LOAD_REQUEST, port.frame());
  port.send(SMALL_LOADER);
  EXPECT_EQ(bootInfo("H.00"), port.frame());
  port.send(SMALL_LOADER);
  EXPECT_EQ(bootInfo("H.49"), port.frame());
  EXPECT_EQ(NAK, port.read(1));
  port.send(packetOf(1, "one"));
  EXPECT_EQ(ACK, port.read(1));
  port.send(packetOf(2, "two"));
  EXPECT_TRUE(port.read(1, 400).empty());
  ASSERT_EQ("OK silent off", sim.command("silent off"));
  // The interrupted transfer leaves the device in its boot loader.
  port.send(STATUS_REQUEST);
  EXPECT_EQ(BOOT_LOAD_REQUEST, port.frame());
}
