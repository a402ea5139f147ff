#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DataTestSupport.h"
#include "SBEntry.h"
#include "SettingBin.h"

namespace {

class SBEntryTest : public DataTest {
protected:
  SettingBin sb{nullptr};
};

// A line with filter text in column col (9..17).
std::string withFilter(int col, const std::string& filter) {
  std::string line = "31;T;Naam;Tab;ascii;h.html;t.html;TL";
  for (int c = 8; c < col; c++) line += ";";
  return line + filter;
}

TEST_F(SBEntryTest, LinesThatAreNoFieldOrDoNotApplyToTheVariant) {
  const SBEntry::EntryType OK = SBEntry::ASCII_INPUT_TYPE, NO = SBEntry::INVALID_TYPE;
  struct Case {
    const char* type;  // of the settings; null: no settings
    const char* special;
    std::string line;
    SBEntry::EntryType kind;
  } cases[] = {
      {"", "", "5;N;Telefoon;Algemeen;tel", SBEntry::TEL_INPUT_TYPE},
      {"", "", "entry;list;name;tab;type;help", NO}, {"", "", "5;X;Naam;Tab;ascii", NO},
      {"", "", "5;t;Naam;Tab;ascii", NO},            {"", "", "5;T;Naam;Tab;checkbox", NO},
      {"", "", "5;T;Naam;Tab;ASCII", NO},            {"", "", "5;T;Naam;Tab;ascii ", NO},
      {"", "", "0;T;Naam;Tab;ascii", NO},            {"", "", "201;T;Naam;Tab;ascii", NO},
      {"", "", "200;T;Naam;Tab;ascii", OK},          {"", "", "1;T;Naam;Tab;ascii", OK},
      {"", "", "5;T;;Tab;ascii", NO},                {"", "", "5;T;Naam;;ascii", NO},
      {"", "", "5;T;Naam;Tab;", NO},                 {"", "", "", NO},
      // Columns longer than they may be make the line invalid.
      {"", "", "5;T;" + std::string(79, 'n') + ";Tab;ascii", OK},
      {"", "", "5;T;" + std::string(80, 'n') + ";Tab;ascii", NO},
      {"", "", "0000000005;T;Naam;Tab;ascii", NO},
      {"TL1888GM-ED", "", withFilter(9, std::string(20, '1')), NO},
      {"", "", "5;T;Naam;Tab;sel:" + std::string(200, 'x'), NO},
      {"", "", std::string(100000, ';'), NO},
      // "2+": that many or more; a digit alone: exactly that many.
      {"TL2888GM-ED", "", withFilter(9, "2+"), OK}, {"TL8888GM-ED", "", withFilter(9, "2+"), OK},
      {"TL1888GM-ED", "", withFilter(9, "2+"), NO}, {"TL1888GM-ED", "", withFilter(9, "8"), NO},
      {"TL8888GM-ED", "", withFilter(9, "8"), OK},
      // Letters: one of those listed; no letter at all passes none.
      {"TL8888GM-ED", "", withFilter(13, "GN"), OK}, {"TL8888NM-ED", "", withFilter(13, "GN"), OK},
      {"TL8888IM-ED", "", withFilter(13, "GN"), NO}, {"TL8888", "", withFilter(13, "GN"), NO},
      // The special must contain the column's text.
      {"TL8888GM-ED", "XWMY", withFilter(17, "WM"), OK}, {"TL8888GM-ED", "XW", withFilter(17, "WM"), NO},
      // Without settings there is no type: only unfiltered lines pass.
      {nullptr, "", withFilter(17, "WM"), NO}, {nullptr, "", "5;T;Naam;Tab;ascii", OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 60));
    if (c.type) {
      sb.setEntry(10, c.type, nullptr, false, SBEntry::INVALID_TYPE);
      sb.setEntry(20, c.special, nullptr, false, SBEntry::INVALID_TYPE);
    }
    EXPECT_EQ(SBEntry(c.line.c_str(), c.type ? &sb : nullptr).entryType(), c.kind);
  }
  // Each filter column looks at its own position of the type.
  sb.setEntry(10, "TL1234GM-EDX", nullptr, false, SBEntry::INVALID_TYPE);
  struct { int col; const char* pass; const char* fail; } columns[] = {
      {9, "1", "2"}, {10, "2+", "3+"}, {11, "3", "4"}, {12, "4", "5"},
      {13, "G", "P"}, {14, "MS", "S"}, {15, "E", "AB"}, {16, "D", "F"}};
  for (auto& c : columns) {
    EXPECT_EQ(SBEntry(withFilter(c.col, c.pass).c_str(), &sb).entryType(), OK) << c.col;
    EXPECT_EQ(SBEntry(withFilter(c.col, c.fail).c_str(), &sb).entryType(), NO) << c.col;
  }
  EXPECT_EQ(SBEntry(nullptr, &sb).entryType(), NO);
}

TEST_F(SBEntryTest, NumberKindHasADefault) {
  struct Case { const char* kind; const char* def; } cases[] = {
      {"num:0-99|default:5", "5"}, {"num:0-99", ""}, {"num:0-99|default:12 s", "12"}, {"num:default:5", ""}};
  for (auto& c : cases) {
    SBEntry e((std::string("40;N;Wachttijd;Tijden;") + c.kind).c_str(), &sb);
    EXPECT_EQ(e.entryType(), SBEntry::NUM_INPUT_TYPE) << c.kind;
    EXPECT_STREQ(e.defaultEntry(), c.def) << c.kind;
    EXPECT_EQ(e.minNr() + e.maxNr(), 0);
  }
}

TEST_F(SBEntryTest, SelectionItemsWithAndWithoutValues) {
  SBEntry e("41;N;Alarm;Tijden;sel:Aan:1|Uit:0|Geen|:3", &sb);
  EXPECT_EQ(e.entryType(), SBEntry::INPUT_CHOICE_TYPE);
  ASSERT_EQ(e.nrMenuItems(), 4);
  EXPECT_TRUE(e.subItems());
  EXPECT_STREQ(e.menuItem(1, false), "Uit");
  EXPECT_STREQ(e.menuItem(1, true), "0");
  // An item without a value among valued ones, or without a text, is empty.
  EXPECT_STREQ(e.menuItem(2, false), "");
  EXPECT_STREQ(e.menuItem(3, true), "");
  EXPECT_EQ(e.menuItem(4, true), nullptr);
  EXPECT_EQ(e.menuItem(-1, true), nullptr);
  EXPECT_STREQ(e.menuItem(static_cast<const char*>("Uit"), true), "0");
  EXPECT_STREQ(e.menuItem(static_cast<const char*>("Aan"), false), "Aan");
  EXPECT_EQ(e.menuItem(static_cast<const char*>("Misschien"), true), nullptr);
  char one[] = "1", uit[] = "Uit", none[] = "7";
  EXPECT_EQ(e.menuItem(one, true), 0);
  EXPECT_EQ(e.menuItem(uit, false), 1);
  EXPECT_EQ(e.menuItem(none, true), 4);

  SBEntry plain("41;T;Modus;Tijden;sel:Dag|Nacht|Weekend", &sb);
  ASSERT_EQ(plain.nrMenuItems(), 3);
  EXPECT_FALSE(plain.subItems());
  EXPECT_STREQ(plain.menuItem(2, true), "Weekend");
  EXPECT_STREQ(plain.menuItem(static_cast<const char*>("Nacht"), true), "Nacht");
  char nacht[] = "Nacht";
  EXPECT_EQ(plain.menuItem(nacht, true), 1);

  std::string items;
  for (int i = 0; i < 30; i++) items += (i ? "|i" : "i") + std::to_string(i);
  SBEntry many(("41;T;Lijst;Tab;sel:" + items).c_str(), &sb);
  EXPECT_EQ(many.nrMenuItems(), 20);
  EXPECT_STREQ(many.menuItem(19, false), "i19");
  // The ":" lies beyond the 39 characters of an item: no values at all.
  SBEntry longItem(("41;T;Lijst;Tab;sel:" + std::string(60, 'x') + ":1|b").c_str(), &sb);
  ASSERT_EQ(longItem.nrMenuItems(), 2);
  EXPECT_FALSE(longItem.subItems());
  EXPECT_EQ(strlen(longItem.menuItem(0, false)), 39u);
  EXPECT_STREQ(longItem.menuItem(1, false), "b");
}

TEST_F(SBEntryTest, KindIsReadAfterTranslation) {
  writeFile("language.ini", "taal=UK\n");
  writeFile("language.csv", "1;keuze;;;sel:On:1|Off:0;;\n2;Algemeen;;;General;;\n3;Naam;;;Name;;\n4;n.html;;;e.html;;\n");
  SBEntry e("41;N;Naam;Algemeen;keuze;n.html", &sb);
  EXPECT_EQ(e.entryType(), SBEntry::INPUT_CHOICE_TYPE);
  EXPECT_STREQ(e.menuItem(1, false), "Off");
  EXPECT_STREQ(e.tabName(), "General");
  EXPECT_TRUE(e.tabNameIs("General"));
  EXPECT_STREQ(e.name(), "Name");
  EXPECT_STREQ(e.help(), "e.html");
}

}  // namespace
