#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "DataTestSupport.h"
#include "Language.h"

namespace {

using LanguageTest = DataTest;

TEST_F(LanguageTest, TheTableTranslatesForTheChosenLanguage) {
  const std::string tail = " \nNo Language Support. Default is NL";
  struct Case {
    const char* what;
    const char* ini;
    std::string csv;  // "-": no table
    std::vector<std::pair<const char*, const char*>> texts;  // given, translated
    std::string alert;                                       // empty: none
  } cases[] = {
      {"the chosen column", "taal=UK\n", "12;Opslaan;Opslaan;Speichern;Save;Enregistrer;Guardar\n",
       {{"Opslaan", "Save"}, {"opslaan", "opslaan"}, {"Opslaan ", "Opslaan "}}, ""},
      {"an empty column leaves the text Dutch", "taal=UK\n", "12;Opslaan;Opslaan;Speichern;;Enregistrer;Guardar\n",
       {{"Opslaan", "Opslaan"}}, ""},
      {"a lower-case name chooses nothing", "taal=uk\n", "12;Opslaan;Opslaan;;Save;;\n", {{"Opslaan", "Opslaan"}}, ""},
      {"headers, comments and empty lines", "taal=GER\n",
       "nr;key;NL;GER;UK;FR;SPA\n\n0;Opslaan;;Nicht;;;\n#;comment\n12;Opslaan;Opslaan;Speichern;Save;;\n",
       {{"Opslaan", "Speichern"}}, ""},
      {"a later line of the same number replaces the earlier",
       "taal=UK\n", "12;Opslaan;Opslaan;;Save;;\n12;Open;Open;;Open up;;\n", {{"Opslaan", "Opslaan"}, {"Open", "Open up"}}, ""},
      {"long lines are cut", "taal=UK\n",
       "12;" + std::string(600, 'k') + ";x;y;z\n13;Open;Open;;Open it;;" + std::string(3000, ';') + "\n",
       {{"Open", "Open it"}}, ""},
      {"a number beyond the table stops the reading", "taal=UK\n",
       "12;Opslaan;Opslaan;;Save;;\n512;Open;Open;;Open it;;\n13;Nieuw;Nieuw;;New;;\n",
       {{"Opslaan", "Save"}, {"Open", "Open"}, {"Nieuw", "Nieuw"}}, "Error!! Language Parse error." + tail},
      {"a negative number", "taal=UK\n", "-3;Open;Open;;Open it;;\n", {{"Open", "Open"}}, "Error!! Language Parse error." + tail},
      {"an overlong number", "taal=UK\n", "12;Opslaan;Opslaan;;Save;;\n000013;Nieuw;Nieuw;;New;;\n",
       {{"Opslaan", "Save"}, {"Nieuw", "Nieuw"}}, "Error!! Language Parse error." + tail},
      {"no table", "taal=UK\n", "-", {{"Opslaan", "Opslaan"}}, "Error!! File \"language.csv\" not available." + tail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Language::destroy();
    dialogs.alerts.clear();
    std::remove("language.csv");
    writeFile("language.ini", c.ini);
    if (c.csv != "-") writeFile("language.csv", c.csv);
    for (auto& t : c.texts) EXPECT_STREQ(gettext(t.first, 0), t.second) << t.first;
    EXPECT_EQ(dialogs.alerts, c.alert.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.alert});
  }
  EXPECT_EQ(Language::instance()->languageId(), Language::UNDEF);
  // The key is what fits in the 512 characters of the line.
  writeFile("language.csv", "12;" + std::string(600, 'k') + ";x\n");
  Language::destroy();
  EXPECT_EQ(strlen(getMsgId(12)), 509u);
}

TEST_F(LanguageTest, EachColumnServesItsLanguageAndAFlagAsksForNone) {
  writeFile("language.csv", "12;Opslaan;Opslaan NL;Speichern;Save;Enregistrer;Guardar\n"
                            "208;Sluit de Tolvan aan;Sluit aan;;Connect;;\n");
  const char* expected[] = {"Opslaan", "Opslaan NL", "Speichern", "Save", "Enregistrer", "Guardar"};
  for (int id = Language::NLINI; id < Language::NR_LANG; id++) {
    writeFile("language.ini", std::string("taal=") + Language::_langTxt[id] + "\n");
    Language::destroy();
    char text[] = "Opslaan";
    const char* out = gettext(text, 0);
    EXPECT_STREQ(out, expected[id]);
    EXPECT_NE(out, text) << "the table's own copy";
    EXPECT_EQ(gettext(text, 1), text);
    EXPECT_EQ(Language::instance()->languageId(), id);
  }
  EXPECT_STREQ(getMsgId(208), "Sluit de Tolvan aan");
  EXPECT_STREQ(getMsgId(209), "");
  EXPECT_STREQ(getMsgId(-1), "");
  EXPECT_STREQ(getMsgId(512), "");
  EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(LanguageTest, ChoiceFileRules) {
  struct Case {
    std::string ini;
    Language::LanguageId id;
  } cases[] = {
      {"\ntaal=UK\n", Language::UNDEF},       {"lang=UK\ntaal=\ntaal=FR\n", Language::FR},
      {"taal=SPA extra\r\n", Language::SPA},  {"taal=XX\ntaal=UK\n", Language::UNDEF},
      {"taal=UK", Language::UK},              {std::string(5000, 'x') + "\ntaal=GER\n", Language::GER},
      {"", Language::UNDEF},                  {"taal=NLINI\n", Language::NLINI},
  };
  for (const Case& c : cases) {
    writeFile("language.ini", c.ini);
    EXPECT_EQ(Language::getInitLang(), c.id) << c.ini.substr(0, 30);
  }
  EXPECT_EQ(Language::strToId(""), Language::UNDEF);
  EXPECT_EQ(Language::strToId(nullptr), Language::UNDEF);
  // No choice: no table, and the next call looks again.
  std::remove("language.ini");
  EXPECT_EQ(Language::instance(), nullptr);
  EXPECT_STREQ(getMsgId(12), "");
  writeFile("language.ini", "taal=UK\n");
  EXPECT_NE(Language::instance(), nullptr);
}

}  // namespace
