#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TlWire.h"

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes frame(uint8_t type, const std::string& data) {
  Bytes f = {TlWire::SOH, type, static_cast<unsigned char>(data.size()), TlWire::STX};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(TlWire::ETX);
  f.push_back(TlWire::checksum(f.data(), f.size()));
  return f;
}

TlWire::StatusInfo statusWithSoftware(const std::string& sw) {
  std::string d = std::string("\x05\x00\xC8", 3) + "\"TL8888GM-ED\",\"" + sw + "\",\"SP\",\"H1.2\"";
  return TlWire::statusInfo(reinterpret_cast<const uint8_t*>(d.data()), d.size());
}

}  // namespace

TEST(TlWire, NoDataRequestsEndInSixPlusTheirType) {
  const struct { uint8_t type; uint8_t sum; } cases[] = {
      {TlWire::STATUS_REQUEST, 0x06},   {TlWire::UPLOAD_REQUEST, 0x08},
      {TlWire::DOWNLOAD_REQUEST, 0x09}, {TlWire::TRANSFER_END, 0x0B},
      {TlWire::LIFE_CHECK, 0x0E},       {TlWire::UPGRADE_REQUEST, 0x10},
  };
  for (const auto& c : cases) {
    uint8_t out[6];
    ASSERT_EQ(TlWire::noDataFrame(c.type, out), 6u);
    EXPECT_EQ(Bytes(out, out + 6), (Bytes{0x01, c.type, 0x00, 0x02, 0x03, c.sum}));
  }
}

TEST(TlWire, SettingEntryFrameOfTheWorkedExample) {
  uint8_t out[64];
  size_t n = TlWire::settingEntryFrame(7, "AB", "1", out, sizeof out);
  EXPECT_EQ(Bytes(out, out + n), (Bytes{0x01, 0x04, 0x09, 0x02, 0x07, 0x22, 0x41, 0x42, 0x22, 0x2C,
                                        0x22, 0x31, 0x22, 0x03, 0x82}));
}

TEST(TlWire, EmptyFieldsGoOutAsAdjacentQuotes) {
  uint8_t out[64];
  size_t n = TlWire::settingEntryFrame(200, "", "", out, sizeof out);
  Bytes f(out, out + n);
  Bytes head = {0x01, 0x04, 0x06, 0x02, 200, 0x22, 0x22, 0x2C, 0x22, 0x22, 0x03};
  ASSERT_EQ(n, 12u);
  EXPECT_EQ(Bytes(f.begin(), f.end() - 1), head);
  EXPECT_EQ(f.back(), TlWire::checksum(head.data(), head.size()));
}

TEST(TlWire, BackslashOfField1GoesOutAsSlash) {
  uint8_t out[64];
  size_t n = TlWire::settingEntryFrame(1, "C:\\a\\b", "0\\1", out, sizeof out);
  std::string s(reinterpret_cast<char*>(out) + 4, n - 6);
  EXPECT_EQ(s, std::string("\x01\"C:/a/b\",\"0\\1\"", 15));
}

TEST(TlWire, SettingEntryThatDoesNotFitIsRefused) {
  uint8_t out[256];
  std::string f1(100, 'a'), f2(22, 'b');
  EXPECT_EQ(TlWire::settingEntryFrame(1, f1.c_str(), f2.c_str(), out, sizeof out), 0u);
  // L may be at most 127.
  std::string f1max(102, 'a'), f1over(103, 'a');
  EXPECT_EQ(TlWire::settingEntryFrame(1, f1max.c_str(), "1234567890123456789", out, sizeof out),
            133u);
  EXPECT_EQ(TlWire::settingEntryFrame(1, f1over.c_str(), "1234567890123456789", out, sizeof out),
            0u);
  EXPECT_EQ(TlWire::settingEntryFrame(1, "AB", "1", out, 14), 0u);
  EXPECT_EQ(TlWire::settingEntryFrame(1, "AB", "1", out, 15), 15u);
}

TEST(TlWire, BootLoadDataFrameCarriesZeroLength) {
  uint8_t img[3] = {0xAA, 0x01, 0x03};
  uint8_t out[16];
  ASSERT_EQ(TlWire::bootLoadDataFrame(img, 3, out, sizeof out), 9u);
  Bytes head = {0x01, 0x0C, 0x00, 0x02, 0xAA, 0x01, 0x03, 0x03};
  EXPECT_EQ(Bytes(out, out + 8), head);
  EXPECT_EQ(out[8], TlWire::checksum(head.data(), 8));
}

TEST(TlWire, BootLoadDataFrameIsAtMost2048Bytes) {
  std::vector<uint8_t> img(2043, 0x11), out(4096);
  EXPECT_EQ(TlWire::bootLoadDataFrame(img.data(), 2042, out.data(), out.size()), 2048u);
  EXPECT_EQ(TlWire::bootLoadDataFrame(img.data(), 2043, out.data(), out.size()), 0u);
  EXPECT_EQ(TlWire::bootLoadDataFrame(img.data(), 100, out.data(), 105), 0u);
}

TEST(TlWire, LastUpgradePacketIsFilledWithFFAndItsSumCountsThem) {
  uint8_t img[5] = {1, 2, 3, 4, 5};
  TlWire::UpgradePacket p = TlWire::upgradePacket(3, img, 5);
  EXPECT_EQ(p.nr, 3);
  EXPECT_EQ(p.nrCompl, 252);
  EXPECT_EQ(p.data[4], 5);
  for (size_t i = 5; i < 128; ++i) ASSERT_EQ(p.data[i], 0xFF);
  EXPECT_EQ(p.checkSum, static_cast<uint8_t>(15 + 123 * 0xFF));
}

TEST(TlWire, FullUpgradePacketSumsItsData) {
  std::vector<uint8_t> img(300);
  for (size_t i = 0; i < img.size(); ++i) img[i] = static_cast<uint8_t>(i);
  TlWire::UpgradePacket p = TlWire::upgradePacket(0, img.data(), img.size());
  EXPECT_EQ(p.nrCompl, 255);
  unsigned sum = 0;
  for (int i = 0; i < 128; ++i) sum += static_cast<unsigned>(i);
  EXPECT_EQ(p.checkSum, static_cast<uint8_t>(sum));
  EXPECT_EQ(p.data[127], 127);
}

TEST(TlWire, CheckFrameFindsMissingSohAndBadSum) {
  Bytes f = frame(4, std::string("\x07\"AB\",\"1\"", 9));
  EXPECT_EQ(f.back(), 0x82);
  EXPECT_EQ(TlWire::checkFrame(f.data(), f.size()), TlWire::CHECK_OK);
  f.back() = 0x83;
  uint8_t rd = 0, calc = 0;
  EXPECT_EQ(TlWire::checkFrame(f.data(), f.size(), &rd, &calc), TlWire::CHECK_BAD_SUM);
  EXPECT_EQ(rd, 0x83);
  EXPECT_EQ(calc, 0x82);
  f[0] = 0x02;
  EXPECT_EQ(TlWire::checkFrame(f.data(), f.size()), TlWire::CHECK_NO_SOH);
  Bytes shortOne = {0x01, 0x01};
  EXPECT_EQ(TlWire::checkFrame(shortOne.data(), 2), TlWire::CHECK_TOO_SHORT);
}

TEST(TlWire, SettingEntryFieldsOfTheWorkedExample) {
  Bytes f = {0x01, 0x04, 0x09, 0x02, 0x07, 0x22, 0x41, 0x42, 0x22, 0x2C, 0x22, 0x31, 0x22, 0x03, 0x82};
  size_t n;
  const uint8_t* d = TlWire::frameData(f.data(), f.size(), &n);
  ASSERT_EQ(n, 9u);
  TlWire::SettingEntry e = TlWire::settingEntry(d, n);
  EXPECT_EQ(e.entryNr, 7);
  EXPECT_STREQ(e.f1, "AB");
  EXPECT_STREQ(e.f2, "1");
}

TEST(TlWire, ReceivedSlashOfField1BecomesBackslash) {
  std::string d = "\x01\"C:/x/y\",\"0/1\"";
  TlWire::SettingEntry e =
      TlWire::settingEntry(reinterpret_cast<const uint8_t*>(d.data()), d.size());
  EXPECT_STREQ(e.f1, "C:\\x\\y");
  EXPECT_STREQ(e.f2, "0/1");
}

TEST(TlWire, EmptyFieldsAreEmptyTexts) {
  std::string d = "\x09\"\",\"\"";
  TlWire::SettingEntry e =
      TlWire::settingEntry(reinterpret_cast<const uint8_t*>(d.data()), d.size());
  EXPECT_EQ(e.entryNr, 9);
  EXPECT_STREQ(e.f1, "");
  EXPECT_STREQ(e.f2, "");
  EXPECT_EQ(e.f2Len, 0u);
}

TEST(TlWire, LongFieldsAreCutToTheirLimits) {
  std::string f1(90, 'a'), f2(25, '9');
  std::string d = "\x02\"" + f1 + "\",\"" + f2 + "\"";
  TlWire::SettingEntry e =
      TlWire::settingEntry(reinterpret_cast<const uint8_t*>(d.data()), d.size());
  EXPECT_EQ(std::string(e.f1), std::string(64, 'a'));
  EXPECT_EQ(std::string(e.f2), std::string(20, '9'));
  EXPECT_EQ(e.f2Len, 25u);
}

TEST(TlWire, MalformedSettingEntryGivesEmptyFieldsNotGarbage) {
  const std::string cases[] = {"", "\x03", "\x03\"abc", "\x03X\"a\",\"b\"", "\x03\"a\"\"b\""};
  for (const auto& d : cases) {
    TlWire::SettingEntry e =
        TlWire::settingEntry(reinterpret_cast<const uint8_t*>(d.data()), d.size());
    EXPECT_LE(strlen(e.f1), 64u);
    EXPECT_STREQ(e.f2, "") << d;
  }
  std::string open = "\x03\"abc";
  TlWire::SettingEntry e =
      TlWire::settingEntry(reinterpret_cast<const uint8_t*>(open.data()), open.size());
  EXPECT_STREQ(e.f1, "abc");
}

TEST(TlWire, StatusInfoKeepsTheDocumentedParts) {
  TlWire::StatusInfo s = statusWithSoftware("KR-2.18 V1.23.4567");
  EXPECT_EQ(s.prVer, 5);
  EXPECT_EQ(s.extraStat, 0);
  EXPECT_EQ(s.totalNrEntries, 200);
  EXPECT_STREQ(s.type, "TL8888GM-ED");
  EXPECT_STREQ(s.special, "SP");
  EXPECT_STREQ(s.hardw, "H1.2");
}

TEST(TlWire, SoftwareTextOf17CharactersGivesPositions9To15) {
  TlWire::StatusInfo s = statusWithSoftware("ABCDEFGHIJKLMNOPQ");
  EXPECT_STREQ(s.softw, "JKLMNOP");
  EXPECT_EQ(s.swLen, 17u);
}

TEST(TlWire, SoftwareTextOf12CharactersGivesPositions9To11) {
  EXPECT_STREQ(statusWithSoftware("ABCDEFGHIJKL").softw, "JKL");
}

TEST(TlWire, SoftwareTextOf9CharactersOrFewerGivesNothing) {
  EXPECT_STREQ(statusWithSoftware("ABCDEFGHI").softw, "");
  EXPECT_STREQ(statusWithSoftware("").softw, "");
  EXPECT_STREQ(statusWithSoftware("ABCDEFGHIJ").softw, "J");
}

TEST(TlWire, StatusTypeAndHardwareAreCut) {
  std::string d = std::string("\x01\x02\x03", 3) +
                  "\"TL8888GM-EDXYZ\",\"s\",\"special text\",\"HW1.23\"";
  TlWire::StatusInfo s = TlWire::statusInfo(reinterpret_cast<const uint8_t*>(d.data()), d.size());
  EXPECT_STREQ(s.type, "TL8888GM-ED");
  EXPECT_STREQ(s.special, "special text");
  EXPECT_STREQ(s.hardw, "HW1.");
  EXPECT_EQ(s.tpLen, 14u);
  EXPECT_EQ(s.hwLen, 6u);
}

TEST(TlWire, EmptySpecialDoesNotLoseTheHardware) {
  std::string d = std::string("\x01\x02\x03", 3) + "\"TL8888GM-ED\",\"s\",\"\",\"H1.2\"";
  TlWire::StatusInfo s = TlWire::statusInfo(reinterpret_cast<const uint8_t*>(d.data()), d.size());
  EXPECT_STREQ(s.special, "");
  EXPECT_STREQ(s.hardw, "H1.2");
}

TEST(TlWire, OverlongStatusTextsAreCutAndMeasured) {
  std::string big(60, 'x');
  std::string d = std::string("\x01\x02\x03", 3) + "\"" + big + "\",\"" + big + "\",\"" + big +
                  "\",\"" + big + "\"";
  TlWire::StatusInfo s = TlWire::statusInfo(reinterpret_cast<const uint8_t*>(d.data()), d.size());
  EXPECT_EQ(s.tpLen, 60u);
  EXPECT_EQ(s.spLen, 60u);
  EXPECT_EQ(strlen(s.special), 40u);
  EXPECT_EQ(strlen(s.type), 11u);
  EXPECT_EQ(strlen(s.softw), 7u);
  EXPECT_EQ(strlen(s.hardw), 4u);
}

TEST(TlWire, ShortStatusInfoGivesEmptyTexts) {
  uint8_t d[2] = {9, 8};
  TlWire::StatusInfo s = TlWire::statusInfo(d, 2);
  EXPECT_EQ(s.prVer, 9);
  EXPECT_EQ(s.totalNrEntries, 0);
  EXPECT_STREQ(s.type, "");
  EXPECT_STREQ(s.hardw, "");
}

TEST(TlWire, BootInfoLayout) {
  std::string d = std::string("\x00", 1) + "H1.2" + "TL8888GM-ED" + "SPEC12";
  TlWire::BootInfo b =
      TlWire::bootInfo(reinterpret_cast<const uint8_t*>(d.data()), d.size(), 23);
  EXPECT_TRUE(b.usable);
  EXPECT_STREQ(b.hardw, "H1.2");
  EXPECT_STREQ(b.type, "TL8888GM-ED");
  EXPECT_STREQ(b.special, "SPEC1");
}

TEST(TlWire, BootInfoLongerThanItsLayoutIsCut) {
  std::string d = std::string("\x00", 1) + "H1.2" + "TL8888GM-ED" + "SPEC12" + std::string(80, 'z');
  TlWire::BootInfo b =
      TlWire::bootInfo(reinterpret_cast<const uint8_t*>(d.data()), d.size(), 102);
  EXPECT_STREQ(b.special, "SPEC1");
}

TEST(TlWire, BootInfoLengthByteBeyondTheDataIsBounded) {
  std::string d = std::string("\x00", 1) + "H1.2" + "TL88";
  TlWire::BootInfo b =
      TlWire::bootInfo(reinterpret_cast<const uint8_t*>(d.data()), d.size(), 127);
  EXPECT_STREQ(b.hardw, "H1.2");
  EXPECT_STREQ(b.type, "TL88");
  EXPECT_TRUE(b.usable);
}

TEST(TlWire, BootInfoWithNeitherFullHardwareNorTypeIsNotUsable) {
  std::string d = std::string("\x00", 1) + std::string("H1\0\0", 4) + "TL8888GM-E";
  TlWire::BootInfo b =
      TlWire::bootInfo(reinterpret_cast<const uint8_t*>(d.data()), d.size(), 23);
  EXPECT_STREQ(b.hardw, "H1");
  EXPECT_STREQ(b.type, "TL8888GM-E");
  EXPECT_FALSE(b.usable);
  EXPECT_FALSE(TlWire::bootInfo(nullptr, 0, 0).usable);
}
