#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <memory>
#include <string>

#include "ConfigInit.h"
#include "DataTestSupport.h"
#include "DiagCapture.h"
#include "SBEntry.h"
#include "SettingBin.h"
#include "kestrum/progctrl/Forms/FrmKestrumImpl.h"
#include "kestrum/progctrl/States/TlctrlRoot.h"

namespace {

class SettingBinTest : public ::testing::Test {
protected:
  TempDir dir{TempDir::Entered};
  DialogScript dialogs;
  std::unique_ptr<SettingBin> sb{new SettingBin(nullptr)};

  void SetUp() override {
    SettingBin::maxTolEntries(SettingBin::MAX_ENTRIES);
    FrmKestrumImpl::CMDL_PROGRAM = false;
  }
  void TearDown() override {
    FrmKestrumImpl::CMDL_PROGRAM = false;
    Language::destroy();
  }

  std::string text(int nr) { return sb->getEntry(static_cast<uint8_t>(nr))->text; }
  std::string number(int nr) { return sb->getEntry(static_cast<uint8_t>(nr))->tfnr; }
  void put(int nr, const char* t, const char* n) {
    ASSERT_TRUE(sb->setEntry(static_cast<uint8_t>(nr), t, n, false, SBEntry::ASCII_INPUT_TYPE));
  }
  // A connected device during a download.
  void connect(const char* type, const char* hw) {
    sb->storeStatusInfo(type, "SW1.0", "", hw);
    sb->editFromDownload(true);
  }
  static std::string lines(int count, const std::string& prefix = "t") {
    std::string s;
    for (int i = 1; i <= count; i++)
      s += prefix + std::to_string(i) + "|" + std::to_string(1000 + i) + "\n";
    return s;
  }
};

TEST_F(SettingBinTest, SaveThenLoadGivesTheSame200Entries) {
  put(0, "zero", "0");
  for (int nr = 1; nr <= 200; nr++) {
    std::string t = nr == 10 ? "TL8888GM-ED" : "e" + std::to_string(nr);
    put(nr, t.c_str(), std::to_string(nr * 7).c_str());
  }
  sb->file("set.kvn");
  ASSERT_TRUE(sb->storeToFile());
  std::string content = readFile("set.kvn");
  EXPECT_EQ(std::count(content.begin(), content.end(), '\n'), 200);
  EXPECT_EQ(content.find('\r'), std::string::npos);
  EXPECT_EQ(content.substr(0, 8), "e1|7\ne2|");
  EXPECT_EQ(content.find("zero"), std::string::npos);

  SettingBin other(nullptr);
  other.file("set.kvn");
  ASSERT_TRUE(other.loadFromFile());
  for (int nr = 1; nr <= 200; nr++) {
    EXPECT_STREQ(other.getEntry(nr)->text, sb->getEntry(nr)->text) << nr;
    EXPECT_STREQ(other.getEntry(nr)->tfnr, sb->getEntry(nr)->tfnr) << nr;
  }
  EXPECT_STREQ(other.getEntry(0)->text, "");
  EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(SettingBinTest, OnlyFirst200LinesOfLongerFileAreUsed) {
  writeFile("big.kvn", lines(250));
  sb->file("big.kvn");
  ASSERT_TRUE(sb->loadFromFile());
  EXPECT_EQ(text(1), "t1");
  EXPECT_EQ(text(200), "t200");
  EXPECT_EQ(number(200), "1200");
  EXPECT_EQ(text(0), "");
}

TEST_F(SettingBinTest, ShortFileClearsNextEntryAndKeepsTypeAndSpecial) {
  put(6, "six", "6");
  put(7, "seven", "7");
  put(10, "TL4444GS-EA", "");
  put(20, "SPECIAL", "");
  writeFile("five.kvn", lines(5));
  sb->file("five.kvn");
  ASSERT_TRUE(sb->loadFromFile());
  for (int nr = 1; nr <= 5; nr++) EXPECT_EQ(text(nr), "t" + std::to_string(nr));
  EXPECT_EQ(text(6), "");
  EXPECT_EQ(number(6), "");
  EXPECT_EQ(text(7), "");  // cleared before reading
  EXPECT_EQ(text(10), "TL4444GS-EA");
  EXPECT_EQ(text(20), "SPECIAL");
}

TEST_F(SettingBinTest, EmptyLine10GivesDefaultType) {
  std::string s;
  for (int i = 1; i <= 200; i++) s += (i == 10 ? std::string("|") : "x|1") + "\n";
  writeFile("t.kvn", s);
  sb->file("t.kvn");
  ASSERT_TRUE(sb->loadFromFile());
  EXPECT_EQ(text(10), "TL8888GM-ED");
  EXPECT_STREQ(sb->tolType(), "TL8888GM-ED");
}

TEST_F(SettingBinTest, LineSplitsAtSeparator) {
  writeFile("t.kvn", "abc|112\nabc\n|0612345678\nx|1|2\n");
  sb->file("t.kvn");
  ASSERT_TRUE(sb->loadFromFile());
  EXPECT_EQ(text(1), "abc");
  EXPECT_EQ(number(1), "112");
  EXPECT_EQ(text(2), "abc");
  EXPECT_EQ(number(2), "");
  EXPECT_EQ(text(3), "");
  EXPECT_EQ(number(3), "0612345678");
  // A second separator could never be saved back as it was.
  EXPECT_EQ(number(4), "12");
}

TEST_F(SettingBinTest, WindowsLineEndsLoad) {
  writeFile("t.kvn", "abc|112\r\nde\rf|3\r\n");
  sb->file("t.kvn");
  ASSERT_TRUE(sb->loadFromFile());
  EXPECT_EQ(text(1), "abc");
  EXPECT_EQ(number(1), "112");
  EXPECT_EQ(text(2), "def");
  EXPECT_EQ(number(2), "3");
}

TEST_F(SettingBinTest, OverlongFieldsInFileAreCut) {
  std::string longText(60, 'a');
  writeFile("t.kvn", longText + "|112\nb|" + std::string(30, '9') + "\n" +
                         std::string(100000, 'c') + "\n" + "d|4\n");
  sb->file("t.kvn");
  ASSERT_TRUE(sb->loadFromFile());
  EXPECT_EQ(text(1), std::string(50, 'a'));
  EXPECT_EQ(number(1), "112");
  EXPECT_EQ(number(2), std::string(20, '9'));
  EXPECT_EQ(text(3), std::string(50, 'c'));
  EXPECT_EQ(text(4), "d");
  EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(SettingBinTest, UnreadableFileChangesNothing) {
  put(3, "keep", "3");
  sb->file("missing.kvn");
  EXPECT_FALSE(sb->loadFromFile());
  EXPECT_EQ(text(3), "keep");
  SettingBin noFile(nullptr);
  EXPECT_FALSE(noFile.loadFromFile());
  EXPECT_FALSE(noFile.storeToFile());
}

TEST_F(SettingBinTest, ForbiddenCharactersAreLeftOut) {
  // Neither the file (a line per entry, "|" before the number) nor the wire
  // (quoted fields) can carry these.
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
    put(1, c.typed, c.typed);
    EXPECT_EQ(text(1), c.text);
    EXPECT_EQ(number(1), c.number);
  }
  EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(SettingBinTest, FileCharactersTheSettingsCannotKeepAreCleanedWithAWarning) {
  std::string s;
  for (int i = 1; i <= 200; i++) {
    if (i == 3) s += "Loc\"atie|12\"3\n";
    else if (i == 7) s += "a\tb;c|1\x02\n";
    else if (i == 10) s += "TL8888GM-ED|\n";
    else s += "x" + std::to_string(i) + "|" + std::to_string(i) + "\n";
  }
  writeFile("odd.kvn", s);
  sb->file("odd.kvn");
  ASSERT_TRUE(sb->loadFromFile());
  EXPECT_EQ(text(3), "Locatie");
  EXPECT_EQ(number(3), "123");
  EXPECT_EQ(text(7), "abc");
  EXPECT_EQ(number(7), "1");
  EXPECT_EQ(text(8), "x8");
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_NE(dialogs.alerts[0].find("odd.kvn"), std::string::npos) << dialogs.alerts[0];
  EXPECT_NE(dialogs.alerts[0].find("#3, #7\n"), std::string::npos) << dialogs.alerts[0];
  // What was read is what the settings hold: nothing unsaved yet.
  EXPECT_FALSE(sb->modified());

  // A clean file says nothing.
  dialogs.alerts.clear();
  sb->storeToFile();
  ASSERT_TRUE(sb->loadFromFile());
  EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(SettingBinTest, WhatTheStoreHoldsSavesAndLoadsBackIdentical) {
  // Random entries, any byte typed: what setEntry keeps must survive the file.
  std::mt19937 rnd(20261206);
  auto randomText = [&rnd](size_t maxLen) {
    std::string t(rnd() % (maxLen + 1), ' ');
    for (char& c : t) c = static_cast<char>(1 + rnd() % 255);
    return t;
  };
  for (int round = 0; round < 40; round++) {
    SCOPED_TRACE(round);
    for (int nr = 1; nr <= 200; nr++) {
      // An empty type is read back as the default one.
      std::string t = nr == 10 ? "TL8" + randomText(6) : randomText(60);
      sb->setEntry(static_cast<uint8_t>(nr), t.c_str(), randomText(25).c_str(), false,
                   SBEntry::ASCII_INPUT_TYPE);
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
  dialogs.alerts.erase(std::remove_if(dialogs.alerts.begin(), dialogs.alerts.end(),
                                      [](const std::string& a) { return a.find("maximum") != std::string::npos; }),
                       dialogs.alerts.end());
  EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alerts[0];
}

TEST_F(SettingBinTest, AFetchChangesTheSettingsOnlyWhenComplete) {
  for (int nr = 1; nr <= 200; nr++) put(nr, ("f" + std::to_string(nr)).c_str(), "1");
  sb->markUnmodified();
  connect("TL8888GM-ED", "H1");
  for (bool complete : {false, true}) {
    SCOPED_TRACE(complete);
    sb->fetchStart();
    for (int nr = 1; nr <= 36; nr++)
      sb->setEntry(static_cast<uint8_t>(nr), "dev", "9", true, SBEntry::INVALID_TYPE);
    // Nothing of the device is in the settings until the end.
    EXPECT_EQ(text(1), "f1");
    EXPECT_FALSE(sb->modified());
    sb->fetchEnd(complete);
    EXPECT_FALSE(sb->fetching());
  }
  EXPECT_EQ(text(1), "dev");
  EXPECT_EQ(number(36), "9");
  EXPECT_EQ(text(10), "TL8888GM-ED");
  // Entries the device did not send keep what they held.
  EXPECT_EQ(text(37), "f37");
  EXPECT_TRUE(sb->modified());
}

TEST_F(SettingBinTest, ModifiedComparesWithWhatWasLastLoadedOrSaved) {
  EXPECT_FALSE(sb->modified());
  put(5, "x", nullptr);
  EXPECT_TRUE(sb->modified());
  put(5, "", nullptr);
  EXPECT_FALSE(sb->modified());  // typed and taken back
  put(5, nullptr, "1");
  sb->file("m.kvn");
  ASSERT_TRUE(sb->storeToFile());
  EXPECT_FALSE(sb->modified());
  put(5, nullptr, "2");
  ASSERT_TRUE(sb->loadFromFile());
  EXPECT_FALSE(sb->modified());
  EXPECT_EQ(number(5), "1");
}

TEST_F(SettingBinTest, NullPartsStayUnchanged) {
  put(5, "name", "123");
  put(5, nullptr, "456");
  EXPECT_EQ(text(5), "name");
  EXPECT_EQ(number(5), "456");
  put(5, "other", nullptr);
  EXPECT_EQ(text(5), "other");
  EXPECT_EQ(number(5), "456");
}

TEST_F(SettingBinTest, OverlongTextAndNumberAreCutWithAlerts) {
  EXPECT_FALSE(sb->setEntry(5, "abcdefghijklm", nullptr, false, SBEntry::TEL_INPUT_TYPE));
  EXPECT_EQ(text(5), "abcdefghijkl");
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_EQ(dialogs.alerts[0], "Attentie!! maximum 12 karakters.");

  EXPECT_FALSE(sb->setEntry(5, nullptr, "123456789012345678901", false, SBEntry::TEL_INPUT_TYPE));
  EXPECT_EQ(number(5), "12345678901234567890");
  ASSERT_EQ(dialogs.alerts.size(), 2u);
  EXPECT_EQ(dialogs.alerts[1], "Attentie!! maximum 20 nummers.");

  // Forbidden characters count towards the length before they are left out.
  EXPECT_FALSE(sb->setEntry(6, "abcdefghijk;m", nullptr, false, SBEntry::ASCII_INPUT_TYPE));
  EXPECT_EQ(text(6), "abcdefghijk");
  EXPECT_TRUE(sb->setEntry(7, "abcdefghijkl", "12345678901234567890", false,
                           SBEntry::TEL_INPUT_TYPE));
  EXPECT_EQ(dialogs.alerts.size(), 3u);
}

TEST_F(SettingBinTest, OverlongTextAlertIsTranslated) {
  writeFile("language.ini", "taal=UK\n");
  writeFile("language.csv",
            "1;Attentie!!;;;Attention!!;;\n2;maximum;;;max;;\n3;karakters;;;characters;;\n");
  EXPECT_FALSE(sb->setEntry(5, std::string(13, 'x').c_str(), nullptr, false,
                            SBEntry::TEL_INPUT_TYPE));
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_EQ(dialogs.alerts[0], "Attention!! max 12 characters.");
}

TEST_F(SettingBinTest, StoredEntriesAreTracedAtLowLevel) {
  TlctrlRoot root;
  SettingBin traced(&root);
  DiagCapture cap;
  traced.setEntry(7, "abc", "112", true, SBEntry::INVALID_TYPE);
  EXPECT_EQ(cap.remote, "");
  root.debugLevel(DBG_LOW);
  traced.setEntry(7, "abc", nullptr, true, SBEntry::INVALID_TYPE);
  EXPECT_TRUE(cap.has(";-->SettingBin::setEntry entryNr=7 text=abc nr=(null) (Tlctrl "));
  EXPECT_EQ(cap.remote, cap.log);
}

TEST_F(SettingBinTest, DownloadTakesConnectedTypeAndSpecial) {
  sb->storeStatusInfo("TL8888GM-ED", "SW1.0", "SPC", "H1");
  EXPECT_TRUE(sb->setEntry(10, "other", "", true, SBEntry::INVALID_TYPE));
  EXPECT_TRUE(sb->setEntry(20, "x", "", true, SBEntry::INVALID_TYPE));
  EXPECT_EQ(text(10), "TL8888GM-ED");
  EXPECT_EQ(text(20), "SPC");
}

TEST_F(SettingBinTest, EntryNumbersOutsideTheArrayAreRefused) {
  DiagCapture cap;
  EXPECT_FALSE(sb->setEntry(201, "x", "1", true, SBEntry::INVALID_TYPE));
  EXPECT_FALSE(sb->setEntry(255, "x", "1", true, SBEntry::INVALID_TYPE));
  SettingBin::SettingEntry* e = sb->getEntry(255);
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->text, "");
  EXPECT_TRUE(cap.has("kestrum/progctrl/Data/SettingBin"));
}

TEST_F(SettingBinTest, FiftyCharactersOnlyWhereAllConditionsHold) {
  // From the connected device: GSM, hardware H or later, entry <= 99 ending in 1.
  connect("TL8888GM-ED", "H1");
  EXPECT_EQ(sb->textFieldSize(21, SBEntry::INVALID_TYPE), 50);
  EXPECT_EQ(sb->textFieldSize(1, SBEntry::INVALID_TYPE), 50);
  EXPECT_EQ(sb->textFieldSize(91, SBEntry::INVALID_TYPE), 50);
  EXPECT_EQ(sb->textFieldSize(22, SBEntry::INVALID_TYPE), 12);
  EXPECT_EQ(sb->textFieldSize(101, SBEntry::INVALID_TYPE), 12);
  EXPECT_TRUE(sb->setEntry(21, std::string(50, 'x').c_str(), nullptr, true,
                           SBEntry::INVALID_TYPE));
  EXPECT_EQ(text(21).size(), 50u);
  EXPECT_FALSE(sb->setEntry(22, std::string(13, 'x').c_str(), nullptr, true,
                            SBEntry::INVALID_TYPE));
  connect("TL8888GM-ED", "G9");
  EXPECT_EQ(sb->textFieldSize(21, SBEntry::INVALID_TYPE), 12);
  connect("TL8888GM-ED", "Z1");
  EXPECT_EQ(sb->textFieldSize(21, SBEntry::INVALID_TYPE), 50);
  connect("TL8888PM-ED", "H1");
  EXPECT_EQ(sb->textFieldSize(21, SBEntry::INVALID_TYPE), 12);
  connect("TL8888GM-ED", "\xC8");  // a byte above 127 counts as below "H"
  EXPECT_EQ(sb->textFieldSize(21, SBEntry::INVALID_TYPE), 12);

  // From a file or new settings: type of entry 10 and a plain text field.
  sb->editFromDownload(false);
  put(10, "TL8888GM-ED", nullptr);
  EXPECT_EQ(sb->textFieldSize(21, SBEntry::ASCII_INPUT_TYPE), 50);
  EXPECT_EQ(sb->textFieldSize(21, SBEntry::TEL_INPUT_TYPE), 12);
  EXPECT_EQ(sb->textFieldSize(21, SBEntry::INVALID_TYPE), 12);
  EXPECT_EQ(sb->textFieldSize(31, SBEntry::ASCII_INPUT_TYPE), 50);
  EXPECT_EQ(sb->textFieldSize(30, SBEntry::ASCII_INPUT_TYPE), 12);
  put(10, "TL8888IM-ED", nullptr);
  EXPECT_EQ(sb->textFieldSize(21, SBEntry::ASCII_INPUT_TYPE), 12);
  put(10, "TL88", nullptr);
  EXPECT_EQ(sb->textFieldSize(21, SBEntry::ASCII_INPUT_TYPE), 12);
  put(10, "", nullptr);
  EXPECT_EQ(sb->textFieldSize(21, SBEntry::ASCII_INPUT_TYPE), 50);
}

TEST_F(SettingBinTest, Entry2OnOldWebmeterHasNoNumber) {
  EXPECT_TRUE(sb->entrySupported(2, 'N'));  // not from a device: all supported
  connect("TL8888WM-ED", "G1");
  EXPECT_FALSE(sb->entrySupported(2, 'N'));
  EXPECT_TRUE(sb->entrySupported(2, 'T'));
  connect("TL8888WM-ED", "H1");
  EXPECT_TRUE(sb->entrySupported(2, 'N'));
  connect("TL8888GM-ED", "G1");
  EXPECT_TRUE(sb->entrySupported(2, 'N'));
}

TEST_F(SettingBinTest, Entry80NeedsHardwareH) {
  connect("TL8888GM-ED", "G1");
  EXPECT_FALSE(sb->entrySupported(80, 'N'));
  EXPECT_FALSE(sb->entrySupported(80, 'T'));
  EXPECT_TRUE(sb->entrySupported(81, 'N'));
  connect("TL8888GM-ED", "H1");
  EXPECT_TRUE(sb->entrySupported(80, 'N'));
}

TEST_F(SettingBinTest, UnsupportedEntryWithoutNumberIsNoObstacleWhenProgramming) {
  connect("TL8888WM-ED", "F2");
  sb->doProgramming(true);
  EXPECT_TRUE(sb->entrySupported(2, 'N'));
  EXPECT_TRUE(sb->entrySupported(80, 'T'));
  put(80, nullptr, "5");
  put(2, nullptr, "0612345678");
  EXPECT_FALSE(sb->entrySupported(80, 'T'));
  EXPECT_FALSE(sb->entrySupported(2, 'N'));
  sb->doProgramming(false);
  put(80, nullptr, "");
  EXPECT_FALSE(sb->entrySupported(80, 'T'));
}

TEST_F(SettingBinTest, ChangedDeviceTypeClearsEntries) {
  sb->storeStatusInfo("TL8888GM-ED", "SW1.0", "", "H1");
  put(5, "five", "5");
  put(10, "TL8888GM-ED", nullptr);
  put(20, "SP", nullptr);
  sb->storeStatusInfo("TL8888GM-ED", "SW1.1", "", "H1");
  EXPECT_EQ(text(5), "five");
  EXPECT_EQ(text(10), "TL8888GM-ED");
  sb->storeStatusInfo("TL4444PS-AA", "SW1.1", "", "H1");
  EXPECT_EQ(text(5), "");
  EXPECT_EQ(number(5), "");
  EXPECT_EQ(text(10), "");
  EXPECT_EQ(text(20), "");
}

TEST_F(SettingBinTest, DeviceGoingAwayKeepsTheEntries) {
  sb->storeStatusInfo("TL8888GM-ED", "SW1.0", "", "H1");
  put(5, "five", "5");
  put(10, "TL8888GM-ED", nullptr);
  sb->storeStatusInfo("", "", "", "");  // unplugged, or silent too long
  EXPECT_EQ(text(5), "five");
  EXPECT_EQ(text(10), "TL8888GM-ED");
  EXPECT_STREQ(sb->connSpecial(), "");
  // Back again: nothing lost, and programming may go on.
  sb->storeStatusInfo("TL8888GM-ED", "SW1.0", "", "H1");
  EXPECT_EQ(text(5), "five");
  EXPECT_TRUE(sb->checkTolTypes());
}

TEST_F(SettingBinTest, StatusInfoDecodesTheType) {
  sb->storeStatusInfo("TL8421GM-ED", "SW", "SP", "H");
  EXPECT_EQ(sb->nrIn(), 8);
  EXPECT_EQ(sb->nrUin(), 4);
  EXPECT_EQ(sb->nrIin(), 2);
  EXPECT_EQ(sb->nrOut(), 1);
  EXPECT_EQ(sb->networkType(), SettingBin::GSM);
  EXPECT_EQ(sb->repFunc(), SettingBin::MODEM_SMS);
  EXPECT_EQ(sb->pwrOption(), SettingBin::EXTERNAL);
  EXPECT_STREQ(sb->connSpecial(), "SP");
  sb->storeStatusInfo("TLx4x1NS-BD", "SW", "", "H");
  EXPECT_EQ(sb->nrIn(), 0);
  EXPECT_EQ(sb->nrUin(), 4);
  EXPECT_EQ(sb->networkType(), SettingBin::GPRS);
  EXPECT_EQ(sb->repFunc(), SettingBin::SMS);
  EXPECT_EQ(sb->pwrOption(), SettingBin::BATTERY);
  std::string longType(100, '7');
  sb->storeStatusInfo(longType.c_str(), longType.c_str(), longType.c_str(), longType.c_str());
  EXPECT_EQ(strlen(sb->connTolType()), 40u);
  EXPECT_EQ(strlen(sb->connHwVer()), 40u);
}

TEST_F(SettingBinTest, UnknownLettersTraceAnAssertion) {
  DiagCapture cap;
  EXPECT_EQ(SettingBin::charToNetworktype('X'), SettingBin::UNDEF_TP);
  EXPECT_TRUE(cap.has("kestrum/progctrl/Data/SettingBin "));
  EXPECT_TRUE(cap.has("Assertion failed: false unknown networktype 'X'"));
  cap.clear();
  EXPECT_EQ(SettingBin::charToPowerOption('Q'), SettingBin::UNDEF_PWR);
  EXPECT_TRUE(cap.has("Assertion failed: false unknown power option 'Q'"));
  cap.clear();
  EXPECT_EQ(SettingBin::charToReportFunction('Q'), SettingBin::UNDEF_FNC);
  EXPECT_EQ(cap.remote, "");
  EXPECT_EQ(SettingBin::charToNetworktype('P'), SettingBin::PSTN);
  EXPECT_EQ(SettingBin::charToNetworktype('I'), SettingBin::GPRS);
  EXPECT_EQ(SettingBin::charToPowerOption('A'), SettingBin::ACCUMULATOR);
  EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(SettingBinTest, TooManyEntriesAlertsAndKeepsLimit) {
  sb->totalNrEntries(150);
  EXPECT_TRUE(sb->validEntry(150));
  EXPECT_FALSE(sb->validEntry(151));
  sb->totalNrEntries(201);
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_EQ(dialogs.alerts[0],
            "Attentie!! Tolvan bevat teveel data. #entries=201\nMaximaal mogelijk 201 entries\n");
  EXPECT_EQ(SettingBin::maxTolEntries(), 150);
  EXPECT_FALSE(sb->validEntry(151));
  sb->totalNrEntries(200);
  EXPECT_TRUE(sb->validEntry(200));
}

TEST_F(SettingBinTest, NoEntryBeyondTheArrayIsValid) {
  EXPECT_TRUE(sb->validEntry(200));
  EXPECT_FALSE(sb->validEntry(201));
}

TEST_F(SettingBinTest, DifferentTypeAsksBeforeProgramming) {
  sb->storeStatusInfo("TL8888GM-ED", "SW", "", "H");
  put(10, "TL4444GS-EA", nullptr);
  dialogs.answers = {1};
  EXPECT_TRUE(sb->checkTolTypes());
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_EQ(dialogs.questions[0],
            "Attentie!! Tolvan Type \"TL4444GS-EA\" in Bestand verschilt met\n"
            "Verbonden Tolvan Type \"TL8888GM-ED\" !! \n"
            "Wilt u doorgaan met programmeren?\n");
  EXPECT_EQ(dialogs.buttons[0], (std::vector<std::string>{"Nee", "JA", ""}));
  EXPECT_EQ(dialogs.beeps, 1);
  dialogs.answers = {0};
  EXPECT_FALSE(sb->checkTolTypes());
  EXPECT_EQ(dialogs.beeps, 2);
}

TEST_F(SettingBinTest, SameTypeUpgradeOrCommandLineNeedNoQuestion) {
  sb->storeStatusInfo("TL8888GM-ED", "SW", "", "H");
  EXPECT_FALSE(sb->checkTolTypes());  // no type in the settings
  put(10, "TL8888GM-ED", nullptr);
  EXPECT_TRUE(sb->checkTolTypes());
  put(10, "TL4444GS-EA", nullptr);
  sb->progPreUpgrade(true);
  EXPECT_TRUE(sb->checkTolTypes());
  sb->progPreUpgrade(false);
  FrmKestrumImpl::CMDL_PROGRAM = true;
  EXPECT_TRUE(sb->checkTolTypes());
  put(10, "", nullptr);
  EXPECT_TRUE(sb->checkTolTypes());
  EXPECT_TRUE(dialogs.questions.empty());
  EXPECT_EQ(dialogs.beeps, 0);
}

TEST_F(SettingBinTest, NewSettingsTakeTheDeviceTypeOfTheCustomerName) {
  writeFile("config.ini", "tolvantype=TL8888GM-ED;Meter A\ntolvantype=TL4444PS-BA;Meter B\n");
  ConfigInit::devDir(dir.path().c_str());
  {
    ConfigInit cfg(sb.get(), nullptr, nullptr);
    put(5, "five", "5");
    put(20, "SP", nullptr);
    sb->tolTypeFromNew("Meter A", false);
    EXPECT_EQ(text(10), "TL8888GM-ED");
    EXPECT_EQ(text(20), "");
    EXPECT_EQ(text(5), "five");
    EXPECT_EQ(sb->networkType(), SettingBin::GSM);
    EXPECT_EQ(sb->pwrOption(), SettingBin::EXTERNAL);
    sb->tolTypeFromNew("Meter B", true);
    EXPECT_EQ(text(10), "TL4444PS-BA");
    EXPECT_EQ(text(5), "");
    EXPECT_EQ(sb->networkType(), SettingBin::PSTN);
    EXPECT_EQ(sb->pwrOption(), SettingBin::BATTERY);
    sb->tolTypeFromNew("Unknown", false);
    EXPECT_EQ(text(10), "");
    EXPECT_EQ(sb->networkType(), SettingBin::UNDEF_TP);
  }
  EXPECT_EQ(sb->configInit(), nullptr);
  sb->tolTypeFromNew("Meter A", false);
  EXPECT_EQ(text(10), "");
}

TEST_F(SettingBinTest, FormDescriptionsLinkAndUnlink) {
  EXPECT_EQ(sb->sbEntryTitle(5, 'T'), "unknown");
  {
    SBEntry t("5;T;Naam;Algemeen;ascii", sb.get());
    SBEntry n("5;N;Nummer;Algemeen;tel", sb.get());
    sb->setSbEntry(&t);
    sb->setSbEntry(&n);
    EXPECT_EQ(sb->getEntry(5)->sbEntryT, &t);
    EXPECT_EQ(sb->sbEntryTitle(5, 'T'), "Naam, Algemeen");
    EXPECT_EQ(sb->sbEntryTitle(5, 'N'), "Nummer, Algemeen");
  }
  // The fields went away with their descriptions.
  EXPECT_EQ(sb->getEntry(5)->sbEntryT, nullptr);
  EXPECT_EQ(sb->getEntry(5)->sbEntryN, nullptr);
  EXPECT_EQ(sb->sbEntryTitle(5, 'N'), "unknown");
}

TEST_F(SettingBinTest, SaveReplacesFileWithLinuxLineEnds) {
  writeFile("set.kvn", "old contents\r\n");
  put(1, "one", "1");
  sb->file("set.kvn");
  ASSERT_TRUE(sb->storeToFile());
  std::string content = readFile("set.kvn");
  EXPECT_EQ(content.substr(0, 6), "one|1\n");
  EXPECT_EQ(content.substr(6, 2), "|\n");
  EXPECT_EQ(content.size(), 6u + 199u * 2u);
  // No scratch file stays behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST_F(SettingBinTest, SaveIntoReadOnlyDirectoryKeepsOldFileAndReports) {
  std::filesystem::create_directory("ro");
  writeFile("ro/set.kvn", "old|1\n");
  chmod(dir.path().c_str(), 0755);
  chmod("ro/set.kvn", 0644);
  chmod("ro", 0555);
  put(1, "new", "2");
  sb->file("ro/set.kvn");
  int rc = runUnprivileged([&]() {
    if (sb->storeToFile()) return 1;
    if (dialogs.alerts.size() != 1) return 2;
    if (dialogs.alerts[0] !=
        "Fout!! Bestand \"ro/set.kvn\" kan niet opgeslagen worden.\n"
        "Het vorige bestand is bewaard.\n")
      return 3;
    return 0;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(readFile("ro/set.kvn"), "old|1\n");
}

TEST_F(SettingBinTest, WriteFailingHalfWayKeepsOldFile) {
  writeFile("set.kvn", "old|1\n");
  for (int nr = 1; nr <= 200; nr++) put(nr, "abcdefghijkl", "12345678901234567890");
  sb->file("set.kvn");
  int rc = runWithFileSizeLimit(1000, [&]() {
    if (sb->storeToFile()) return 1;
    return dialogs.alerts.size() == 1 ? 0 : 2;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(readFile("set.kvn"), "old|1\n");
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST_F(SettingBinTest, SaveKeepsTheFilesAccessRights) {
  writeFile("set.kvn", "old|1\n");
  chmod("set.kvn", 0640);
  sb->file("set.kvn");
  ASSERT_TRUE(sb->storeToFile());
  struct stat st;
  ASSERT_EQ(stat("set.kvn", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
