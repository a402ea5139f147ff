// A settings file (.kvn) of arbitrary bytes is loaded: every entry must stay
// within its maxima, and storing what was loaded and loading it again must
// give the same entries (nothing read is lost on the way to the disk).
#include <cstring>
#include <string>
#include <vector>

#include "FuzzDialogs.h"
#include "SettingBin.h"

namespace {
struct Entry {
  std::string text, nr;
  bool operator==(const Entry& o) const { return text == o.text && nr == o.nr; }
};

std::vector<Entry> entries(SettingBin& bin) {
  std::vector<Entry> out;
  for (int i = 1; i <= SettingBin::FILE_LINES; ++i) {
    SettingBin::SettingEntry* e = bin.getEntry(static_cast<uint8_t>(i));
    fuzz::check(strnlen(e->text, sizeof e->text) <= SettingBin::MAX_TEXT_EXT);
    fuzz::check(strnlen(e->tfnr, sizeof e->tfnr) <= SettingBin::MAX_NRS);
    out.push_back({e->text, e->tfnr});
  }
  return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUpReader();
  fuzz::writeFile("in.kvn", data, size);
  SettingBin bin(nullptr);
  bin.file("in.kvn");
  fuzz::check(bin.loadFromFile());
  std::vector<Entry> loaded = entries(bin);

  bin.file("out.kvn");
  fuzz::check(bin.storeToFile());
  SettingBin again(nullptr);
  again.file("out.kvn");
  fuzz::check(again.loadFromFile());
  // A file too short to reach line 10 leaves the type empty; an empty line
  // 10 reads as the default type.
  Entry& type = loaded[SettingBin::TOLTYPE_POS - 1];
  if (type.text.empty()) type.text = "TL8888GM-ED";
  fuzz::check(entries(again) == loaded);
  return 0;
}
