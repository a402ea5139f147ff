// A config.ini of arbitrary bytes is read: every value must stay within its
// maximum, and what is written back at the end must read as the same
// choices and type names.
#include <cstring>
#include <string>
#include <vector>

#include "ConfigInit.h"
#include "FuzzDialogs.h"
#include "SettingBin.h"

namespace {
struct State {
  std::string settingFile, com, revpack, bin;
  std::vector<std::string> names;
  std::vector<std::string> types;
  bool operator==(const State& o) const {
    return settingFile == o.settingFile && com == o.com && revpack == o.revpack && bin == o.bin &&
           names == o.names && types == o.types;
  }
};

State state(const ConfigInit& ci, const SettingBin& sb) {
  State s;
  s.settingFile = sb.file() ? sb.file() : "";
  s.com = ci.comActive();
  s.revpack = ci.lastRevpackFile();
  s.bin = ci.lastBinFile();
  fuzz::check(s.com.size() <= static_cast<size_t>(ConfigInit::MAX_VALUE_LEN));
  fuzz::check(s.revpack.size() <= static_cast<size_t>(ConfigInit::MAX_VALUE_LEN));
  fuzz::check(s.bin.size() <= static_cast<size_t>(ConfigInit::MAX_VALUE_LEN));
  for (const char* n : ci.tolTypes()) {
    fuzz::check(strlen(n) <= static_cast<size_t>(ConfigInit::TolType::MAX_LEN));
    s.names.push_back(n);
    const char* type = ci.quorelTolType(n);
    fuzz::check(strlen(type) <= static_cast<size_t>(ConfigInit::TolType::MAX_LEN));
    s.types.push_back(type);
    fuzz::check(strlen(ci.replaceQuorelByCustomType(type)) < 256);
    fuzz::check(strlen(ci.customTolType(type)) <= static_cast<size_t>(ConfigInit::TolType::MAX_LEN));
  }
  return s;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUpReader();
  static bool once = false;
  if (!once) {
    once = true;
    // No serial ports: the scan looks into an empty directory.
    std::filesystem::create_directory("dev");
    ConfigInit::devDir((fuzz::WorkDir::path() + "/dev").c_str());
  }
  fuzz::writeFile(ConfigInit::_file, data, size);
  State first;
  {
    SettingBin sb(nullptr);
    ConfigInit ci(&sb, nullptr, nullptr);
    first = state(ci, sb);
    fuzz::check(ci.save());
  }
  SettingBin sb(nullptr);
  ConfigInit ci(&sb, nullptr, nullptr);
  fuzz::check(state(ci, sb) == first);
  return 0;
}
