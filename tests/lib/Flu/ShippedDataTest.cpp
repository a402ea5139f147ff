// The files under data/ ship with the program and are read by name from its
// working directory; a broken line would silently drop a field or a
// translation, so every line is checked against the grammar the program reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string DATA = std::string(KESTRUM_SOURCE_DIR) + "/data/";

std::vector<std::string> readLines(const std::string& name) {
  std::ifstream in(DATA + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name << " missing";
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> split(const std::string& line, char sep = ';') {
  std::vector<std::string> cols;
  std::string cur;
  for (char c : line) {
    if (c == sep) {
      cols.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  cols.push_back(cur);
  return cols;
}

bool isNumber(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

bool fileExists(const std::string& rel) { return std::ifstream(DATA + rel).good(); }

// printf conversions in order ("%s", "%d", "%x", ...); "%%" is not one.
std::string conversions(const std::string& s) {
  std::string out;
  for (size_t i = 0; i + 1 < s.size(); ++i) {
    if (s[i] != '%') continue;
    size_t j = i + 1;
    while (j < s.size() && std::strchr("0123456789.-+# l", s[j])) ++j;
    if (j < s.size()) out += s[j];
    if (j < s.size() && s[j] == '%') out.pop_back();
    i = j;
  }
  return out;
}

bool validUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = s[i];
    int n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (n < 0 || i + n >= s.size() + (n == 0 ? 1 : 0)) return false;
    for (int k = 1; k <= n; ++k) {
      if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    }
    i += n + 1;
  }
  return true;
}

// One settings form line, as the program splits it.
struct FormLine {
  int lineNr;
  std::vector<std::string> col;  // col[1]..col[17]; col[0] unused
};

std::vector<FormLine> formLines() {
  std::vector<FormLine> out;
  std::vector<std::string> lines = readLines("config.csv");
  for (size_t i = 0; i < lines.size(); ++i) {
    std::vector<std::string> c = split(lines[i]);
    if (!isNumber(c[0])) continue;  // header or comment: the program skips it
    FormLine f;
    f.lineNr = static_cast<int>(i) + 1;
    f.col.push_back("");
    for (size_t k = 0; k < 17; ++k) f.col.push_back(k < c.size() ? c[k] : "");
    out.push_back(f);
  }
  return out;
}

// The settings form's variant filter for one column and the type character c.
bool filterPasses(const std::string& filter, const std::string& type, size_t pos) {
  if (filter.empty()) return true;
  bool has = pos < type.size();
  char c = has ? type[pos] : 0;
  if (has && std::isdigit(static_cast<unsigned char>(c))) {
    if (filter.size() > 1 && filter[1] == '+') return filter[0] <= c;
    return filter[0] == c;
  }
  return has && filter.find(c) != std::string::npos;
}

bool shownFor(const FormLine& f, const std::string& type, const std::string& special) {
  const size_t pos[] = {2, 3, 4, 5, 6, 7, 9, 10};
  for (int k = 0; k < 8; ++k) {
    if (!filterPasses(f.col[9 + k], type, pos[k])) return false;
  }
  return special.find(f.col[17]) != std::string::npos;
}

std::map<std::string, std::vector<std::string>> languageTable() {
  std::map<std::string, std::vector<std::string>> keys;
  for (const std::string& line : readLines("language.csv")) {
    std::vector<std::string> c = split(line);
    if (!isNumber(c[0]) || std::atoi(c[0].c_str()) == 0) continue;
    if (c.size() >= 7) keys[c[1]] = std::vector<std::string>(c.begin() + 2, c.begin() + 7);
  }
  return keys;
}

// "sel:" items: shown text and stored value.
std::vector<std::pair<std::string, std::string>> selItems(const std::string& kind) {
  std::vector<std::pair<std::string, std::string>> items;
  for (const std::string& item : split(kind.substr(4), '|')) {
    size_t colon = item.find(':');
    if (colon == std::string::npos) items.emplace_back(item, item);
    else items.emplace_back(item.substr(0, colon), item.substr(colon + 1));
  }
  return items;
}

} // namespace

TEST(ShippedConfigCsv, EveryLineButTheHeaderDescribesAField) {
  std::vector<std::string> lines = readLines("config.csv");
  ASSERT_GT(lines.size(), 1u);
  EXPECT_FALSE(isNumber(split(lines[0])[0])) << "first line is the header";
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_TRUE(isNumber(split(lines[i])[0])) << "line " << i + 1 << " would be skipped";
    EXPECT_EQ(std::string::npos, lines[i].find('\r')) << "line " << i + 1;
    EXPECT_LE(lines[i].size(), 511u) << "line " << i + 1;
  }
}

TEST(ShippedConfigCsv, ColumnsKeepTheirLimits) {
  const size_t maxLen[] = {0, 9, 9, 79, 79, 159, 79, 79, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19};
  for (const FormLine& f : formLines()) {
    for (int k = 1; k <= 17; ++k) {
      EXPECT_LE(f.col[k].size(), maxLen[k]) << "line " << f.lineNr << " column " << k;
    }
    int entry = std::atoi(f.col[1].c_str());
    EXPECT_TRUE(entry >= 1 && entry <= 200) << "line " << f.lineNr;
    EXPECT_TRUE(f.col[2] == "T" || f.col[2] == "N") << "line " << f.lineNr;
    EXPECT_FALSE(f.col[3].empty()) << "line " << f.lineNr;
    EXPECT_FALSE(f.col[4].empty()) << "line " << f.lineNr;
    EXPECT_TRUE(entry != 10 && entry != 20) << "entries 10 and 20 hold the type and special";
  }
}

TEST(ShippedConfigCsv, EveryKindIsRecognisedAndWellFormed) {
  for (const FormLine& f : formLines()) {
    const std::string& kind = f.col[5];
    if (kind == "ascii" || kind == "tel") continue;
    if (kind.rfind("num:", 0) == 0) {
      size_t bar = kind.find('|');
      std::string range = kind.substr(4, bar == std::string::npos ? std::string::npos : bar - 4);
      std::vector<std::string> mm = split(range, '-');
      ASSERT_EQ(2u, mm.size()) << "line " << f.lineNr;
      ASSERT_TRUE(isNumber(mm[0]) && isNumber(mm[1])) << "line " << f.lineNr;
      if (bar != std::string::npos) {
        std::string rest = kind.substr(bar + 1);
        ASSERT_EQ(0u, rest.rfind("default:", 0)) << "line " << f.lineNr;
        std::string def = rest.substr(8);
        ASSERT_TRUE(isNumber(def)) << "line " << f.lineNr;
        long v = std::atol(def.c_str());
        EXPECT_TRUE(v >= std::atol(mm[0].c_str()) && v <= std::atol(mm[1].c_str()))
            << "default outside the range, line " << f.lineNr;
      }
      continue;
    }
    ASSERT_EQ(0u, kind.rfind("sel:", 0)) << "unknown kind '" << kind << "' line " << f.lineNr;
    auto items = selItems(kind);
    EXPECT_LE(items.size(), 20u) << "line " << f.lineNr;
    std::set<std::string> shown, stored;
    for (auto& it : items) {
      EXPECT_LE(it.first.size() + it.second.size() + 1, 39u) << "line " << f.lineNr;
      EXPECT_TRUE(shown.insert(it.first).second) << "duplicate item, line " << f.lineNr;
      EXPECT_TRUE(stored.insert(it.second).second) << "duplicate value, line " << f.lineNr;
      // A stored value is read as one word.
      EXPECT_EQ(std::string::npos, it.second.find_first_of(" \t")) << "line " << f.lineNr;
      EXPECT_FALSE(it.first.empty() || it.second.empty()) << "line " << f.lineNr;
      if (f.col[2] == "N") {
        EXPECT_TRUE(isNumber(it.second)) << "number fields store digits, line " << f.lineNr;
      }
    }
  }
}

TEST(ShippedConfigCsv, FiltersUseTheTypeAlphabet) {
  for (const FormLine& f : formLines()) {
    for (int k = 9; k <= 12; ++k) {
      const std::string& s = f.col[k];
      bool ok = s.empty() || (s.size() == 1 && std::isdigit(static_cast<unsigned char>(s[0]))) ||
                (s.size() == 2 && std::isdigit(static_cast<unsigned char>(s[0])) && s[1] == '+');
      EXPECT_TRUE(ok) << "line " << f.lineNr << " column " << k << ": '" << s << "'";
    }
    for (int k = 13; k <= 16; ++k) {
      for (char c : f.col[k]) {
        EXPECT_TRUE(std::isupper(static_cast<unsigned char>(c))) << "line " << f.lineNr << " column " << k;
      }
    }
  }
}

TEST(ShippedConfigCsv, EachTabIsOneBlockThatFitsTheSheet) {
  std::vector<std::string> tabsSeen;
  std::map<std::string, int> perColumn;
  std::set<std::string> fields;
  for (const FormLine& f : formLines()) {
    const std::string& tab = f.col[4];
    if (tabsSeen.empty() || tabsSeen.back() != tab) {
      EXPECT_EQ(tabsSeen.end(), std::find(tabsSeen.begin(), tabsSeen.end(), tab))
          << "tab '" << tab << "' comes back at line " << f.lineNr << " and would make a second sheet";
      tabsSeen.push_back(tab);
    }
    // 315 pixels below the tab row, 15 above the first 21-pixel row.
    EXPECT_LE(++perColumn[tab + f.col[2]], 14) << "too many fields in one column of " << tab;
    EXPECT_TRUE(fields.insert(f.col[1] + f.col[2]).second)
        << "entry " << f.col[1] << f.col[2] << " twice, line " << f.lineNr;
  }
  EXPECT_GE(tabsSeen.size(), 5u);
}

TEST(ShippedConfigCsv, EveryHelpPageExists) {
  for (const FormLine& f : formLines()) {
    for (int k = 6; k <= 7; ++k) {
      if (f.col[k].empty()) continue;
      EXPECT_TRUE(fileExists(f.col[k])) << f.col[k] << " named on line " << f.lineNr;
    }
  }
  EXPECT_TRUE(fileExists("Startup.html"));
  EXPECT_TRUE(fileExists("TabRevPacks.html"));
}

TEST(ShippedConfigCsv, DeviceTypesGetDifferentForms) {
  std::set<std::vector<int>> forms;
  int types = 0;
  for (const std::string& line : readLines("config.ini")) {
    if (line.rfind("tolvantype=", 0) != 0) continue;
    std::string type = split(line.substr(11))[0];
    ++types;
    std::vector<int> shown;
    for (const FormLine& f : formLines()) {
      if (shownFor(f, type, "")) shown.push_back(f.lineNr);
    }
    EXPECT_FALSE(shown.empty()) << type;
    forms.insert(shown);
  }
  EXPECT_GE(types, 4);
  EXPECT_EQ(static_cast<size_t>(types), forms.size()) << "every shipped type has its own form";
}

TEST(ShippedConfigCsv, SpecialFieldsAppearOnlyWithTheirSpecial) {
  bool any = false;
  for (const FormLine& f : formLines()) {
    if (f.col[17].empty()) continue;
    any = true;
    EXPECT_FALSE(shownFor(f, "TL8888GM-ED", "")) << "line " << f.lineNr;
    EXPECT_TRUE(shownFor(f, "TL8888GM-ED", "X" + f.col[17] + "Y")) << "line " << f.lineNr;
  }
  EXPECT_TRUE(any);
}

TEST(ShippedConfigIni, TypeNamesAreValidPairs) {
  std::set<std::string> keys;
  for (const std::string& line : readLines("config.ini")) {
    size_t eq = line.find('=');
    ASSERT_NE(std::string::npos, eq) << line;
    std::string key = line.substr(0, eq);
    std::string value = line.substr(eq + 1);
    EXPECT_LE(key.size(), 20u);
    EXPECT_LE(value.size(), 79u);
    keys.insert(key);
    if (key != "tolvantype") continue;
    std::vector<std::string> pair = split(value);
    ASSERT_EQ(2u, pair.size()) << line;
    const std::string& type = pair[0];
    ASSERT_EQ(11u, type.size()) << type;
    EXPECT_EQ("TL", type.substr(0, 2));
    for (int p = 2; p <= 5; ++p) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(type[p]))) << type;
    EXPECT_NE(std::string::npos, std::string("GINWP").find(type[6])) << type;
    EXPECT_NE(std::string::npos, std::string("MS").find(type[7])) << type;
    EXPECT_NE(std::string::npos, std::string("EAB").find(type[9])) << type;
    EXPECT_FALSE(pair[1].empty());
    EXPECT_LE(pair[1].size(), 40u);
  }
  for (const char* k : {"settingfile", "comport", "tolvantype", "lastrevpack", "lastbin"}) {
    EXPECT_EQ(1u, keys.count(k)) << k;
  }
}

TEST(ShippedLanguage, IniChoosesAKnownLanguage) {
  std::vector<std::string> lines = readLines("language.ini");
  ASSERT_FALSE(lines.empty());
  ASSERT_LE(lines[0].size(), 20u);
  ASSERT_EQ(0u, lines[0].rfind("taal=", 0));
  std::set<std::string> known = {"NLINI", "NL", "GER", "UK", "FR", "SPA"};
  EXPECT_EQ(1u, known.count(lines[0].substr(5))) << lines[0];
}

TEST(ShippedLanguage, EveryLineParsesWithinTheLimits) {
  std::set<int> numbers;
  std::set<std::string> keys;
  std::vector<std::string> lines = readLines("language.csv");
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    EXPECT_LE(line.size(), 512u) << "line " << i + 1;
    EXPECT_EQ(std::string::npos, line.find('\r')) << "line " << i + 1;
    EXPECT_TRUE(validUtf8(line)) << "line " << i + 1;
    std::vector<std::string> c = split(line);
    if (!isNumber(c[0])) {
      EXPECT_EQ(0u, i) << "only the header may be skipped, line " << i + 1;
      continue;
    }
    ASSERT_GE(c.size(), 7u) << "line " << i + 1;
    for (size_t k = 7; k < c.size(); ++k) EXPECT_TRUE(c[k].empty()) << "extra text, line " << i + 1;
    EXPECT_LE(c[0].size(), 5u);
    int n = std::atoi(c[0].c_str());
    EXPECT_TRUE(n >= 1 && n <= 511) << "line " << i + 1;
    EXPECT_TRUE(numbers.insert(n).second) << "number " << n << " twice";
    EXPECT_TRUE(keys.insert(c[1]).second) << "key '" << c[1] << "' twice: the later one is never found";
    EXPECT_EQ(c[1], c[2]) << "the NL column repeats the program's text, line " << i + 1;
    for (int k = 2; k <= 6; ++k) {
      EXPECT_FALSE(c[k].empty()) << "line " << i + 1 << " column " << k + 1;
      EXPECT_EQ(conversions(c[1]), conversions(c[k]))
          << "printf conversions differ, line " << i + 1 << " column " << k + 1;
    }
  }
  for (int n = 208; n <= 213; ++n) EXPECT_EQ(1u, numbers.count(n)) << "message " << n;
}

TEST(ShippedLanguage, FormTextsAreTranslated) {
  auto table = languageTable();
  for (const FormLine& f : formLines()) {
    EXPECT_EQ(1u, table.count(f.col[3])) << "field name '" << f.col[3] << "'";
    EXPECT_EQ(1u, table.count(f.col[4])) << "tab name '" << f.col[4] << "'";
  }
}

TEST(ShippedLanguage, TranslatedChoicesKeepTheirStoredValues) {
  auto table = languageTable();
  int seen = 0;
  for (auto& kv : table) {
    if (kv.first.rfind("sel:", 0) != 0) continue;
    ++seen;
    auto original = selItems(kv.first);
    for (const std::string& tr : kv.second) {
      ASSERT_EQ(0u, tr.rfind("sel:", 0)) << tr;
      EXPECT_LE(tr.size(), 159u) << tr;
      auto items = selItems(tr);
      ASSERT_EQ(original.size(), items.size()) << tr;
      for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(original[i].second, items[i].second) << tr;
        EXPECT_FALSE(items[i].first.empty()) << tr;
        EXPECT_LE(items[i].first.size() + items[i].second.size() + 1, 39u) << tr;
      }
    }
  }
  EXPECT_GT(seen, 0);
}

TEST(ShippedImages, LogoIsAGifOfTheShownSize) {
  std::ifstream in(DATA + "tolvan.gif", std::ios::binary);
  ASSERT_TRUE(in.good());
  unsigned char h[10] = {};
  in.read(reinterpret_cast<char*>(h), sizeof h);
  EXPECT_EQ("GIF8", std::string(reinterpret_cast<char*>(h), 4));
  EXPECT_EQ(122, h[6] | (h[7] << 8));
  EXPECT_EQ(125, h[8] | (h[9] << 8));
}

TEST(ShippedImages, WindowIconIsAnXpm) {
  std::vector<std::string> lines = readLines("kestrum.xpm");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ("/* XPM */", lines[0]);
}

#include "FluTestSupport.h"

#include <FL/Fl_GIF_Image.H>
#include <FL/Fl_Help_View.H>
#include <FL/Fl_XPM_Image.H>

TEST(ShippedImages, ToolkitReadsLogoAndIcon) {
  Fl_GIF_Image logo((DATA + "tolvan.gif").c_str());
  EXPECT_EQ(122, logo.w());
  EXPECT_EQ(125, logo.h());
  Fl_XPM_Image icon((DATA + "kestrum.xpm").c_str());
  EXPECT_EQ(32, icon.w());
  EXPECT_EQ(32, icon.h());
}

TEST(ShippedHelp, EveryPageLoadsIntoTheHelpView) {
  FLU_NEED_DISPLAY();
  std::set<std::string> pages = {"Startup.html", "TabRevPacks.html"};
  for (const FormLine& f : formLines()) {
    if (!f.col[6].empty()) pages.insert(f.col[6]);
    if (!f.col[7].empty()) pages.insert(f.col[7]);
  }
  Fl_Help_View view(0, 0, 335, 555);
  for (const std::string& p : pages) {
    EXPECT_EQ(0, view.load((DATA + p).c_str())) << p;
    ASSERT_NE(nullptr, view.value()) << p;
    EXPECT_NE(nullptr, std::strstr(view.value(), "</body>")) << p;
    EXPECT_NE(nullptr, view.title()) << p;
    EXPECT_STRNE("", view.title()) << p;
  }
}

// Every text the program hands to the translation (gettext, and the tr and
// trFormat wrappers around it) has a line of its own in every language: an
// alert whose key is missing would come out Dutch whatever the choice.
TEST(ShippedLanguage, EveryTextTheProgramTranslatesIsInTheTable) {
  namespace fs = std::filesystem;
  auto table = languageTable();
  int found = 0;
  for (const char* top : {"kestrum", "main"}) {
    for (auto& e : fs::recursive_directory_iterator(std::string(KESTRUM_SOURCE_DIR) + "/" + top)) {
      if (e.path().extension() != ".cpp") continue;
      std::ifstream f(e.path());
      std::stringstream ss;
      ss << f.rdbuf();
      std::string src = ss.str();
      static const std::regex call(R"re(\b(?:gettext|tr|trFormat)\(\s*"((?:[^"\\]|\\.)*)")re");
      for (std::sregex_iterator it(src.begin(), src.end(), call), end; it != end; ++it) {
        std::string key = (*it)[1].str();
        ++found;
        auto row = table.find(key);
        ASSERT_NE(table.end(), row) << e.path().filename() << ": \"" << key << "\" is not in language.csv";
      }
    }
  }
  EXPECT_GT(found, 100);
}
