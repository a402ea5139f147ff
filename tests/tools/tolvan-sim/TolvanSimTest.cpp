#include "SimProcess.h"
#include "TestPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

// Requests as the PC sends them, written out byte by byte.
const Bytes STATUS_REQUEST{0x01, 0x00, 0x00, 0x02, 0x03, 0x06};
const Bytes UPLOAD_REQUEST{0x01, 0x02, 0x00, 0x02, 0x03, 0x08};
const Bytes DOWNLOAD_REQUEST{0x01, 0x03, 0x00, 0x02, 0x03, 0x09};
const Bytes UPLOAD_END{0x01, 0x05, 0x00, 0x02, 0x03, 0x0B};
const Bytes UPGRADE_REQUEST{0x01, 0x0A, 0x00, 0x02, 0x03, 0x10};
const Bytes DOWNLOAD_END{0x01, 0x05, 0x00, 0x02, 0x03, 0x0B};
const Bytes WAITING{0x01, 0x09, 0x00, 0x02, 0x03, 0x0F};
const Bytes BOOT_LOAD_REQUEST{0x01, 0x0B, 0x00, 0x02, 0x03, 0x11};
const Bytes ACK{0x06};
const Bytes NAK{0x15};
const Bytes EOT{0x04};

const int T = 2000;  // generous time-out for an answer that must come

std::string workFile(const std::string& name) {
  return name + "." + std::to_string(getpid()) + "." +
         ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

void writeFile(const std::string& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary);
  f << data;
}

std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// A settings file of 200 lines with the given lines first.
std::string kvnWith(const std::vector<std::string>& first, const char* eol = "\n") {
  std::string s;
  for (int i = 0; i < 200; ++i)
    s += (i < static_cast<int>(first.size()) ? first[i] : std::string("|")) + eol;
  return s;
}

Bytes statusData(uint8_t ver, uint8_t st, uint8_t n, const std::string& texts) {
  Bytes d{ver, st, n};
  d.insert(d.end(), texts.begin(), texts.end());
  return d;
}

}  // namespace

TEST(TolvanSim, HelpPrintsUsage) {
  std::string cmd = SimProcess::binary() + " --help";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[256];
  while (fgets(buf, sizeof buf, p))
    out += buf;
  EXPECT_EQ(pclose(p), 0);
  EXPECT_NE(out.find("--kvn"), std::string::npos);
  EXPECT_NE(out.find("unplug"), std::string::npos);
}

TEST(TolvanSim, BadCommandLineIsRefused) {
  SimProcess unknown({"--no-such-option"});
  EXPECT_EQ(unknown.port(), "");
  EXPECT_EQ(unknown.waitExit(3000), 2);
  SimProcess badNumber({"--entries", "300"});
  EXPECT_EQ(badNumber.waitExit(3000), 2);
  SimProcess noFile({"--kvn", "/nonexistent/settings.kvn"});
  EXPECT_EQ(noFile.waitExit(3000), 1);
}

TEST(TolvanSim, StatusRequestIsAnsweredWithIdentity) {
  SimProcess sim({"--type", "TL4422GM-AD", "--sw", "TOLVAN SW7.01.02", "--special", "SP1",
                  "--hw", "H.51", "--status-byte", "7", "--entries", "150"});
  ASSERT_NE(sim.port(), "");
  TestPort port(sim.port());
  ASSERT_TRUE(port.isOpen());
  port.send(STATUS_REQUEST);
  Bytes expected =
      frameOf(1, statusData(1, 7, 150, "\"TL4422GM-AD\",\"TOLVAN SW7.01.02\",\"SP1\",\"H.51\""));
  EXPECT_EQ(hex(port.readFrame(T)), hex(expected));
  // The status byte can change while running.
  EXPECT_EQ(sim.command("status-byte 3"), "OK status-byte 3");
  port.send(STATUS_REQUEST);
  Bytes again = port.readFrame(T);
  ASSERT_GE(again.size(), 7u);
  EXPECT_EQ(again[5], 3);
  // The life check gets the same answer.
  port.send(Bytes{0x01, 0x08, 0x00, 0x02, 0x03, 0x0E});
  EXPECT_EQ(hex(port.readFrame(T)), hex(again));
}

TEST(TolvanSim, ReadyFollowsThePortLine) {
  SimProcess sim({"--ready"});
  EXPECT_EQ(sim.port().rfind("/dev/", 0), 0u);
  EXPECT_EQ(sim.readLine(T), "READY");
}

TEST(TolvanSim, StatusRequestSplitOverWritesIsAnswered) {
  SimProcess sim({});
  TestPort port(sim.port());
  port.send(Bytes{0x55, 0xAA, 0x01, 0x00});  // noise, then half a request
  usleep(20000);
  port.send(Bytes{0x00, 0x02, 0x03, 0x06});
  Bytes f = port.readFrame(T);
  ASSERT_GE(f.size(), 2u);
  EXPECT_EQ(f[1], 1);
}

TEST(TolvanSim, DownloadServesEveryEntryThenEnds) {
  std::string kvn = workFile("dl.kvn");
  writeFile(kvn, kvnWith({"Alarm|0612345678", "C:\\dir\\x|12", "|", "text only|"}, "\r\n"));
  SimProcess sim({"--kvn", kvn, "--entries", "4"});
  TestPort port(sim.port());
  port.send(DOWNLOAD_REQUEST);
  EXPECT_EQ(hex(port.readFrame(T)), hex(frameOf(4, entryData(1, "Alarm", "0612345678"))));
  port.send(ACK);
  // The backslash of the settings travels as a slash.
  EXPECT_EQ(hex(port.readFrame(T)), hex(frameOf(4, entryData(2, "C:/dir/x", "12"))));
  port.send(ACK);
  // An empty entry is sent all the same, so the PC does not keep stale data.
  EXPECT_EQ(hex(port.readFrame(T)), hex(frameOf(4, entryData(3, "", ""))));
  port.send(ACK);
  EXPECT_EQ(hex(port.readFrame(T)), hex(frameOf(4, entryData(4, "text only", ""))));
  port.send(ACK);
  EXPECT_EQ(hex(port.readFrame(T)), hex(DOWNLOAD_END));
  // Nothing more comes after the end.
  EXPECT_TRUE(port.drain(150).empty());
  remove(kvn.c_str());
}

TEST(TolvanSim, NextEntryWaitsForAck) {
  SimProcess sim({"--entries", "3"});
  TestPort port(sim.port());
  port.send(DOWNLOAD_REQUEST);
  Bytes first = port.readFrame(T);
  ASSERT_GE(first.size(), 5u);
  EXPECT_EQ(first[4], 1);
  EXPECT_TRUE(port.drain(250).empty());
}

TEST(TolvanSim, NakRepeatsTheLastFrame) {
  SimProcess sim({"--entries", "2"});
  TestPort port(sim.port());
  port.send(DOWNLOAD_REQUEST);
  Bytes first = port.readFrame(T);
  port.send(NAK);
  EXPECT_EQ(hex(port.readFrame(T)), hex(first));
  port.send(ACK);
  Bytes second = port.readFrame(T);
  ASSERT_GE(second.size(), 5u);
  EXPECT_EQ(second[4], 2);
}

TEST(TolvanSim, CorruptedChecksumIsRepairedByNak) {
  SimProcess sim({});
  TestPort port(sim.port());
  EXPECT_EQ(sim.command("corrupt 1"), "OK corrupt 1");
  port.send(STATUS_REQUEST);
  Bytes bad = port.readFrame(T);
  ASSERT_GE(bad.size(), 6u);
  unsigned sum = 0;
  for (size_t i = 0; i + 1 < bad.size(); ++i)
    sum += bad[i];
  EXPECT_NE(bad.back(), sum & 0xFF);
  port.send(NAK);
  Bytes good = port.readFrame(T);
  ASSERT_EQ(good.size(), bad.size());
  EXPECT_EQ(good.back(), sum & 0xFF);
}

TEST(TolvanSim, WaitRepliesPrecedeTheDownload) {
  SimProcess sim({"--wait", "2", "--entries", "1"});
  TestPort port(sim.port());
  port.send(DOWNLOAD_REQUEST);
  EXPECT_EQ(hex(port.readFrame(T)), hex(WAITING));
  port.send(DOWNLOAD_REQUEST);
  EXPECT_EQ(hex(port.readFrame(T)), hex(WAITING));
  port.send(DOWNLOAD_REQUEST);
  Bytes entry = port.readFrame(T);
  ASSERT_GE(entry.size(), 2u);
  EXPECT_EQ(entry[1], 4);
  // And at run time, for an upload.
  EXPECT_EQ(sim.command("wait 1"), "OK wait 1");
  port.send(UPLOAD_REQUEST);
  EXPECT_EQ(hex(port.readFrame(T)), hex(WAITING));
  port.send(UPLOAD_REQUEST);
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
}

TEST(TolvanSim, UploadWritesTheSettingsFileExactly) {
  std::string out = workFile("ul.kvn");
  SimProcess sim({"--out", out, "--entries", "3", "--type", "TL1111GM-ED"});
  TestPort port(sim.port());
  port.send(UPLOAD_REQUEST);
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  port.send(frameOf(4, entryData(1, "Home", "+31201234567")));
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  // A damaged frame is refused and may be sent again.
  Bytes damaged = frameOf(4, entryData(2, "C:/a/b", "9"));
  damaged.back() ^= 0x40;
  port.send(damaged);
  EXPECT_EQ(hex(port.read(1, T)), hex(NAK));
  port.send(frameOf(4, entryData(2, "C:/a/b", "9")));
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  port.send(frameOf(4, entryData(3, "", "")));
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  port.send(UPLOAD_END);
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));

  std::vector<std::string> lines(200, "|");
  lines[0] = "Home|+31201234567";
  lines[1] = "C:\\a\\b|9";
  lines[9] = "TL1111GM-ED|";  // not uploaded: what the device held
  lines[19] = "STD|";
  std::string expected;
  for (const std::string& l : lines)
    expected += l + "\n";
  EXPECT_EQ(readFile(out), expected);
  remove(out.c_str());
}

TEST(TolvanSim, MalformedEntryIsRefused) {
  SimProcess sim({});
  TestPort port(sim.port());
  port.send(UPLOAD_REQUEST);
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  std::string bad = "\"no separator\"";
  Bytes d{5};
  d.insert(d.end(), bad.begin(), bad.end());
  port.send(frameOf(4, d));
  EXPECT_EQ(hex(port.read(1, T)), hex(NAK));
}

TEST(TolvanSim, UploadedSettingsAreDownloadedAgain) {
  SimProcess sim({"--entries", "1"});
  TestPort port(sim.port());
  port.send(UPLOAD_REQUEST);
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  port.send(frameOf(4, entryData(1, "x/y", "5")));
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  port.send(UPLOAD_END);
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  port.send(DOWNLOAD_REQUEST);
  EXPECT_EQ(hex(port.readFrame(T)), hex(frameOf(4, entryData(1, "x/y", "5"))));
}

TEST(TolvanSim, IncompleteFrameIsNakedAndForgotten) {
  SimProcess sim({});
  TestPort port(sim.port());
  port.send(Bytes{0x01, 0x00, 0x00, 0x02});
  EXPECT_EQ(hex(port.read(1, T)), hex(NAK));
  port.send(STATUS_REQUEST);
  Bytes f = port.readFrame(T);
  ASSERT_GE(f.size(), 2u);
  EXPECT_EQ(f[1], 1);
}

TEST(TolvanSim, NoiseComesBeforeTheFrame) {
  SimProcess sim({});
  TestPort port(sim.port());
  EXPECT_EQ(sim.command("noise 5"), "OK noise 5");
  port.send(STATUS_REQUEST);
  Bytes all = port.read(5 + 6 + 3, T);
  ASSERT_GE(all.size(), 6u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_NE(all[i], 0x01);
    EXPECT_NE(all[i], 0x06);
    EXPECT_NE(all[i], 0x15);
  }
  EXPECT_EQ(all[5], 0x01);
  EXPECT_EQ(all[6], 0x01);
  // Only the next frame is disturbed.
  port.drain(100);
  port.send(STATUS_REQUEST);
  Bytes clean = port.read(1, T);
  EXPECT_EQ(hex(clean), "01");
}

TEST(TolvanSim, SilentDeviceAnswersNothing) {
  SimProcess sim({"--silent"});
  TestPort port(sim.port());
  port.send(STATUS_REQUEST);
  EXPECT_TRUE(port.drain(300).empty());
  EXPECT_EQ(sim.command("silent off"), "OK silent off");
  port.send(STATUS_REQUEST);
  EXPECT_FALSE(port.readFrame(T).empty());
}

TEST(TolvanSim, UnknownControlCommandIsAnsweredWithError) {
  SimProcess sim({});
  EXPECT_EQ(sim.command("fly away").rfind("ERR", 0), 0u);
  EXPECT_EQ(sim.command("corrupt lots").rfind("ERR", 0), 0u);
  EXPECT_EQ(sim.command("ping"), "OK ping");
}

TEST(TolvanSim, UnplugHangsUpAndReplugRelinks) {
  std::string link = workFile("ttyTolvan");
  SimProcess sim({"--link", link});
  ASSERT_NE(sim.port(), "");
  {
    TestPort port(link);
    ASSERT_TRUE(port.isOpen());
    port.send(STATUS_REQUEST);
    EXPECT_FALSE(port.readFrame(T).empty());
    EXPECT_EQ(sim.command("unplug"), "OK unplug");
    EXPECT_TRUE(port.hungUp(T));
  }
  std::string replug = sim.command("replug");
  ASSERT_EQ(replug.rfind("OK replug ", 0), 0u);
  char target[256] = {};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), replug.substr(10));
  TestPort port(link);
  ASSERT_TRUE(port.isOpen());
  port.send(STATUS_REQUEST);
  EXPECT_FALSE(port.readFrame(T).empty());
  sim.command("quit");
  EXPECT_EQ(sim.waitExit(3000), 0);
  // A clean exit removes the link it made.
  EXPECT_LT(readlink(link.c_str(), target, sizeof target - 1), 0);
}

TEST(TolvanSim, PacedExchangeIsNotFasterThanTheWire) {
  SimProcess sim({"--baud", "9600", "--entries", "3"});
  TestPort port(sim.port());
  auto start = std::chrono::steady_clock::now();
  size_t bytesOnWire = 0;
  port.send(DOWNLOAD_REQUEST);
  bytesOnWire += DOWNLOAD_REQUEST.size();
  for (int i = 0; i < 3; ++i) {
    Bytes f = port.readFrame(T);
    ASSERT_FALSE(f.empty());
    bytesOnWire += f.size() + 1;
    port.send(ACK);
  }
  Bytes end = port.readFrame(T);
  bytesOnWire += end.size();
  EXPECT_EQ(hex(end), hex(DOWNLOAD_END));
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                  .count();
  // 10 bits a byte at 9600 baud; a loose bound that never fails for timing noise.
  EXPECT_GE(ms, 0.8 * bytesOnWire * 10.0 * 1000.0 / 9600.0);
}

TEST(TolvanSim, LogRecordsUnitsBothWays) {
  std::string log = workFile("sim.log");
  SimProcess sim({"--log", log});
  TestPort port(sim.port());
  port.send(Bytes{0x33, 0x34});
  usleep(150000);
  port.send(STATUS_REQUEST);
  port.readFrame(T);
  EXPECT_EQ(sim.command("ping"), "OK ping");
  std::string text = readFile(log);
  EXPECT_NE(text.find(" RX 33 34 noise\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" RX 01 00 00 02 03 06 status-request\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" TX 01 01 "), std::string::npos) << text;
  remove(log.c_str());
}

TEST(TolvanSim, ControlFifoTakesCommands) {
  std::string fifo = workFile("ctl.fifo");
  SimProcess sim({"--control", fifo});
  ASSERT_NE(sim.port(), "");
  {
    std::ofstream f(fifo);
    f << "corrupt 1\n";
  }
  EXPECT_EQ(sim.readLine(T), "OK corrupt 1");
  remove(fifo.c_str());
}

TEST(TolvanSim, EndOfStdinStopsOnlyWhenAsked) {
  SimProcess keeps({});
  keeps.closeStdin();
  EXPECT_EQ(keeps.waitExit(300), -1);
  TestPort port(keeps.port());
  port.send(STATUS_REQUEST);
  EXPECT_FALSE(port.readFrame(T).empty());

  keeps.terminate();
  EXPECT_EQ(keeps.waitExit(3000), 0);

  SimProcess stops({"--exit-on-eof"});
  stops.closeStdin();
  EXPECT_EQ(stops.waitExit(3000), 0);
}

TEST(TolvanSim, FirmwareUpgradeStoresTheImage) {
  std::string image = workFile("image.bin");
  SimProcess sim({"--image-out", image, "--nak-packet", "2", "--hw", "H.49"});
  TestPort port(sim.port());
  port.send(UPGRADE_REQUEST);
  // The device restarts into its boot loader and asks for it.
  EXPECT_EQ(hex(port.readFrame(T)), hex(BOOT_LOAD_REQUEST));
  Bytes loader{0x01, 0x0C, 0x00, 0x02};
  for (int i = 0; i < 300; ++i)
    loader.push_back(static_cast<uint8_t>(i * 7));  // holds ETX bytes too
  loader.push_back(0x03);
  unsigned sum = 0;
  for (uint8_t b : loader)
    sum += b;
  loader.push_back(static_cast<uint8_t>(sum));
  port.send(loader);
  Bytes info = port.readFrame(T);
  std::string expectedInfo("\0H.49TL8888GM-EDSTD\0\0\0", 22);
  EXPECT_EQ(hex(info), hex(frameOf(13, Bytes(expectedInfo.begin(), expectedInfo.end()))));
  // A NAK opens the transfer.
  EXPECT_EQ(hex(port.read(1, 3000)), hex(NAK));

  auto packet = [](uint8_t nr, uint8_t fill) {
    Bytes p{0x01, nr, static_cast<uint8_t>(255 - nr)};
    unsigned s = 0;
    for (int i = 0; i < 128; ++i) {
      p.push_back(static_cast<uint8_t>(fill + i));
      s += static_cast<uint8_t>(fill + i);
    }
    p.push_back(static_cast<uint8_t>(s));
    return p;
  };
  port.send(packet(1, 10));
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  port.send(packet(2, 20));
  EXPECT_EQ(hex(port.read(1, T)), hex(NAK));  // refused once on purpose
  // The PC starts its segment again.
  port.send(packet(1, 10));
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  port.send(packet(2, 20));
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  Bytes broken = packet(3, 30);
  broken.back() ^= 1;
  port.send(broken);
  EXPECT_EQ(hex(port.read(1, T)), hex(NAK));
  port.send(packet(3, 30));
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  port.send(EOT);
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));

  Bytes p1 = packet(1, 10), p2 = packet(2, 20), p3 = packet(3, 30);
  std::string expected;
  for (const Bytes* p : {&p1, &p2, &p3})
    expected.append(p->begin() + 3, p->begin() + 131);
  EXPECT_EQ(readFile(image), expected);
  // The new firmware runs and answers status again.
  port.send(STATUS_REQUEST);
  Bytes st = port.readFrame(T);
  ASSERT_GE(st.size(), 2u);
  EXPECT_EQ(st[1], 1);
  remove(image.c_str());
}

TEST(TolvanSim, BootLoaderAnswersStatusWithBootLoadRequest) {
  SimProcess sim({"--boot", "--misfit-bootinfo", "1"});
  TestPort port(sim.port());
  port.send(STATUS_REQUEST);
  EXPECT_EQ(hex(port.readFrame(T)), hex(BOOT_LOAD_REQUEST));
  Bytes loader{0x01, 0x0C, 0x00, 0x02, 0x55, 0x03, 0x67};
  port.send(loader);
  Bytes misfit = port.readFrame(T);
  ASSERT_EQ(misfit.size(), 28u);
  EXPECT_EQ(std::string(misfit.begin() + 5, misfit.begin() + 9), "H.00");
  port.send(loader);
  Bytes fits = port.readFrame(T);
  ASSERT_EQ(fits.size(), 28u);
  EXPECT_EQ(std::string(fits.begin() + 5, fits.begin() + 9), "H.49");
}

TEST(TolvanSim, GarbageNeverStopsTheDevice) {
  for (const char* mode : {"", "--boot"}) {
    std::vector<std::string> args;
    if (*mode)
      args.push_back(mode);
    SimProcess sim(args);
    TestPort port(sim.port());
    // Deterministic garbage rich in control bytes, some of it frame-shaped.
    Bytes junk;
    unsigned x = 12345;
    for (int i = 0; i < 3000; ++i) {
      x = x * 1103515245u + 12345u;
      const uint8_t pick[] = {0x01, 0x02, 0x03, 0x04, 0x06, 0x15, 0x0C, 0xFF, 0x80, 0x00};
      junk.push_back((x >> 16) % 3 ? pick[(x >> 8) % 10] : static_cast<uint8_t>(x >> 24));
    }
    port.send(junk);
    port.drain(300);
    port.send(STATUS_REQUEST);
    Bytes f = port.readFrame(T);
    ASSERT_GE(f.size(), 2u) << mode;
    EXPECT_TRUE(f[1] == 1 || f[1] == 11) << mode;
    EXPECT_EQ(sim.command("ping"), "OK ping");
  }
}

TEST(TolvanSim, ShortSettingsFileLeavesTheRestEmpty) {
  std::string kvn = workFile("short.kvn");
  // Two lines, the last without its line end, a CR inside, a quote that the
  // wire cannot carry.
  writeFile(kvn, "A\"b|1\r2\nsecond|22");
  SimProcess sim({"--kvn", kvn, "--entries", "3"});
  TestPort port(sim.port());
  port.send(DOWNLOAD_REQUEST);
  EXPECT_EQ(hex(port.readFrame(T)), hex(frameOf(4, entryData(1, "Ab", "12"))));
  port.send(ACK);
  EXPECT_EQ(hex(port.readFrame(T)), hex(frameOf(4, entryData(2, "second", "22"))));
  port.send(ACK);
  EXPECT_EQ(hex(port.readFrame(T)), hex(frameOf(4, entryData(3, "", ""))));
  remove(kvn.c_str());
}

namespace {

// Upgrade request and a small second-stage loader: afterwards the device
// has sent its boot info and NAK and waits for packet 1.
void openTransfer(TestPort& port) {
  port.send(UPGRADE_REQUEST);
  ASSERT_EQ(hex(port.readFrame(T)), hex(BOOT_LOAD_REQUEST));
  port.send(Bytes{0x01, 0x0C, 0x00, 0x02, 0x55, 0x03, 0x67});
  ASSERT_EQ(port.readFrame(T).size(), 28u);
  ASSERT_EQ(hex(port.read(1, 3000)), hex(NAK));
}

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

}  // namespace

TEST(TolvanSim, CompletedTransferRunsTheImagesVersion) {
  SimProcess sim({"--hw", "H.49"});
  TestPort port(sim.port());
  openTransfer(port);
  port.send(packetOf(1, "xxxxVERSION: TL-7.01SPEC01"));
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  port.send(EOT);
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  port.send(STATUS_REQUEST);
  Bytes st = port.readFrame(T);
  std::string text(st.begin(), st.end());
  // The PC reads the version from the tenth character of the software text.
  EXPECT_NE(text.find("\",\"TOLVAN SWTL-7.01\",\""), std::string::npos) << text;
}

TEST(TolvanSim, SilentFromAPacketOnUntilToldOtherwise) {
  SimProcess sim({"--hw", "H.49", "--silent-after-packet", "2"});
  TestPort port(sim.port());
  openTransfer(port);
  port.send(packetOf(1, "one"));
  EXPECT_EQ(hex(port.read(1, T)), hex(ACK));
  port.send(packetOf(2, "two"));
  EXPECT_TRUE(port.read(1, 400).empty());
  port.send(STATUS_REQUEST);
  EXPECT_TRUE(port.read(1, 400).empty());
  sim.command("silent off");
  // The interrupted transfer leaves the device in its boot loader.
  port.send(STATUS_REQUEST);
  EXPECT_EQ(hex(port.readFrame(T)), hex(BOOT_LOAD_REQUEST));
}
