#include <libintl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DataTestSupport.h"
#include "Language.h"

namespace {

const char* ERROR_TAIL = " \nNo Language Support. Default is NL";

class LanguageTest : public ::testing::Test {
protected:
  TempDir dir{TempDir::Entered};
  DialogScript dialogs;
  void TearDown() override { Language::destroy(); }

  void choose(const std::string& ini) { writeFile("language.ini", ini); }
};

TEST_F(LanguageTest, ChosenLanguageTranslatesUnlessFlagged) {
  choose("taal=UK\n");
  writeFile("language.csv", "12;Opslaan;Opslaan;Speichern;Save;Enregistrer;Guardar\n");
  char text[] = "Opslaan";
  EXPECT_STREQ(gettext(text, 0), "Save");
  EXPECT_EQ(gettext(text, 1), text);
  EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(LanguageTest, EachColumnServesItsLanguage) {
  writeFile("language.csv", "12;Opslaan;Opslaan NL;Speichern;Save;Enregistrer;Guardar\n");
  const char* expected[] = {"Opslaan", "Opslaan NL", "Speichern", "Save", "Enregistrer", "Guardar"};
  for (int id = Language::NLINI; id < Language::NR_LANG; id++) {
    choose(std::string("taal=") + Language::_langTxt[id] + "\n");
    ASSERT_NE(Language::instance(), nullptr);
    EXPECT_STREQ(gettext("Opslaan", 0), expected[id]);
    Language::destroy();
  }
}

TEST_F(LanguageTest, EmptyColumnLeavesTextDutch) {
  choose("taal=UK\n");
  writeFile("language.csv", "12;Opslaan;Opslaan;Speichern;;Enregistrer;Guardar\n");
  EXPECT_STREQ(gettext("Opslaan", 0), "Opslaan");
  ASSERT_NE(Language::instance(), nullptr);
}

TEST_F(LanguageTest, LowerCaseNameSelectsNoLanguage) {
  choose("taal=nl\n");
  writeFile("language.csv", "12;Opslaan;Bewaren;Speichern;Save;;\n");
  EXPECT_EQ(Language::getInitLang(), Language::UNDEF);
  EXPECT_EQ(Language::instance(), nullptr);
  EXPECT_STREQ(gettext("Opslaan", 0), "Opslaan");
  EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(LanguageTest, KeyColumnMapsEveryTextToItself) {
  choose("taal=NLINI\n");
  writeFile("language.csv", "12;Opslaan;Bewaren;Speichern;Save;;\n13;Open;Openen;;;;\n");
  char text[] = "Opslaan";
  char* out = gettext(text, 0);
  EXPECT_STREQ(out, "Opslaan");
  EXPECT_NE(out, text);  // the table's own copy
  EXPECT_STREQ(gettext("Open", 0), "Open");
}

TEST_F(LanguageTest, NumberBeyondTableStopsWithParseErrorKeepingEarlierLines) {
  choose("taal=UK\n");
  writeFile("language.csv",
            "12;Opslaan;Opslaan;;Save;;\n"
            "512;Open;Open;;Open it;;\n"
            "13;Nieuw;Nieuw;;New;;\n");
  EXPECT_STREQ(gettext("Opslaan", 0), "Save");
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_EQ(dialogs.alerts[0], std::string("Error!! Language Parse error.") + ERROR_TAIL);
  EXPECT_STREQ(gettext("Open", 0), "Open");
  EXPECT_STREQ(gettext("Nieuw", 0), "Nieuw");
}

TEST_F(LanguageTest, NegativeNumberIsParseError) {
  choose("taal=UK\n");
  writeFile("language.csv", "-3;Open;Open;;Open it;;\n");
  ASSERT_NE(Language::instance(), nullptr);
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_STREQ(gettext("Open", 0), "Open");
}

TEST_F(LanguageTest, OverlongNumberColumnIsParseError) {
  choose("taal=UK\n");
  writeFile("language.csv", "12;Opslaan;Opslaan;;Save;;\n000013;Nieuw;Nieuw;;New;;\n");
  ASSERT_NE(Language::instance(), nullptr);
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_STREQ(gettext("Opslaan", 0), "Save");
  EXPECT_STREQ(gettext("Nieuw", 0), "Nieuw");
}

TEST_F(LanguageTest, HeadersCommentsAndEmptyLinesAreSkipped) {
  choose("taal=GER\n");
  writeFile("language.csv",
            "nr;key;NL;GER;UK;FR;SPA\n"
            "\n"
            "0;Opslaan;;Nicht;;;\n"
            "#;comment\n"
            "12;Opslaan;Opslaan;Speichern;Save;;\n");
  EXPECT_STREQ(gettext("Opslaan", 0), "Speichern");
  EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(LanguageTest, LaterLineWithSameNumberReplacesEarlier) {
  choose("taal=UK\n");
  writeFile("language.csv", "12;Opslaan;Opslaan;;Save;;\n12;Open;Open;;Open up;;\n");
  EXPECT_STREQ(gettext("Opslaan", 0), "Opslaan");
  EXPECT_STREQ(gettext("Open", 0), "Open up");
}

TEST_F(LanguageTest, KeyMatchesExactly) {
  choose("taal=UK\n");
  writeFile("language.csv", "12;Opslaan;Opslaan;;Save;;\n");
  EXPECT_STREQ(gettext("opslaan", 0), "opslaan");
  EXPECT_STREQ(gettext("Opslaan ", 0), "Opslaan ");
}

TEST_F(LanguageTest, MissingTableAlertsAndKeepsDutch) {
  choose("taal=UK\n");
  ASSERT_NE(Language::instance(), nullptr);
  ASSERT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_EQ(dialogs.alerts[0],
            std::string("Error!! File \"language.csv\" not available.") + ERROR_TAIL);
  EXPECT_EQ(Language::instance()->languageId(), Language::UNDEF);
  EXPECT_STREQ(gettext("Opslaan", 0), "Opslaan");
}

TEST_F(LanguageTest, NoChoiceFileMeansNoInstanceAndNoMessage) {
  writeFile("language.csv", "12;Opslaan;Opslaan;;Save;;\n");
  EXPECT_EQ(Language::instance(), nullptr);
  EXPECT_STREQ(gettext("Opslaan", 0), "Opslaan");
  EXPECT_STREQ(getMsgId(12), "");
  EXPECT_TRUE(dialogs.alerts.empty());
  // A choice made later is found by the next call.
  choose("taal=UK\n");
  EXPECT_STREQ(gettext("Opslaan", 0), "Save");
}

TEST_F(LanguageTest, ChoiceFileRules) {
  choose("\ntaal=UK\n");
  EXPECT_EQ(Language::getInitLang(), Language::UNDEF);
  choose("lang=UK\ntaal=\ntaal=FR\n");
  EXPECT_EQ(Language::getInitLang(), Language::FR);
  choose("taal=SPA extra\r\n");
  EXPECT_EQ(Language::getInitLang(), Language::SPA);
  choose("taal=XX\ntaal=UK\n");
  EXPECT_EQ(Language::getInitLang(), Language::UNDEF);
  choose("taal=UK");
  EXPECT_EQ(Language::getInitLang(), Language::UK);
  choose(std::string(5000, 'x') + "\ntaal=GER\n");
  EXPECT_EQ(Language::getInitLang(), Language::GER);
  choose("");
  EXPECT_EQ(Language::getInitLang(), Language::UNDEF);
}

TEST_F(LanguageTest, NameToId) {
  EXPECT_EQ(Language::strToId("NLINI"), Language::NLINI);
  EXPECT_EQ(Language::strToId("SPA"), Language::SPA);
  EXPECT_EQ(Language::strToId("uk"), Language::UNDEF);
  EXPECT_EQ(Language::strToId(""), Language::UNDEF);
  EXPECT_EQ(Language::strToId(nullptr), Language::UNDEF);
}

TEST_F(LanguageTest, MessagesFetchedByNumber) {
  choose("taal=UK\n");
  writeFile("language.csv", "208;Sluit de Tolvan aan;Sluit aan;;Connect;;\n");
  EXPECT_STREQ(getMsgId(208), "Sluit de Tolvan aan");
  EXPECT_STREQ(getMsgId(209), "");
  EXPECT_STREQ(getMsgId(-1), "");
  EXPECT_STREQ(getMsgId(512), "");
}

TEST_F(LanguageTest, WindowsLineEndsLoad) {
  choose("taal=UK\r\n");
  writeFile("language.csv", "nr;key\r\n12;Opslaan;Opslaan;;Save;;\r\n13;Open;Open;;;;\r\n");
  EXPECT_STREQ(gettext("Opslaan", 0), "Save");
  EXPECT_STREQ(gettext("Open", 0), "Open");
  EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(LanguageTest, LongLinesAreCutNotOverflowed) {
  choose("taal=UK\n");
  std::string longKey(600, 'k');
  writeFile("language.csv", "12;" + longKey + ";x;y;z\n13;Open;Open;;Open it;;" +
                                std::string(3000, ';') + "\n");
  ASSERT_NE(Language::instance(), nullptr);
  EXPECT_TRUE(dialogs.alerts.empty());
  // The key is what fits in the 512 characters of the line.
  EXPECT_EQ(strlen(getMsgId(12)), 512u - 3u);
  EXPECT_STREQ(gettext("Open", 0), "Open it");
}

TEST_F(LanguageTest, CoexistsWithTheCLibraryGettext) {
  choose("taal=UK\n");
  writeFile("language.csv", "12;Opslaan;Opslaan;;Save;;\n");
  // The one-argument call is the C library's, which knows no table here.
  EXPECT_STREQ(::gettext("Opslaan"), "Opslaan");
  EXPECT_STREQ(gettext("Opslaan", 0), "Save");
}

}  // namespace
