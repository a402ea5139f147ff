#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DataTestSupport.h"
#include "SBEntry.h"
#include "SettingBin.h"

namespace {

class SBEntryTest : public ::testing::Test {
protected:
  TempDir dir{TempDir::Entered};
  DialogScript dialogs;
  SettingBin sb{nullptr};

  void TearDown() override { Language::destroy(); }
  void settingsType(const char* type, const char* special = "") {
    sb.setEntry(10, type, nullptr, false, SBEntry::INVALID_TYPE);
    sb.setEntry(20, special, nullptr, false, SBEntry::INVALID_TYPE);
  }
  // A line with filter text in column col (9..17).
  static std::string withFilter(int col, const std::string& filter) {
    std::string line = "31;T;Naam;Tab;ascii;h.html;t.html;";
    for (int c = 8; c < col; c++) line += (c == 8 ? "TL" : "") + std::string(";");
    return line + filter;
  }
  SBEntry::EntryType kind(const std::string& line) { return SBEntry(line.c_str(), &sb).entryType(); }
};

TEST_F(SBEntryTest, FieldLineIsRead) {
  SBEntry e("31;T;Naam;Algemeen;ascii;naam.html;algemeen.html;TL;;;;;;;;;", &sb);
  EXPECT_EQ(e.entryType(), SBEntry::ASCII_INPUT_TYPE);
  EXPECT_EQ(e.entry(), 31);
  EXPECT_EQ(e.list(), 'T');
  EXPECT_STREQ(e.name(), "Naam");
  EXPECT_STREQ(e.tabName(), "Algemeen");
  EXPECT_STREQ(e.help(), "naam.html");
  EXPECT_STREQ(e.tabHelp(), "algemeen.html");
  EXPECT_TRUE(e.tabNameIs("Algemeen"));
  EXPECT_FALSE(e.tabNameIs("Other"));
  EXPECT_EQ(kind("5;N;Telefoon;Algemeen;tel"), SBEntry::TEL_INPUT_TYPE);
}

TEST_F(SBEntryTest, HeaderAndBadLinesAreSkipped) {
  EXPECT_EQ(kind("entry;list;name;tab;type;help"), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind("5;X;Naam;Tab;ascii"), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind("5;t;Naam;Tab;ascii"), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind("5;T;Naam;Tab;checkbox"), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind("5;T;Naam;Tab;ASCII"), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind("5;T;Naam;Tab;ascii "), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind("0;T;Naam;Tab;ascii"), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind("201;T;Naam;Tab;ascii"), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind("200;T;Naam;Tab;ascii"), SBEntry::ASCII_INPUT_TYPE);
  EXPECT_EQ(kind("5;T;;Tab;ascii"), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind("5;T;Naam;;ascii"), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind("5;T;Naam;Tab;"), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind(""), SBEntry::INVALID_TYPE);
  EXPECT_EQ(SBEntry(nullptr, &sb).entryType(), SBEntry::INVALID_TYPE);
}

TEST_F(SBEntryTest, OverlongColumnMakesLineInvalid) {
  EXPECT_EQ(kind("5;T;" + std::string(79, 'n') + ";Tab;ascii"), SBEntry::ASCII_INPUT_TYPE);
  EXPECT_EQ(kind("5;T;" + std::string(80, 'n') + ";Tab;ascii"), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind("0000000005;T;Naam;Tab;ascii"), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind(withFilter(9, std::string(20, '1'))), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind("5;T;Naam;Tab;sel:" + std::string(200, 'x')), SBEntry::INVALID_TYPE);
  EXPECT_EQ(kind(std::string(100000, ';')), SBEntry::INVALID_TYPE);
}

TEST_F(SBEntryTest, PlusFilterPassesForThatManyOrMore) {
  std::string line = withFilter(9, "2+");
  settingsType("TL2888GM-ED");
  EXPECT_EQ(kind(line), SBEntry::ASCII_INPUT_TYPE);
  settingsType("TL8888GM-ED");
  EXPECT_EQ(kind(line), SBEntry::ASCII_INPUT_TYPE);
  settingsType("TL1888GM-ED");
  EXPECT_EQ(kind(line), SBEntry::INVALID_TYPE);
  std::string exact = withFilter(9, "8");
  EXPECT_EQ(kind(exact), SBEntry::INVALID_TYPE);
  settingsType("TL8888GM-ED");
  EXPECT_EQ(kind(exact), SBEntry::ASCII_INPUT_TYPE);
}

TEST_F(SBEntryTest, LetterFilterPassesForListedLetters) {
  std::string line = withFilter(13, "GN");
  settingsType("TL8888GM-ED");
  EXPECT_EQ(kind(line), SBEntry::ASCII_INPUT_TYPE);
  settingsType("TL8888NM-ED");
  EXPECT_EQ(kind(line), SBEntry::ASCII_INPUT_TYPE);
  settingsType("TL8888IM-ED");
  EXPECT_EQ(kind(line), SBEntry::INVALID_TYPE);
  settingsType("TL8888");  // no letter at all
  EXPECT_EQ(kind(line), SBEntry::INVALID_TYPE);
}

TEST_F(SBEntryTest, EachFilterColumnLooksAtItsPosition) {
  settingsType("TL1234GM-EDX");
  // column, passing filter, failing filter
  struct { int col; const char* pass; const char* fail; } cases[] = {
      {9, "1", "2"}, {10, "2+", "3+"}, {11, "3", "4"}, {12, "4", "5"},
      {13, "G", "P"}, {14, "MS", "S"}, {15, "E", "AB"}, {16, "D", "F"}};
  for (auto& c : cases) {
    EXPECT_EQ(kind(withFilter(c.col, c.pass)), SBEntry::ASCII_INPUT_TYPE) << c.col;
    EXPECT_EQ(kind(withFilter(c.col, c.fail)), SBEntry::INVALID_TYPE) << c.col;
  }
}

TEST_F(SBEntryTest, SpecialMustContainColumnText) {
  std::string line = withFilter(17, "WM");
  settingsType("TL8888GM-ED", "XWMY");
  EXPECT_EQ(kind(line), SBEntry::ASCII_INPUT_TYPE);
  settingsType("TL8888GM-ED", "XW");
  EXPECT_EQ(kind(line), SBEntry::INVALID_TYPE);
  // Without settings there is no type: only unfiltered lines pass.
  EXPECT_EQ(SBEntry(line.c_str(), nullptr).entryType(), SBEntry::INVALID_TYPE);
  EXPECT_EQ(SBEntry("5;T;Naam;Tab;ascii", nullptr).entryType(), SBEntry::ASCII_INPUT_TYPE);
}

TEST_F(SBEntryTest, NumberKindHasDefault) {
  SBEntry e("40;N;Wachttijd;Tijden;num:0-99|default:5", &sb);
  EXPECT_EQ(e.entryType(), SBEntry::NUM_INPUT_TYPE);
  EXPECT_STREQ(e.defaultEntry(), "5");
  EXPECT_EQ(e.minNr(), 0);
  EXPECT_EQ(e.maxNr(), 0);
  SBEntry none("40;N;Wachttijd;Tijden;num:0-99", &sb);
  EXPECT_EQ(none.entryType(), SBEntry::NUM_INPUT_TYPE);
  EXPECT_STREQ(none.defaultEntry(), "");
  SBEntry blank("40;N;Wachttijd;Tijden;num:0-99|default:12 s", &sb);
  EXPECT_STREQ(blank.defaultEntry(), "12");
  SBEntry noBar("40;N;Wachttijd;Tijden;num:default:5", &sb);
  EXPECT_STREQ(noBar.defaultEntry(), "");
}

TEST_F(SBEntryTest, SelectionWithValues) {
  SBEntry e("41;N;Alarm;Tijden;sel:Aan:1|Uit:0", &sb);
  EXPECT_EQ(e.entryType(), SBEntry::INPUT_CHOICE_TYPE);
  ASSERT_EQ(e.nrMenuItems(), 2);
  EXPECT_TRUE(e.subItems());
  EXPECT_STREQ(e.menuItem(0, false), "Aan");
  EXPECT_STREQ(e.menuItem(1, false), "Uit");
  EXPECT_STREQ(e.menuItem(0, true), "1");
  EXPECT_STREQ(e.menuItem(1, true), "0");
  EXPECT_STREQ(e.menuItem(static_cast<const char*>("Uit"), true), "0");
  EXPECT_STREQ(e.menuItem(static_cast<const char*>("Aan"), false), "Aan");
  EXPECT_EQ(e.menuItem(static_cast<const char*>("Misschien"), true), nullptr);
  char one[] = "1";
  char uit[] = "Uit";
  char none[] = "7";
  EXPECT_EQ(e.menuItem(one, true), 0);
  EXPECT_EQ(e.menuItem(uit, false), 1);
  EXPECT_EQ(e.menuItem(none, true), 2);
  EXPECT_EQ(e.menuItem(5, true), nullptr);
}

TEST_F(SBEntryTest, SelectionWithoutValues) {
  SBEntry e("41;T;Modus;Tijden;sel:Dag|Nacht|Weekend", &sb);
  ASSERT_EQ(e.nrMenuItems(), 3);
  EXPECT_FALSE(e.subItems());
  EXPECT_STREQ(e.menuItem(2, true), "Weekend");
  EXPECT_STREQ(e.menuItem(static_cast<const char*>("Nacht"), true), "Nacht");
  char dag[] = "Dag";
  EXPECT_EQ(e.menuItem(dag, true), 0);
}

TEST_F(SBEntryTest, ItemsWithoutValueAmongValuedItemsAreEmpty) {
  SBEntry e("41;N;Alarm;Tijden;sel:Aan:1|Geen|:3", &sb);
  ASSERT_EQ(e.nrMenuItems(), 3);
  EXPECT_TRUE(e.subItems());
  EXPECT_STREQ(e.menuItem(1, false), "");
  EXPECT_STREQ(e.menuItem(1, true), "");
  EXPECT_STREQ(e.menuItem(2, true), "");
}

TEST_F(SBEntryTest, AtMost20ItemsOf39Characters) {
  std::string items;
  for (int i = 0; i < 30; i++) items += (i ? "|" : "") + std::string("i") + std::to_string(i);
  SBEntry many(("41;T;Lijst;Tab;sel:" + items).c_str(), &sb);
  EXPECT_EQ(many.nrMenuItems(), 20);
  EXPECT_STREQ(many.menuItem(19, false), "i19");
  SBEntry longItem(("41;T;Lijst;Tab;sel:" + std::string(60, 'x') + ":" + "1|b").c_str(), &sb);
  ASSERT_EQ(longItem.nrMenuItems(), 2);
  // The ":" was beyond the 39 characters: no values at all.
  EXPECT_FALSE(longItem.subItems());
  EXPECT_EQ(strlen(longItem.menuItem(0, false)), 39u);
  EXPECT_STREQ(longItem.menuItem(1, false), "b");
}

TEST_F(SBEntryTest, KindIsReadAfterTranslation) {
  writeFile("language.ini", "taal=UK\n");
  writeFile("language.csv", "1;keuze;;;sel:On:1|Off:0;;\n2;Algemeen;;;General;;\n");
  SBEntry e("41;N;Alarm;Algemeen;keuze", &sb);
  EXPECT_EQ(e.entryType(), SBEntry::INPUT_CHOICE_TYPE);
  EXPECT_STREQ(e.menuItem(1, false), "Off");
  EXPECT_STREQ(e.tabName(), "General");
  EXPECT_TRUE(e.tabNameIs("General"));
}

}  // namespace
