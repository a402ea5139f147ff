#include <gtest/gtest.h>

#include "DataTestSupport.h"
#include "SettingBin.h"
#include "SettingDiff.h"

// The comparison behind "-verify" and the check after programming: what
// differs, under which field name, and that the reference survives.

namespace {

// Entry 5's number is a field for GSM types only; entry 7 has two lines, the
// first for types with the special PRJ; entry 9 has none.
const char* const CONFIG =
    "Entry;Lijst;Naam;Tab;Soort;Help;Tab help;TL;Dig. in;U in;I in;Uitg.;Netwerk;Functie;Voeding;Montage;Special;\n"
    "3;T;Locatie;Algemeen;ascii;h.html;t.html;;;;;;;;;;;\n"
    "5;N;SMS centrale;Telefoon;tel;h.html;t.html;;;;;;G;;;;;\n"
    "7;T;Projectcode;Algemeen;ascii;h.html;t.html;;;;;;;;;;PRJ;\n"
    "7;T;Omschrijving;Algemeen;ascii;h.html;t.html;;;;;;;;;;;\n";

void set(SettingBin& sb, int nr, const char* text, const char* number) {
  SettingBin::SettingEntry* e = sb.getEntry(static_cast<uint8_t>(nr));
  snprintf(e->text, sizeof e->text, "%s", text);
  snprintf(e->tfnr, sizeof e->tfnr, "%s", number);
}

struct SettingDiffTest : DataTest {
  SettingBin file{nullptr}, device{nullptr};
  void SetUp() override {
    writeFile("config.csv", CONFIG);
    for (SettingBin* sb : {&file, &device}) {
      set(*sb, 10, "TL8888PM-ED", "");
      set(*sb, 3, "Kelder", "");
      set(*sb, 5, "", "0612345678");
      set(*sb, 7, "abc", "");
      set(*sb, 9, "x", "1");
    }
  }
};

}  // namespace

TEST_F(SettingDiffTest, EachDifferingFieldIsNamedWithBothValues) {
  EXPECT_TRUE(SettingDiff(file).compare(device, "config.csv").empty());
  struct Case {
    int entry;
    const char* text;
    const char* number;
    SettingDiff::Difference d;
  } cases[] = {
      {3, "Zolder", "", {3, 'T', "Locatie", "Algemeen", "Kelder", "Zolder"}},
      // Hidden for this type (not GSM), still named.
      {5, "", "0698765432", {5, 'N', "SMS centrale", "Telefoon", "0612345678", "0698765432"}},
      // The line that applies to the variant names it.
      {7, "abd", "", {7, 'T', "Omschrijving", "Algemeen", "abc", "abd"}},
      // No line at all: no name.
      {9, "x", "2", {9, 'N', "", "", "1", "2"}},
      // An entry the device does not hold reads as empty.
      {9, "", "1", {9, 'T', "", "", "x", ""}},
      {200, "", "5", {200, 'N', "", "", "", "5"}},
      // Entry 0 is no setting.
      {0, "zero", "0", {0, 0, "", "", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    SettingBin dev(nullptr);
    SettingDiff(device).restoreInto(dev);
    set(dev, c.entry, c.text, c.number);
    std::vector<SettingDiff::Difference> d = SettingDiff(file).compare(dev, "config.csv");
    if (c.entry == 0) {
      EXPECT_TRUE(d.empty());
      continue;
    }
    ASSERT_EQ(1u, d.size());
    EXPECT_EQ(SettingDiff::line(c.d), SettingDiff::line(d[0]));
    EXPECT_EQ(c.d.list, d[0].list);
  }
  // Without the form description the differences are found all the same.
  set(device, 3, "Zolder", "");
  std::vector<SettingDiff::Difference> d = SettingDiff(file).compare(device, "absent.csv");
  ASSERT_EQ(1u, d.size());
  EXPECT_EQ("entry 3 text: file \"Kelder\" device \"Zolder\"", SettingDiff::line(d[0]));
}
