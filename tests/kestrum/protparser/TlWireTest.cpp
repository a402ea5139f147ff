#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TlWire.h"

namespace {

typedef std::vector<unsigned char> Bytes;
const uint8_t* u8(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

TlWire::StatusInfo status(const std::string& texts) {
  std::string d = std::string("\x05\x00\xC8", 3) + texts;
  return TlWire::statusInfo(u8(d), d.size());
}

}  // namespace

TEST(TlWire, FramesThePcSends) {
  // Each buffer starts with other bytes: every byte of a frame must be written.
  for (uint8_t type : {0, 2, 3, 5, 8, 10}) {
    uint8_t out[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    ASSERT_EQ(TlWire::noDataFrame(type, out), 6u);
    EXPECT_EQ(Bytes(out, out + 6), (Bytes{0x01, type, 0x00, 0x02, 0x03, static_cast<uint8_t>(6 + type)}));
  }
  uint8_t out[256];
  const struct { const char *f1, *f2; Bytes frame; } entries[] = {
      {"AB", "1", {0x01, 0x04, 0x09, 0x02, 0x07, 0x22, 0x41, 0x42, 0x22, 0x2C, 0x22, 0x31, 0x22, 0x03, 0x82}},
      {"", "", {0x01, 0x04, 0x06, 0x02, 0x07, 0x22, 0x22, 0x2C, 0x22, 0x22, 0x03, 0xCB}},
      {"C:\\a", "0\\1", {0x01, 0x04, 0x0D, 0x02, 0x07, 0x22, 'C', ':', '/', 'a', 0x22, 0x2C, 0x22, '0', '\\', '1', 0x22, 0x03, 0x9C}},
  };
  for (const auto& e : entries) {
    memset(out, 0xEE, sizeof out);
    size_t n = TlWire::settingEntryFrame(7, e.f1, e.f2, out, sizeof out);
    EXPECT_EQ(Bytes(out, out + n), e.frame) << e.f1;
  }
  // L may be at most 127, and the frame must fit the buffer.
  std::string f1max(102, 'a'), f1over(103, 'a');
  EXPECT_EQ(TlWire::settingEntryFrame(1, f1max.c_str(), "1234567890123456789", out, sizeof out), 133u);
  EXPECT_EQ(TlWire::settingEntryFrame(1, f1over.c_str(), "1234567890123456789", out, sizeof out), 0u);
  EXPECT_EQ(TlWire::settingEntryFrame(1, "AB", "1", out, 14), 0u);
  EXPECT_EQ(TlWire::settingEntryFrame(1, "AB", "1", out, 15), 15u);
  // The boot loader goes as one frame whose length byte is 0.
  uint8_t img[3] = {0xAA, 0x01, 0x03};
  memset(out, 0xEE, sizeof out);
  ASSERT_EQ(TlWire::bootLoadDataFrame(img, 3, out, sizeof out), 9u);
  EXPECT_EQ(Bytes(out, out + 9), (Bytes{0x01, 0x0C, 0x00, 0x02, 0xAA, 0x01, 0x03, 0x03, 0xC0}));
  std::vector<uint8_t> big(2043, 0x11), bigOut(4096);
  EXPECT_EQ(TlWire::bootLoadDataFrame(big.data(), 2042, bigOut.data(), bigOut.size()), 2048u);
  EXPECT_EQ(TlWire::bootLoadDataFrame(big.data(), 2043, bigOut.data(), bigOut.size()), 0u);
  EXPECT_EQ(TlWire::bootLoadDataFrame(big.data(), 100, bigOut.data(), 105), 0u);
}

TEST(TlWire, UpgradePacketsAreFilledWithFFAndSumTheirData) {
  uint8_t img[130];
  for (int i = 0; i < 130; ++i) img[i] = static_cast<uint8_t>(i + 1);
  TlWire::UpgradePacket p = TlWire::upgradePacket(3, img, 5);
  EXPECT_EQ(p.nr, 3);
  EXPECT_EQ(p.nrCompl, 252);
  EXPECT_EQ(p.data[4], 5);
  for (size_t i = 5; i < 128; ++i) ASSERT_EQ(p.data[i], 0xFF);
  EXPECT_EQ(p.checkSum, static_cast<uint8_t>(15 + 123 * 0xFF));
  p = TlWire::upgradePacket(0, img, 130);
  EXPECT_EQ(p.nrCompl, 255);
  EXPECT_EQ(p.data[127], 128);
  EXPECT_EQ(p.checkSum, static_cast<uint8_t>(128 * 129 / 2));
}

TEST(TlWire, CheckFrameFindsMissingSohShortUnitsAndBadSums) {
  Bytes f = {0x01, 0x04, 0x09, 0x02, 0x07, 0x22, 0x41, 0x42, 0x22, 0x2C, 0x22, 0x31, 0x22, 0x03, 0x82};
  EXPECT_EQ(TlWire::checkFrame(f.data(), f.size()), TlWire::CHECK_OK);
  size_t n;
  const uint8_t* d = TlWire::frameData(f.data(), f.size(), &n);
  EXPECT_EQ(Bytes(d, d + n), Bytes(f.begin() + 4, f.end() - 2));
  f.back() = 0x83;
  uint8_t rd = 0, calc = 0;
  EXPECT_EQ(TlWire::checkFrame(f.data(), f.size(), &rd, &calc), TlWire::CHECK_BAD_SUM);
  EXPECT_EQ(rd, 0x83);
  EXPECT_EQ(calc, 0x82);
  f[0] = 0x02;
  EXPECT_EQ(TlWire::checkFrame(f.data(), f.size()), TlWire::CHECK_NO_SOH);
  EXPECT_EQ(TlWire::checkFrame(f.data(), 0), TlWire::CHECK_NO_SOH);
  Bytes shortOne = {0x01, 0x01, 0x00, 0x02, 0x04};
  EXPECT_EQ(TlWire::checkFrame(shortOne.data(), 5), TlWire::CHECK_TOO_SHORT);
  EXPECT_EQ(TlWire::frameData(shortOne.data(), 5, &n), shortOne.data());
  EXPECT_EQ(n, 0u);
}

TEST(TlWire, SettingEntryFieldsAreBoundedWhateverTheData) {
  const struct { std::string data; int nr; std::string f1, f2; size_t f2Len; } cases[] = {
      {"\x07\"AB\",\"1\"", 7, "AB", "1", 1},
      {"\x01\"C:/x/y\",\"0/1\"", 1, "C:\\x\\y", "0/1", 3},
      {"\x09\"\",\"\"", 9, "", "", 0},
      {"\x02\"" + std::string(90, 'a') + "\",\"" + std::string(25, '9') + "\"", 2, std::string(64, 'a'), std::string(20, '9'), 25},
      {"\x03\"a\",\"" + std::string(50, '9') + "\"", 3, "a", std::string(20, '9'), 50},
      {std::string("\x04\"a\0b\",\"1\"", 10), 4, "a", "1", 1},
      {"", 0, "", "", 0},
      {"\x03\"abc", 3, "abc", "", 0},
      {"\x03X\"a\",\"b\"", 3, "", "", 0},
      {"\x03\"a\"\"b\"", 3, "a", "", 0},
  };
  for (const auto& c : cases) {
    TlWire::SettingEntry e = TlWire::settingEntry(u8(c.data), c.data.size());
    EXPECT_EQ(e.entryNr, c.nr) << c.data;
    EXPECT_EQ(e.f1, c.f1) << c.data;
    EXPECT_EQ(e.f2, c.f2) << c.data;
    EXPECT_EQ(e.f2Len, c.f2Len) << c.data;
  }
}

TEST(TlWire, StatusInfoKeepsItsPartsCutToTheirLengths) {
  TlWire::StatusInfo s = status("\"TL8888GM-EDXYZ\",\"ABCDEFGHIJKLMNOPQ\",\"special text\",\"HW1.23\"");
  EXPECT_EQ(s.prVer, 5);
  EXPECT_EQ(s.extraStat, 0);
  EXPECT_EQ(s.totalNrEntries, 200);
  EXPECT_STREQ(s.type, "TL8888GM-ED");
  EXPECT_STREQ(s.softw, "JKLMNOP");  // positions 9 to 15 of the software text
  EXPECT_STREQ(s.special, "special text");
  EXPECT_STREQ(s.hardw, "HW1.");
  EXPECT_EQ(s.tpLen + s.swLen + s.spLen + s.hwLen, 14u + 17 + 12 + 6);
  const char* const software[][2] = {{"ABCDEFGHIJKL", "JKL"}, {"ABCDEFGHIJ", "J"}, {"ABCDEFGHI", ""}, {"", ""}};
  for (auto sw : software)
    EXPECT_STREQ(status("\"T\",\"" + std::string(sw[0]) + "\",\"\",\"H1.2\"").softw, sw[1]) << sw[0];
  EXPECT_STREQ(status("\"T\",\"s\",\"\",\"H1.2\"").hardw, "H1.2");
  std::string big = "\"" + std::string(60, 'x') + "\"";
  s = status(big + "," + big + "," + big + "," + big);
  EXPECT_EQ(s.spLen, 60u);
  EXPECT_EQ(strlen(s.special), 40u);
  EXPECT_EQ(strlen(s.softw), 7u);
  uint8_t two[2] = {9, 8};
  s = TlWire::statusInfo(two, 2);
  EXPECT_EQ(s.prVer + s.extraStat + s.totalNrEntries, 17);
  EXPECT_STREQ(s.type, "");
}

TEST(TlWire, BootInfoReadsItsLayoutWithinTheLengthByteAndTheData) {
  const std::string full = std::string("\x00", 1) + "H1.2" + "TL8888GM-ED" + "SPEC12";
  const struct { std::string data; uint8_t length; const char *hardw, *type, *special; bool usable; } cases[] = {
      {full, 23, "H1.2", "TL8888GM-ED", "SPEC1", true},
      {full + std::string(80, 'z'), 102, "H1.2", "TL8888GM-ED", "SPEC1", true},
      {full, 7, "H1.2", "T", "", true},
      {std::string("\x00", 1) + "H1.2" + "TL88", 127, "H1.2", "TL88", "", true},
      {std::string("\x00", 1) + std::string("H1\0\0", 4) + "TL8888GM-E", 23, "H1", "TL8888GM-E", "", false},
      {"", 0, "", "", "", false},
  };
  for (const auto& c : cases) {
    TlWire::BootInfo b = TlWire::bootInfo(u8(c.data), c.data.size(), c.length);
    EXPECT_STREQ(b.hardw, c.hardw) << c.data;
    EXPECT_STREQ(b.type, c.type) << c.data;
    EXPECT_STREQ(b.special, c.special) << c.data;
    EXPECT_EQ(b.usable, c.usable) << c.data;
  }
}
