#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
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
class Port {
public:
  explicit Port(const std::string& path) : _fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    termios tio;
    if (_fd >= 0 && tcgetattr(_fd, &tio) == 0) {
      cfmakeraw(&tio);
      tcsetattr(_fd, TCSANOW, &tio);
    }
  }
  ~Port() {
    if (_fd >= 0) close(_fd);
  }
  bool isOpen() const { return _fd >= 0; }
  void send(const Bytes& b) {
    for (size_t done = 0; done < b.size();) {
      ssize_t w = write(_fd, b.data() + done, b.size() - done);
      pollfd p{_fd, POLLOUT, 0};
      if (w > 0)
        done += static_cast<size_t>(w);
      else if (poll(&p, 1, 1000) <= 0)
        return;
    }
  }
  // Up to n bytes; fewer when the line stayed quiet for ms, or hung up.
  Bytes read(size_t n, int ms = T) {
    Bytes out;
    while (out.size() < n) {
      pollfd p{_fd, POLLIN, 0};
      if (poll(&p, 1, ms) <= 0) break;
      uint8_t buf[4096];
      ssize_t r = ::read(_fd, buf, std::min(sizeof buf, n - out.size()));
      if (r <= 0) {
        _hungUp = true;
        break;
      }
      out.insert(out.end(), buf, buf + r);
    }
    return out;
  }
  // One frame by its length byte, after whatever comes before its SOH.
  Bytes frame(int ms = T) {
    Bytes f;
    while (f.empty() || f[0] != 0x01) {
      f = read(1, ms);
      if (f.empty()) return f;
    }
    Bytes head = read(3, ms);
    f.insert(f.end(), head.begin(), head.end());
    if (f.size() < 4) return f;
    Bytes rest = read(f[2] + 2u, ms);
    f.insert(f.end(), rest.begin(), rest.end());
    return f;
  }
  bool hungUp() {
    read(4096, T);
    return _hungUp;
  }

private:
  int _fd;
  bool _hungUp = false;
};

Bytes frameOf(uint8_t type, const Bytes& data) {
  Bytes f{0x01, type, static_cast<uint8_t>(data.size()), 0x02};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(0x03);
  unsigned sum = 0;
  for (uint8_t b : f) sum += b;
  f.push_back(static_cast<uint8_t>(sum));
  return f;
}
Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes entryFrame(uint8_t nr, const std::string& text, const std::string& number) {
  Bytes d{nr};
  Bytes t = bytes("\"" + text + "\",\"" + number + "\"");
  d.insert(d.end(), t.begin(), t.end());
  return frameOf(4, d);
}
// A firmware packet: number, its complement, 128 bytes (0xFF after data), sum.
Bytes packetOf(uint8_t nr, const std::string& data) {
  Bytes p{0x01, nr, static_cast<uint8_t>(255 - nr)};
  unsigned s = 0;
  for (size_t i = 0; i < 128; ++i) {
    uint8_t b = i < data.size() ? static_cast<uint8_t>(data[i]) : 0xFF;
    p.push_back(b);
    s += b;
  }
  p.push_back(static_cast<uint8_t>(s));
  return p;
}
std::string hex(const Bytes& b) {
  std::string s;
  char buf[4];
  for (uint8_t v : b) {
    snprintf(buf, sizeof buf, " %02X", v);
    s += buf;
  }
  return s;
}

// Requests as the PC sends them, written out byte by byte.
const Bytes STATUS_REQUEST{0x01, 0x00, 0x00, 0x02, 0x03, 0x06};
const Bytes LIFE_CHECK{0x01, 0x08, 0x00, 0x02, 0x03, 0x0E};
const Bytes UPLOAD_REQUEST{0x01, 0x02, 0x00, 0x02, 0x03, 0x08};
const Bytes DOWNLOAD_REQUEST{0x01, 0x03, 0x00, 0x02, 0x03, 0x09};
const Bytes UPLOAD_END{0x01, 0x05, 0x00, 0x02, 0x03, 0x0B};
const Bytes DOWNLOAD_END = UPLOAD_END;
const Bytes UPGRADE_REQUEST{0x01, 0x0A, 0x00, 0x02, 0x03, 0x10};
const Bytes WAITING{0x01, 0x09, 0x00, 0x02, 0x03, 0x0F};
const Bytes BOOT_LOAD_REQUEST{0x01, 0x0B, 0x00, 0x02, 0x03, 0x11};
const Bytes SMALL_LOADER{0x01, 0x0C, 0x00, 0x02, 0x55, 0x03, 0x67};
const Bytes ACK{0x06}, NAK{0x15}, EOT{0x04};

Bytes bootInfo(const std::string& hw) {
  return frameOf(13, bytes(std::string("\0", 1) + hw + "TL8888GM-EDSTD" + std::string(3, '\0')));
}

}  // namespace

TEST(TolvanSim, StatusAndLifeCheckAreAnsweredWithTheIdentity) {
  SimProcess sim({"--type", "TL4422GM-AD", "--sw", "TOLVAN SW7.01.02", "--special", "SP1", "--hw", "H.51",
                  "--status-byte", "7", "--entries", "150"});
  Port port(sim.port());
  ASSERT_TRUE(port.isOpen());
  // Noise, then a request split over two writes.
  port.send({0x55, 0xAA, 0x01, 0x00});
  port.send({0x00, 0x02, 0x03, 0x06});
  Bytes data{1, 7, 150};
  Bytes texts = bytes("\"TL4422GM-AD\",\"TOLVAN SW7.01.02\",\"SP1\",\"H.51\"");
  data.insert(data.end(), texts.begin(), texts.end());
  EXPECT_EQ(hex(frameOf(1, data)), hex(port.frame()));
  ASSERT_EQ("OK status-byte 3", sim.command("status-byte 3"));
  data[1] = 3;
  port.send(LIFE_CHECK);
  EXPECT_EQ(hex(frameOf(1, data)), hex(port.frame()));
}

TEST(TolvanSim, DownloadSendsEachEntryAfterTheAckOfTheLast) {
  TempDir dir;
  writeFile(dir.file("dl.kvn"), "Alarm|0612345678\r\nC:\\dir\\x|12\r\n|\r\ntext only|\r\n");
  SimProcess sim({"--kvn", dir.file("dl.kvn"), "--entries", "4", "--wait", "1"});
  Port port(sim.port());
  port.send(DOWNLOAD_REQUEST);
  EXPECT_EQ(hex(WAITING), hex(port.frame()));
  port.send(DOWNLOAD_REQUEST);
  EXPECT_EQ(hex(entryFrame(1, "Alarm", "0612345678")), hex(port.frame()));
  EXPECT_TRUE(port.read(1, 250).empty());  // nothing before the ACK
  port.send(NAK);
  EXPECT_EQ(hex(entryFrame(1, "Alarm", "0612345678")), hex(port.frame()));
  port.send(ACK);
  // The backslash of the settings travels as a slash.
  EXPECT_EQ(hex(entryFrame(2, "C:/dir/x", "12")), hex(port.frame()));
  port.send(ACK);
  // An empty entry is sent all the same, so the PC keeps no stale data.
  EXPECT_EQ(hex(entryFrame(3, "", "")), hex(port.frame()));
  port.send(ACK);
  EXPECT_EQ(hex(entryFrame(4, "text only", "")), hex(port.frame()));
  port.send(ACK);
  EXPECT_EQ(hex(DOWNLOAD_END), hex(port.frame()));
  EXPECT_TRUE(port.read(1, 150).empty());
}

TEST(TolvanSim, UploadTakesGoodEntriesOnlyAndKeepsThem) {
  TempDir dir;
  SimProcess sim({"--out", dir.file("ul.kvn"), "--entries", "3", "--type", "TL1111GM-ED"});
  Port port(sim.port());
  ASSERT_EQ("OK wait 1", sim.command("wait 1"));
  port.send(UPLOAD_REQUEST);
  EXPECT_EQ(hex(WAITING), hex(port.frame()));
  port.send(UPLOAD_REQUEST);
  EXPECT_EQ(hex(ACK), hex(port.read(1)));
  Bytes damaged = entryFrame(2, "C:/a/b", "9");
  damaged.back() ^= 0x40;
  Bytes noSeparator = frameOf(4, bytes("\x05\"no separator\""));
  struct Step {
    Bytes sent, answer;
  } steps[] = {
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
    EXPECT_EQ(hex(s.answer), hex(port.read(1))) << hex(s.sent);
  }
  std::vector<std::string> lines(200, "|");
  lines[0] = "Home|+31201234567";
  lines[1] = "C:\\a\\b|9";
  lines[9] = "TL1111GM-ED|";  // not uploaded: what the device held
  lines[19] = "STD|";
  std::string expected;
  for (const std::string& l : lines) expected += l + "\n";
  EXPECT_EQ(expected, readFile(dir.file("ul.kvn")));
  // And the device serves what it took.
  port.send(DOWNLOAD_REQUEST);
  EXPECT_EQ(hex(entryFrame(1, "Home", "+31201234567")), hex(port.frame()));
}

// The faults the tests order disturb exactly the next frame, and the line
// recovers as the protocol says.
TEST(TolvanSim, OrderedFaultsDisturbTheNextFrameOnly) {
  SimProcess sim({});
  Port port(sim.port());
  port.send(STATUS_REQUEST);
  const Bytes whole = port.frame();
  ASSERT_GE(whole.size(), 7u);

  ASSERT_EQ("OK corrupt 1", sim.command("corrupt 1"));
  port.send(STATUS_REQUEST);
  Bytes bad = port.frame();
  ASSERT_EQ(whole.size(), bad.size());
  EXPECT_NE(whole.back(), bad.back());
  EXPECT_EQ(hex(Bytes(whole.begin(), whole.end() - 1)), hex(Bytes(bad.begin(), bad.end() - 1)));
  port.send(NAK);
  EXPECT_EQ(hex(whole), hex(port.frame()));

  ASSERT_EQ("OK cut 1", sim.command("cut 1"));
  port.send(STATUS_REQUEST);
  EXPECT_EQ(hex(Bytes(whole.begin(), whole.begin() + whole.size() / 2)), hex(port.read(whole.size(), 300)));
  port.send(NAK);
  EXPECT_EQ(hex(whole), hex(port.frame()));

  ASSERT_EQ("OK garble 1", sim.command("garble 1"));
  port.send(STATUS_REQUEST);
  EXPECT_EQ(hex(NAK), hex(port.read(1)));
  port.send(STATUS_REQUEST);
  EXPECT_EQ(hex(whole), hex(port.frame()));

  ASSERT_EQ("OK noise 5", sim.command("noise 5"));
  port.send(STATUS_REQUEST);
  Bytes noise = port.read(5);
  ASSERT_EQ(5u, noise.size());
  for (uint8_t b : noise) EXPECT_TRUE(b != 0x01 && b != 0x06 && b != 0x15) << hex(noise);
  EXPECT_EQ(hex(whole), hex(port.frame()));
  port.send(STATUS_REQUEST);
  EXPECT_EQ(hex(whole), hex(port.read(whole.size())));

  ASSERT_EQ("OK silent on", sim.command("silent on"));
  port.send(STATUS_REQUEST);
  EXPECT_TRUE(port.read(1, 300).empty());
  ASSERT_EQ("OK silent off", sim.command("silent off"));
  port.send(STATUS_REQUEST);
  EXPECT_EQ(hex(whole), hex(port.frame()));
  EXPECT_EQ(0u, sim.command("fly away").rfind("ERR", 0));
}

TEST(TolvanSim, UnplugHangsUpAndReplugRelinksOnTheSamePath) {
  TempDir dir(TempDir::ShortPath);
  std::string link = dir.file("tty");
  SimProcess sim({"--link", link});
  {
    Port port(link);
    ASSERT_TRUE(port.isOpen());
    ASSERT_EQ("OK unplug", sim.command("unplug"));
    EXPECT_TRUE(port.hungUp());
  }
  // Gone with the device, as a device node is.
  std::error_code ec;
  EXPECT_FALSE(std::filesystem::is_symlink(link, ec));
  ASSERT_EQ(0u, sim.command("replug").rfind("OK replug ", 0));
  Port port(link);
  port.send(STATUS_REQUEST);
  EXPECT_EQ(1u, port.frame().at(1));
  sim.command("quit");
  EXPECT_EQ(0, sim.waitExit(T));
  EXPECT_FALSE(std::filesystem::is_symlink(link, ec));
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
  EXPECT_EQ(hex(BOOT_LOAD_REQUEST), hex(port.frame()));
  Bytes loader;
  for (int i = 0; i < 300; ++i) loader.push_back(static_cast<uint8_t>(i * 7));  // holds ETX bytes too
  Bytes f = frameOf(12, {});
  f.insert(f.begin() + 4, loader.begin(), loader.end());
  unsigned sum = 0;
  for (size_t i = 0; i + 1 < f.size(); ++i) sum += f[i];
  f.back() = static_cast<uint8_t>(sum);
  port.send(f);
  EXPECT_EQ(hex(bootInfo("H.49")), hex(port.frame()));
  EXPECT_EQ(hex(NAK), hex(port.read(1)));  // opens the transfer
  Bytes p1 = packetOf(1, "xxxxVERSION: TL-7.01SPEC01"), p2 = packetOf(2, "two"), p3 = packetOf(3, "three");
  Bytes broken = p3;
  broken.back() ^= 1;
  struct Step {
    Bytes sent, answer;
  } steps[] = {{p1, ACK}, {p2, NAK}, {p1, ACK}, {p2, ACK}, {broken, NAK}, {p3, ACK}, {EOT, ACK}};
  for (const Step& s : steps) {
    port.send(s.sent);
    EXPECT_EQ(hex(s.answer), hex(port.read(1))) << hex(s.sent);
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
  port.send(STATUS_REQUEST);
  EXPECT_EQ(hex(BOOT_LOAD_REQUEST), hex(port.frame()));
  port.send(SMALL_LOADER);
  EXPECT_EQ(hex(bootInfo("H.00")), hex(port.frame()));
  port.send(SMALL_LOADER);
  EXPECT_EQ(hex(bootInfo("H.49")), hex(port.frame()));
  EXPECT_EQ(hex(NAK), hex(port.read(1)));
  port.send(packetOf(1, "one"));
  EXPECT_EQ(hex(ACK), hex(port.read(1)));
  port.send(packetOf(2, "two"));
  EXPECT_TRUE(port.read(1, 400).empty());
  ASSERT_EQ("OK silent off", sim.command("silent off"));
  // The interrupted transfer leaves the device in its boot loader.
  port.send(STATUS_REQUEST);
  EXPECT_EQ(hex(BOOT_LOAD_REQUEST), hex(port.frame()));
}

TEST(TolvanSim, GarbageNeverStopsTheDevice) {
  for (const char* mode : {"", "--boot"}) {
    SCOPED_TRACE(mode);
    SimProcess sim(*mode ? std::vector<std::string>{mode} : std::vector<std::string>{});
    Port port(sim.port());
    // Deterministic garbage rich in control bytes, some of it frame-shaped.
    Bytes junk;
    unsigned x = 12345;
    const uint8_t pick[] = {0x01, 0x02, 0x03, 0x04, 0x06, 0x15, 0x0C, 0xFF, 0x80, 0x00};
    for (int i = 0; i < 3000; ++i) {
      x = x * 1103515245u + 12345u;
      junk.push_back((x >> 16) % 3 ? pick[(x >> 8) % 10] : static_cast<uint8_t>(x >> 24));
    }
    port.send(junk);
    port.read(1 << 20, 300);
    port.send(STATUS_REQUEST);
    Bytes f = port.frame();
    ASSERT_GE(f.size(), 2u);
    EXPECT_TRUE(f[1] == 1 || f[1] == 11);
    EXPECT_EQ("OK ping", sim.command("ping"));
  }
}
