#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <filesystem>
#include <string>

#include "ConfigInit.h"
#include "DataTestSupport.h"
#include "DiagCapture.h"
#include "SBEntry.h"
#include "SettingBin.h"
#include "kestrum/progctrl/Forms/FrmKestrumImpl.h"
#include "kestrum/progctrl/States/TlctrlRoot.h"

namespace {

class SettingBinTest : public DataTest {
protected:
  std::unique_ptr<SettingBin> sb{new SettingBin(nullptr)};

  void SetUp() override {
    SettingBin::maxTolEntries(SettingBin::MAX_ENTRIES);
    FrmKestrumImpl::CMDL_PROGRAM = false;
  }
  void TearDown() override { FrmKestrumImpl::CMDL_PROGRAM = false; }

  std::string text(int nr) { return sb->getEntry(static_cast<uint8_t>(nr))->text; }
  std::string number(int nr) { return sb->getEntry(static_cast<uint8_t>(nr))->tfnr; }
  bool put(int nr, const char* t, const char* n, SBEntry::EntryType k = SBEntry::ASCII_INPUT_TYPE) {
    return sb->setEntry(static_cast<uint8_t>(nr), t, n, false, k);
  }
  // A connected device during a download.
  void connect(const char* type, const char* hw) {
    sb->storeStatusInfo(type, "SW1.0", "", hw);
    sb->editFromDownload(true);
  }
  static std::string lines(int count, int odd = 0, const std::string& oddLine = "") {
    std::string s;
    for (int i = 1; i <= count; i++)
      s += i == odd ? oddLine + "\n" : "t" + std::to_string(i) + "|" + std::to_string(1000 + i) + "\n";
    return s;
  }
};

TEST_F(SettingBinTest, LoadingAFile) {
  struct Expect {
    int nr;
    const char* text;
    const char* number;  // null: not checked
  };
  struct Case {
    const char* what;
    std::string content;  // "-": no such file
    std::vector<Expect> expect;
    const char* warned;  // the entries named in the warning; null: none
  };
  const std::string a50(50, 'a'), c50(50, 'c');
  Case cases[] = {
      {"no file", "-", {{3, "keep", "3"}, {10, "TL4444GS-EA", ""}}, nullptr},
      {"only the first 200 lines", lines(250), {{1, "t1", "1001"}, {200, "t200", "1200"}, {0, "", ""}}, nullptr},
      {"a short file clears the rest but type and special",
       lines(5), {{5, "t5", "1005"}, {6, "", ""}, {7, "", ""}, {10, "TL4444GS-EA", ""}, {20, "SPECIAL", ""}}, nullptr},
      {"an empty type line", lines(200, 10, "|"), {{10, "TL8888GM-ED", ""}, {11, "t11", nullptr}}, nullptr},
      {"lines split at the first separator", "abc|112\nabc\n|0612345678\nx|1|2\n",
       {{1, "abc", "112"}, {2, "abc", ""}, {3, "", "0612345678"}, {4, "x", "12"}}, "#4"},
      {"overlong fields are cut",
       std::string(60, 'a') + "|112\nb|" + std::string(30, '9') + "\n" + std::string(100000, 'c') + "\nd|4\n",
       {{1, a50.c_str(), "112"}, {2, "b", "99999999999999999999"}, {3, c50.c_str(), ""}, {4, "d", "4"}}, nullptr},
      {"refused characters are cleaned with a warning",
       lines(200, 3, "Loc\"atie;/|12\"3"), {{3, "Locatie", "123"}, {4, "t4", "1004"}}, "#3"},
      {"control characters and a semicolon", lines(9, 7, "a\tb;c|1;\x02\x7f"),
       {{7, "abc", "1;"}, {8, "t8", nullptr}}, "#7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sb.reset(new SettingBin(nullptr));
    dialogs.alerts.clear();
    put(3, "keep", "3");
    put(7, "seven", "7");
    put(10, "TL4444GS-EA", nullptr);
    put(20, "SPECIAL", nullptr);
    if (c.content != "-") writeFile("in.kvn", c.content);
    sb->file(c.content == "-" ? "missing.kvn" : "in.kvn");
    EXPECT_EQ(sb->loadFromFile(), c.content != "-");
    for (const Expect& e : c.expect) {
      EXPECT_EQ(text(e.nr), e.text) << e.nr;
      if (e.number) {
        EXPECT_EQ(number(e.nr), e.number) << e.nr;
      }
    }
    if (!c.warned) {
      EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alerts[0];
      continue;
    }
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_NE(dialogs.alerts[0].find("\"in.kvn\""), std::string::npos) << dialogs.alerts[0];
    EXPECT_NE(dialogs.alerts[0].find(std::string(":\n") + c.warned + "\n"), std::string::npos) << dialogs.alerts[0];
    // What was read is what the settings hold: nothing unsaved yet.
    EXPECT_FALSE(sb->modified());
  }
  SettingBin noFile(nullptr);
  EXPECT_FALSE(noFile.loadFromFile());
  EXPECT_FALSE(noFile.storeToFile());
  // A store that cannot be written says so and counts as unsaved.
  std::filesystem::create_directory("dir.kvn");
  dialogs.alerts.clear();
  put(1, "two", "2");
  sb->file("dir.kvn");
  EXPECT_FALSE(sb->storeToFile());
  EXPECT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_TRUE(sb->modified());
}

TEST_F(SettingBinTest, CleanedEntriesOfAnUnattendedRunGoToTheTraceAndTheOutput) {
  writeFile("in.kvn", lines(4, 2, "a|\"1") + lines(4, 4, "b;|2"));
  sb->file("in.kvn");
  FrmKestrumImpl::CMDL_PROGRAM = true;
  DiagCapture cap;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(sb->loadFromFile());
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(dialogs.alerts.empty());
  EXPECT_NE(out.find("#2, #8\n"), std::string::npos) << out;
  EXPECT_TRUE(cap.has("#2, #8")) << cap.remote;
}

// Every character the settings allow survives the file; fields filled to
// their size and empty ones alike.
TEST_F(SettingBinTest, WhatTheStoreHoldsSavesAndLoadsBackIdentical) {
  std::string text, digits;
  for (int c = 1; c < 256; c++) {
    if (SettingBin::allowedChar(static_cast<char>(c))) text += static_cast<char>(c);
    if (SettingBin::allowedNumChar(static_cast<char>(c))) digits += static_cast<char>(c);
  }
  for (int nr = 1; nr <= 200; nr++) {
    std::string t = nr % 7 ? text.substr(nr % text.size()) + text : "";
    put(nr, nr == 10 ? "TL8888GM-ED" : t.c_str(), digits.substr(nr % digits.size()).c_str());
  }
  sb->file("prop.kvn");
  ASSERT_TRUE(sb->storeToFile());
  SettingBin other(nullptr);
  other.file("prop.kvn");
  ASSERT_TRUE(other.loadFromFile());
  for (int nr = 1; nr <= 200; nr++) {
    ASSERT_STREQ(other.getEntry(nr)->text, sb->getEntry(nr)->text) << nr;
    ASSERT_STREQ(other.getEntry(nr)->tfnr, sb->getEntry(nr)->tfnr) << nr;
  }
}

TEST_F(SettingBinTest, TypedCharactersTheFileOrTheWireCannotCarryAreLeftOut) {
  struct Case {
    const char* typed;
    const char* text;    // stored as the entry's text
    const char* number;  // stored as its number
  } cases[] = {
      {"a;b/c", "abc", "a;b/c"},
      {"Loc\"atie\"", "Locatie", "Locatie"},
      {"Loc|atie", "Locatie", "Locatie"},
      {"two\r\nlines\n", "twolines", "twolines"},
      {"tab\there\x7f\x01", "tabhere", "tabhere"},
      {"caf\xc3\xa9 +31-6", "caf\xc3\xa9 +31-6", "caf\xc3\xa9 +31-6"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_TRUE(put(1, c.typed, c.typed));
    EXPECT_EQ(text(1), c.text);
    EXPECT_EQ(number(1), c.number);
  }
  EXPECT_TRUE(dialogs.alerts.empty());
  // Null parts stay as they were.
  put(5, "name", "123");
  put(5, nullptr, "456");
  put(5, "other", nullptr);
  EXPECT_EQ(text(5) + "|" + number(5), "other|456");
}

TEST_F(SettingBinTest, OverlongTextAndNumberAreCutWithATranslatedAlert) {
  EXPECT_FALSE(put(5, "abcdefghijklm", nullptr, SBEntry::TEL_INPUT_TYPE));
  EXPECT_EQ(text(5), "abcdefghijkl");
  EXPECT_FALSE(put(5, nullptr, "123456789012345678901", SBEntry::TEL_INPUT_TYPE));
  EXPECT_EQ(number(5), "12345678901234567890");
  // Refused characters count towards the length before they are left out.
  EXPECT_FALSE(put(6, "abcdefghijk;m", nullptr, SBEntry::TEL_INPUT_TYPE));
  EXPECT_EQ(text(6), "abcdefghijk");
  EXPECT_TRUE(put(7, "abcdefghijkl", "12345678901234567890", SBEntry::TEL_INPUT_TYPE));
  EXPECT_EQ(dialogs.alerts, (std::vector<std::string>{"Attentie!! maximum 12 karakters.",
                                                      "Attentie!! maximum 20 nummers.",
                                                      "Attentie!! maximum 12 karakters."}));
  writeFile("language.ini", "taal=UK\n");
  writeFile("language.csv", "1;Attentie!!;;;Attention!!;;\n2;maximum;;;max;;\n3;karakters;;;characters;;\n"
                            "4;nummers;;;digits;;\n");
  put(5, std::string(13, 'x').c_str(), std::string(21, '1').c_str(), SBEntry::TEL_INPUT_TYPE);
  EXPECT_EQ(dialogs.alerts[3], "Attention!! max 12 characters.");
  EXPECT_EQ(dialogs.alerts[4], "Attention!! max 20 digits.");
}

TEST_F(SettingBinTest, FiftyCharactersOnlyWhereAllConditionsHold) {
  struct Case {
    const char* connType;  // null: settings from a file, typed by type
    const char* hwOrType;  // hardware of the device, or the type of entry 10
    int entry;
    SBEntry::EntryType kind;
    int size;
  } cases[] = {
      {"TL8888GM-ED", "H1", 21, SBEntry::INVALID_TYPE, 50}, {"TL8888GM-ED", "H1", 1, SBEntry::INVALID_TYPE, 50},
      {"TL8888GM-ED", "H1", 91, SBEntry::INVALID_TYPE, 50}, {"TL8888GM-ED", "H1", 22, SBEntry::INVALID_TYPE, 12},
      {"TL8888GM-ED", "H1", 101, SBEntry::INVALID_TYPE, 12}, {"TL8888GM-ED", "G9", 21, SBEntry::INVALID_TYPE, 12},
      {"TL8888GM-ED", "Z1", 21, SBEntry::INVALID_TYPE, 50}, {"TL8888PM-ED", "H1", 21, SBEntry::INVALID_TYPE, 12},
      // A byte above 127 counts as below "H".
      {"TL8888GM-ED", "\xC8", 21, SBEntry::INVALID_TYPE, 12},
      {nullptr, "TL8888GM-ED", 21, SBEntry::ASCII_INPUT_TYPE, 50}, {nullptr, "TL8888GM-ED", 21, SBEntry::TEL_INPUT_TYPE, 12},
      {nullptr, "TL8888GM-ED", 21, SBEntry::INVALID_TYPE, 12}, {nullptr, "TL8888GM-ED", 31, SBEntry::ASCII_INPUT_TYPE, 50},
      {nullptr, "TL8888GM-ED", 30, SBEntry::ASCII_INPUT_TYPE, 12}, {nullptr, "TL8888IM-ED", 21, SBEntry::ASCII_INPUT_TYPE, 12},
      {nullptr, "TL88", 21, SBEntry::ASCII_INPUT_TYPE, 12}, {nullptr, "", 21, SBEntry::ASCII_INPUT_TYPE, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.connType ? c.connType : "file") + " " + c.hwOrType + " #" + std::to_string(c.entry));
    sb.reset(new SettingBin(nullptr));
    if (c.connType) connect(c.connType, c.hwOrType);
    else put(10, c.hwOrType, nullptr);
    EXPECT_EQ(sb->textFieldSize(static_cast<uint8_t>(c.entry), c.kind), c.size);
    // What fits is kept whole, from the device too.
    std::string full(static_cast<size_t>(c.size), 'x');
    EXPECT_TRUE(sb->setEntry(static_cast<uint8_t>(c.entry), full.c_str(), nullptr, c.connType != nullptr, c.kind));
    EXPECT_EQ(text(c.entry), full);
  }
}

TEST_F(SettingBinTest, EntriesOldHardwareDoesNotHave) {
  // Entries 2 (number), 2 (text), 80 and 81, as '1' where supported.
  auto supported = [this] {
    const std::pair<int, char> entries[] = {{2, 'N'}, {2, 'T'}, {80, 'T'}, {81, 'N'}};
    std::string s;
    for (auto e : entries) s += sb->entrySupported(static_cast<uint8_t>(e.first), e.second) ? '1' : '0';
    return s;
  };
  EXPECT_EQ(supported(), "1111");  // not from a device: all supported
  connect("TL8888WM-ED", "G1");
  EXPECT_EQ(supported(), "0101");
  // Nothing to send when programming: no obstacle.
  sb->doProgramming(true);
  EXPECT_EQ(supported(), "1111");
  put(80, nullptr, "5");
  put(2, nullptr, "0612345678");
  EXPECT_EQ(supported(), "0101");
  sb->doProgramming(false);
  put(80, nullptr, "");
  EXPECT_EQ(supported(), "0101");
  connect("TL8888WM-ED", "H1");
  EXPECT_EQ(supported(), "1111");
  connect("TL8888GM-ED", "G1");
  EXPECT_EQ(supported(), "1101");
}

// The connected device's own type and special count, not what it sent.
TEST_F(SettingBinTest, AFetchKeepsTheConnectedDevicesTypeAndSpecial) {
  sb->storeStatusInfo("TL8888GM-ED", "SW1.0", "SPC", "H1");
  sb->fetchStart();
  sb->setEntry(SettingBin::TOLTYPE_POS, "TL4444GS-EA", "9", true, SBEntry::INVALID_TYPE);
  sb->setEntry(SettingBin::TOLSPECIAL_POS, "XYZ", "9", true, SBEntry::INVALID_TYPE);
  sb->fetchEnd(true);
  EXPECT_EQ(text(10), "TL8888GM-ED");
  EXPECT_EQ(text(20), "SPC");
  EXPECT_EQ(number(10), "9");
}

TEST_F(SettingBinTest, StoredEntriesAreTracedAtLowLevelAndOutOfRangeOnesRefused) {
  TlctrlRoot root;
  SettingBin traced(&root);
  DiagCapture cap;
  traced.setEntry(7, "abc", "112", true, SBEntry::INVALID_TYPE);
  EXPECT_EQ(cap.remote, "");
  root.debugLevel(DBG_LOW);
  traced.setEntry(7, "abc", nullptr, true, SBEntry::INVALID_TYPE);
  EXPECT_TRUE(cap.has(";-->SettingBin::setEntry entryNr=7 text=abc nr=(null) (Tlctrl "));
  cap.clear();
  EXPECT_TRUE(sb->setEntry(200, "x", "1", true, SBEntry::INVALID_TYPE));
  EXPECT_EQ(cap.remote, "");
  EXPECT_FALSE(sb->setEntry(201, "x", "1", true, SBEntry::INVALID_TYPE));
  EXPECT_TRUE(cap.has("kestrum/progctrl/Data/SettingBin"));
  cap.clear();
  EXPECT_STREQ(sb->getEntry(255)->text, "");
  EXPECT_TRUE(cap.has("kestrum/progctrl/Data/SettingBin"));
}

TEST_F(SettingBinTest, DeviceStatusDecodesTheTypeAndAnotherDeviceClearsTheEntries) {
  sb->storeStatusInfo("TL8421GM-ED", "SW", "SP", "H");
  EXPECT_EQ(std::vector<int>({sb->nrIn(), sb->nrUin(), sb->nrIin(), sb->nrOut()}), std::vector<int>({8, 4, 2, 1}));
  EXPECT_EQ(sb->networkType(), SettingBin::GSM);
  EXPECT_EQ(sb->repFunc(), SettingBin::MODEM_SMS);
  EXPECT_EQ(sb->pwrOption(), SettingBin::EXTERNAL);
  EXPECT_STREQ(sb->connSpecial(), "SP");
  put(5, "five", "5");
  put(10, "TL8421GM-ED", nullptr);
  put(20, "SP", nullptr);
  sb->storeStatusInfo("TL8421GM-ED", "SW1.1", "", "H1");  // the same device again
  EXPECT_EQ(text(5), "five");
  sb->storeStatusInfo("", "", "", "");  // unplugged, or silent too long
  EXPECT_EQ(text(5), "five");
  EXPECT_EQ(text(10), "TL8421GM-ED");
  EXPECT_STREQ(sb->connSpecial(), "");
  sb->storeStatusInfo("TL8421GM-ED", "SW", "", "H");  // back: programming may go on
  EXPECT_TRUE(sb->checkTolTypes());
  sb->storeStatusInfo("TLx4x1NS-BD", "SW", "", "H");  // another device
  EXPECT_EQ(text(5) + number(5) + text(10) + text(20), "");
  EXPECT_EQ(std::vector<int>({sb->nrIn(), sb->nrUin()}), std::vector<int>({0, 4}));
  EXPECT_EQ(sb->networkType(), SettingBin::GPRS);
  EXPECT_EQ(sb->repFunc(), SettingBin::SMS);
  EXPECT_EQ(sb->pwrOption(), SettingBin::BATTERY);
  std::string longType(100, '7');
  sb->storeStatusInfo(longType.c_str(), longType.c_str(), longType.c_str(), longType.c_str());
  EXPECT_EQ(strlen(sb->connTolType()), 40u);
  EXPECT_EQ(strlen(sb->connHwVer()), 40u);
  // Letters no device has are traced; the report function has no such check.
  DiagCapture cap;
  EXPECT_EQ(SettingBin::charToNetworktype('X'), SettingBin::UNDEF_TP);
  EXPECT_TRUE(cap.has("Assertion failed: false unknown networktype 'X'"));
  EXPECT_EQ(SettingBin::charToPowerOption('Q'), SettingBin::UNDEF_PWR);
  EXPECT_TRUE(cap.has("Assertion failed: false unknown power option 'Q'"));
  cap.clear();
  EXPECT_EQ(SettingBin::charToReportFunction('Q'), SettingBin::UNDEF_FNC);
  EXPECT_EQ(cap.remote, "");
  EXPECT_EQ(SettingBin::charToNetworktype('I'), SettingBin::GPRS);
  EXPECT_EQ(SettingBin::charToPowerOption('A'), SettingBin::ACCUMULATOR);
}

TEST_F(SettingBinTest, TooManyEntriesAlertsAndKeepsTheLimit) {
  sb->totalNrEntries(150);
  EXPECT_TRUE(sb->validEntry(150));
  EXPECT_FALSE(sb->validEntry(151));
  sb->totalNrEntries(201);
  EXPECT_EQ(dialogs.alerts, std::vector<std::string>{
                                "Attentie!! Tolvan bevat teveel data. #entries=201\nMaximaal mogelijk 201 entries\n"});
  EXPECT_EQ(SettingBin::maxTolEntries(), 150);
  sb->totalNrEntries(200);
  EXPECT_TRUE(sb->validEntry(200));
  SettingBin::maxTolEntries(255);
  EXPECT_FALSE(sb->validEntry(201));  // never beyond the array
}

TEST_F(SettingBinTest, AnotherTypeThanTheDevicesAsksBeforeProgramming) {
  sb->storeStatusInfo("TL8888GM-ED", "SW", "", "H");
  EXPECT_FALSE(sb->checkTolTypes());  // no type in the settings
  put(10, "TL8888GM-ED", nullptr);
  EXPECT_TRUE(sb->checkTolTypes());
  put(10, "TL4444GS-EA", nullptr);
  sb->progPreUpgrade(true);
  EXPECT_TRUE(sb->checkTolTypes());
  sb->progPreUpgrade(false);
  EXPECT_TRUE(dialogs.questions.empty());
  EXPECT_EQ(dialogs.beeps, 0);
  dialogs.answers = {1, 0};
  EXPECT_TRUE(sb->checkTolTypes());
  EXPECT_FALSE(sb->checkTolTypes());
  ASSERT_EQ(dialogs.questions.size(), 2u);
  const std::string& q = dialogs.questions[0];
  EXPECT_NE(q.find("\"TL4444GS-EA\" in Bestand verschilt met\nVerbonden Tolvan Type \"TL8888GM-ED\""),
            q.npos) << q;
  EXPECT_EQ(dialogs.buttons[0], (std::vector<std::string>{"Nee", "JA", ""}));
  EXPECT_EQ(dialogs.beeps, 2);
  // From the command line nobody is asked.
  FrmKestrumImpl::CMDL_PROGRAM = true;
  EXPECT_TRUE(sb->checkTolTypes());
  put(10, "", nullptr);
  EXPECT_TRUE(sb->checkTolTypes());
  EXPECT_EQ(dialogs.questions.size(), 2u);
}

TEST_F(SettingBinTest, NewSettingsTakeTheDeviceTypeOfTheCustomerName) {
  writeFile("config.ini", "tolvantype=TL8888GM-ED;Meter A\ntolvantype=TL4444PS-BA;Meter B\n");
  ConfigInit::devDir(dir.path().c_str());
  {
    ConfigInit cfg(sb.get(), nullptr, nullptr);
    put(5, "five", "5");
    put(20, "SP", nullptr);
    sb->tolTypeFromNew("Meter A", false);
    EXPECT_EQ(text(10) + "|" + text(20) + "|" + text(5), "TL8888GM-ED||five");
    sb->tolTypeFromNew("Meter B", true);
    EXPECT_EQ(text(10) + "|" + text(5), "TL4444PS-BA|");
    EXPECT_EQ(sb->networkType(), SettingBin::PSTN);
    sb->tolTypeFromNew("Unknown", false);
    EXPECT_EQ(text(10), "");
    EXPECT_EQ(sb->networkType(), SettingBin::UNDEF_TP);
  }
  ConfigInit::devDir(nullptr);
  EXPECT_EQ(sb->configInit(), nullptr);
  sb->tolTypeFromNew("Meter A", false);
  EXPECT_EQ(text(10), "");
}

}  // namespace
