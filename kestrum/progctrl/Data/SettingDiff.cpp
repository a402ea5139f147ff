#include "SettingDiff.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "SBEntry.h"
#include "SBTabs.h"
#include "SettingBin.h"
#include "TextLine.h"

namespace {
struct Name {
  std::string field, tab;
  bool shown = false;  // from a line that applies to the variant
};

// The names of the fields of entries 1..200 (text [0] and number [1]) as the
// form would label them for the variant of settings. A field the variant
// hides keeps the name of the first line that describes it.
std::vector<Name> fieldNames(SettingBin* settings, const char* configFile) {
  std::vector<Name> names(2 * (SettingDiff::LAST + 1));
  FILE* fd = configFile ? fopen(configFile, "r") : nullptr;
  if (!fd) return names;
  char line[SBTabs::MAX_CONFIG_LINE_LEN];
  int c = 0;
  while (c != EOF) {
    c = TextLine::read(fd, line, sizeof line);
    SBEntry e(line, settings);
    if (e.entry() < SettingDiff::FIRST || e.entry() > SettingDiff::LAST || e.name()[0] == '\0') continue;
    if (e.list() != 'T' && e.list() != 'N') continue;
    Name& n = names[2 * e.entry() + (e.list() == 'N' ? 1 : 0)];
    bool shown = e.entryType() != SBEntry::INVALID_TYPE;
    if (n.shown || (!n.field.empty() && !shown)) continue;
    n.field = e.name();
    n.tab = e.tabName();
    n.shown = shown;
  }
  fclose(fd);
  return names;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }
}  // namespace

SettingDiff::SettingDiff() {}

SettingDiff::SettingDiff(SettingBin& settings) { take(settings); }

SettingDiff::~SettingDiff() {}

void SettingDiff::take(SettingBin& settings) {
  _text.assign(LAST + 1, std::string());
  _number.assign(LAST + 1, std::string());
  for (int nr = FIRST; nr <= LAST; ++nr) {
    SettingBin::SettingEntry* e = settings.getEntry(static_cast<uint8_t>(nr));
    _text[nr] = e->text;
    _number[nr] = e->tfnr;
  }
}

void SettingDiff::restoreInto(SettingBin& settings) const {
  if (empty()) return;
  for (int nr = FIRST; nr <= LAST; ++nr) {
    SettingBin::SettingEntry* e = settings.getEntry(static_cast<uint8_t>(nr));
    // The reference came out of a store of the same sizes: it fits.
    snprintf(e->text, sizeof e->text, "%s", _text[nr].c_str());
    snprintf(e->tfnr, sizeof e->tfnr, "%s", _number[nr].c_str());
  }
}

std::vector<SettingDiff::Difference> SettingDiff::compare(SettingBin& device, const char* configFile) const {
  std::vector<Difference> out;
  if (empty()) return out;
  std::vector<Name> names;
  for (int nr = FIRST; nr <= LAST; ++nr) {
    SettingBin::SettingEntry* e = device.getEntry(static_cast<uint8_t>(nr));
    const std::string* mine[2] = {&_text[nr], &_number[nr]};
    const char* theirs[2] = {e->text, e->tfnr};
    for (int k = 0; k < 2; ++k) {
      if (*mine[k] == theirs[k]) continue;
      if (names.empty()) {
        // The variant is that of the reference: a store of its own.
        std::unique_ptr<SettingBin> variant(new SettingBin(nullptr));
        restoreInto(*variant);
        names = fieldNames(variant.get(), configFile);
      }
      const Name& n = names[2 * nr + k];
      out.push_back({nr, k == 0 ? 'T' : 'N', n.field, n.tab, *mine[k], theirs[k]});
    }
  }
  return out;
}

std::string SettingDiff::line(const Difference& d) {
  std::string s = "entry " + std::to_string(d.entry);
  if (!d.field.empty()) s += " " + quoted(d.field);
  if (!d.tab.empty()) s += " (" + d.tab + ")";
  if (d.field.empty()) s += d.list == 'T' ? " text" : " number";
  return s + ": file " + quoted(d.fileValue) + " device " + quoted(d.deviceValue);
}
