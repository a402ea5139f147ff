// A config.csv of arbitrary bytes is read as the settings form reads it,
// without the window: the first input line gives the settings' device type
// and special (type;special), the rest is the form description. Every field
// read must stay within its maxima, and fields and settings may go in
// either order without a dangling link.
#include <cstring>
#include <string>
#include <vector>

#include "FuzzDialogs.h"
#include "SBEntry.h"
#include "SBTabs.h"
#include "SettingBin.h"

namespace {
void checkEntry(SBEntry* e) {
  fuzz::check(e->entry() >= 1 && e->entry() <= 200);
  fuzz::check(e->list() == 'T' || e->list() == 'N');
  fuzz::check(e->entryType() != SBEntry::INVALID_TYPE);
  fuzz::check(strlen(e->name()) < 80 && strlen(e->tabName()) < 80);
  fuzz::check(strlen(e->type()) < 160 && strlen(e->help()) < 80 && strlen(e->tabHelp()) < 80);
  fuzz::check(strlen(e->defaultEntry()) < 80);
  fuzz::check(e->nrMenuItems() >= 0 && e->nrMenuItems() <= SBEntry::MAX_MENU_ITEMS);
  for (int i = -1; i <= e->nrMenuItems(); ++i) {
    for (bool value : {false, true}) {
      char* item = e->menuItem(i, value);
      fuzz::check((item != nullptr) == (i >= 0 && i < e->nrMenuItems()));
      if (!item) continue;
      fuzz::check(strlen(item) <= static_cast<size_t>(SBEntry::MAX_ITEM_LEN));
      std::string copy = item;
      int ix = e->menuItem(&copy[0], value);
      fuzz::check(ix >= 0 && ix <= e->nrMenuItems());
      char* shown = e->menuItem(i, false);
      e->menuItem(static_cast<const char*>(shown), value);
    }
  }
  fuzz::check(e->menuItem(static_cast<const char*>(nullptr), true) == nullptr);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUpReader();
  const uint8_t* nl = static_cast<const uint8_t*>(memchr(data, '\n', size));
  size_t head = nl ? static_cast<size_t>(nl - data) : size;
  std::string variant(reinterpret_cast<const char*>(data), head);
  size_t sep = variant.find(';');
  std::string type = variant.substr(0, sep);
  std::string special = sep == std::string::npos ? "" : variant.substr(sep + 1);
  size_t rest = nl ? head + 1 : size;
  fuzz::writeFile("config.csv", data + rest, size - rest);

  SettingBin* bin = new SettingBin(nullptr);
  bin->setEntry(SettingBin::TOLTYPE_POS, type.c_str(), nullptr, false, SBEntry::ASCII_INPUT_TYPE);
  bin->setEntry(SettingBin::TOLSPECIAL_POS, special.c_str(), nullptr, false, SBEntry::ASCII_INPUT_TYPE);
  std::vector<SBEntry*> fields;
  FILE* fd = fopen("config.csv", "r");
  fuzz::check(fd != nullptr);
  while (SBEntry* e = SBTabs::readEntry(fd, bin)) {
    checkEntry(e);
    bin->entrySupported(static_cast<uint8_t>(e->entry()), e->list());
    bin->setSbEntry(e);
    fuzz::check(!bin->sbEntryTitle(static_cast<uint8_t>(e->entry()), e->list()).empty());
    fields.push_back(e);
  }
  fclose(fd);
  // The first half goes before the settings, the rest after them.
  size_t half = fields.size() / 2;
  for (size_t i = 0; i < half; ++i) delete fields[i];
  delete bin;
  for (size_t i = half; i < fields.size(); ++i) delete fields[i];
  return 0;
}
