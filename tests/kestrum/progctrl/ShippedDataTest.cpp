// The files under data/ ship with the program and are read by name from its
// working directory. They go through the program's own readers here, so a
// line that the program would drop, misread or leave untranslated fails.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "ConfigInit.h"
#include "DataTestSupport.h"
#include "DiagCapture.h"
#include "SBEntry.h"
#include "SBTabs.h"
#include "SettingBin.h"
#include "TextLine.h"

namespace fs = std::filesystem;

namespace {

class ShippedData : public DataTest {
protected:
  std::vector<std::string> types;  // the device types of config.ini
  std::vector<std::string> form;   // config.csv without its header

  void SetUp() override {
    fs::copy(std::string(KESTRUM_SOURCE_DIR) + "/data", ".", fs::copy_options::recursive);
    FILE* fd = fopen("config.csv", "r");
    ASSERT_NE(fd, nullptr);
    char line[SBTabs::MAX_CONFIG_LINE_LEN];
    bool cut = false;
    for (int c = 0, nr = 1; c != EOF; nr++) {
      c = TextLine::read(fd, line, sizeof line, &cut);
      EXPECT_FALSE(cut) << "config.csv line " << nr;
      if (nr > 1 && line[0]) form.push_back(line);
    }
    fclose(fd);
    SettingBin sb(nullptr);
    ConfigInit cfg(&sb, nullptr, nullptr);
    for (const char* name : cfg.tolTypes()) types.push_back(cfg.quorelTolType(name));
  }
  void language(const char* name) {
    writeFile("language.ini", std::string("taal=") + name + "\n");
    Language::destroy();
  }
  // printf conversions in order; "%%" is none.
  static std::string conversions(const char* s) {
    std::string out;
    for (const char* p = s; (p = strchr(p, '%')); p++) {
      p += strspn(p + 1, "0123456789.-+# l") + 1;
      if (*p && *p != '%') out += *p;
      if (!*p) break;
    }
    return out;
  }
};

}  // namespace

TEST_F(ShippedData, EveryTypeDecodesAndEveryFormLineServesSomeType) {
  EXPECT_TRUE(dialogs.alerts.empty());
  ASSERT_GE(types.size(), 4u);
  std::vector<bool> used(form.size(), false);
  for (const std::string& type : types) {
    SCOPED_TRACE(type);
    SettingBin sb(nullptr);
    DiagCapture cap;
    sb.storeStatusInfo(type.c_str(), "", "", "");
    EXPECT_EQ(cap.remote, "") << "a letter of the type is unknown";
    for (const char* special : {"", "PRJ"}) {
      sb.setEntry(SettingBin::TOLTYPE_POS, type.c_str(), nullptr, false, SBEntry::INVALID_TYPE);
      sb.setEntry(SettingBin::TOLSPECIAL_POS, special, nullptr, false, SBEntry::INVALID_TYPE);
      for (size_t i = 0; i < form.size(); i++) {
        SBEntry e(form[i].c_str(), &sb);
        if (e.entryType() == SBEntry::INVALID_TYPE) continue;
        used[i] = true;
        for (const char* page : {e.help(), e.tabHelp()})
          EXPECT_TRUE(fileExists(page)) << page << " named by " << form[i];
      }
    }
  }
  for (size_t i = 0; i < form.size(); i++) EXPECT_TRUE(used[i]) << "no device shows: " << form[i];
  for (const char* f : {"Startup.html", "TabRevPacks.html"}) EXPECT_TRUE(fileExists(f)) << f;
}

TEST_F(ShippedData, EveryLanguageTranslatesEveryKeyAndKeepsFormatsAndChoiceValues) {
  language("NLINI");
  std::vector<std::string> keys;
  for (int n = 1; n < Language::NR_LINES; n++)
    if (*getMsgId(n)) keys.push_back(getMsgId(n));
  ASSERT_GT(keys.size(), 100u);
  SettingBin sb(nullptr);
  std::map<std::string, std::vector<std::string>> values;  // of each choice line
  for (const std::string& line : form) {
    SBEntry e(line.c_str(), &sb);
    for (int i = 0; e.entryType() == SBEntry::INPUT_CHOICE_TYPE && i < e.nrMenuItems(); i++)
      values[line].push_back(e.menuItem(i, true));
  }
  ASSERT_FALSE(values.empty());
  for (int id = Language::NL; id < Language::NR_LANG; id++) {
    SCOPED_TRACE(Language::_langTxt[id]);
    language(Language::_langTxt[id]);
    ASSERT_NE(Language::instance(), nullptr);
    for (std::string key : keys) {
      // A text without translation comes back as the very text given.
      const char* tr = Language::instance()->gettext(&key[0], 0);
      EXPECT_NE(tr, key.data()) << "\"" << key << "\" untranslated";
      EXPECT_EQ(conversions(tr), conversions(key.c_str())) << key;
    }
    // A translated choice shows other words for the same stored values.
    for (auto& v : values) {
      SBEntry e(v.first.c_str(), &sb);
      std::vector<std::string> got;
      for (int i = 0; i < e.nrMenuItems(); i++) got.push_back(e.menuItem(i, true));
      EXPECT_EQ(got, v.second) << v.first;
    }
  }
  EXPECT_TRUE(dialogs.alerts.empty()) << dialogs.alerts[0];
}

// Every text the program hands to the translation (gettext, tr, trFormat)
// has a line of its own: a missing key would come out Dutch whatever the choice.
TEST_F(ShippedData, EveryTextTheProgramTranslatesIsInTheTable) {
  language("NLINI");
  std::set<std::string> table;
  for (int n = 1; n < Language::NR_LINES; n++) table.insert(getMsgId(n));
  static const std::regex call(R"re(\b(?:gettext|tr|trFormat)\(\s*"((?:[^"\\]|\\.)*)")re");
  int found = 0;
  for (const char* top : {"kestrum", "main"}) {
    for (auto& e : fs::recursive_directory_iterator(std::string(KESTRUM_SOURCE_DIR) + "/" + top)) {
      if (e.path().extension() != ".cpp") continue;
      std::string src = readFile(e.path());
      for (std::sregex_iterator it(src.begin(), src.end(), call), end; it != end; ++it, ++found)
        EXPECT_EQ(table.count((*it)[1].str()), 1u) << e.path().filename() << ": \"" << (*it)[1] << "\"";
    }
  }
  EXPECT_GT(found, 100);
}
