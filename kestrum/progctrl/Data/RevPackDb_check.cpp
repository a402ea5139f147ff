// The revision pack database: checksums, the checks of a bin against the
// connected device, type names and identification of a bin by its contents.
#include "RevPackDb.h"

#include <FL/Fl_Preferences.H>
#include <FL/filename.H>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "BDiag.h"
#include "ConfigInit.h"
#include "Language.h"
#include "Main.h"
#include "RPallowHwList.h"
#include "TextUtil.h"
#include "kestrum/progctrl/States/TlctrlRoot.h"

namespace fs = std::filesystem;

namespace {
char at(const std::string& s, size_t i) { return i < s.size() ? s[i] : '\0'; }

// Stored bytes become texts; a NUL ends them.
std::string text(const uint8_t* p, int n) {
  std::string s;
  for (int i = 0; i < n && p[i]; ++i) s += static_cast<char>(p[i]);
  return s;
}

}  // namespace

// --------------------------------------------------------------- checksum

uint16_t RevPackDb::readCheckSum(const char* path, bool& found) {
  found = false;
  FILE* f = path ? fopen(path, "r") : nullptr;
  if (!f) {
    B_EXCEPTION("Error file not found " << (path ? path : ""));
    return 0;
  }
  std::string data;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
  fclose(f);
  size_t start = data.find("[.]");
  if (start == std::string::npos) return 0;
  found = true;
  uint16_t sum = 0;
  for (size_t i = start; i < data.size(); ++i)
    sum = static_cast<uint16_t>(sum + static_cast<int8_t>(static_cast<uint8_t>(data[i])));
  return sum;
}

uint16_t RevPackDb::readCheckSum(const char* path) {
  bool found;
  return readCheckSum(path, found);
}

bool RevPackDb::checkCheckSum(const char* file, bool create) {
  std::string name = file ? file : "";
  // The checksum stands between the last "[" and the "]" after it.
  std::string base = fl_filename_name(name.c_str());
  size_t open = base.rfind('[');
  size_t close = open == std::string::npos ? open : base.find(']', open);
  std::string digits;
  if (close != std::string::npos) digits = base.substr(open + 1, close - open - 1);
  uint32_t inName = _hexToNr.convert(digits.c_str());

  std::string path = create ? name : std::string(APPLICATION) + "/" + name;
  std::error_code ec;
  if (!create && !fs::exists(path, ec) && !hasPackExt(path)) path += ".rpa";
  bool found = false;
  uint16_t calc = readCheckSum(path.c_str(), found);
  // No checksum in the name, or no marker in the file, never passes.
  bool ok = found && !digits.empty() && digits.size() <= 8 && inName == calc;
  if (!ok)
    alert(TextUtil::format(TextUtil::trFormat("Invalid Checksum (calc=%x) in %s. Upgrade NOT possible"), calc,
                           name.c_str()));
  return ok;
}

// ------------------------------------------------------------ checks

void RevPackDb::setActHwSwVers(const char* type, const char* sw, const char* special, const char* hw) {
  TextUtil::copyCut(_actTolType, type, HWSW_VER_SIZE);
  TextUtil::copyCut(_actSwVersion, sw, HWSW_VER_SIZE);
  TextUtil::copyCut(_actSpecial, special, HWSW_VER_SIZE);
  TextUtil::copyCut(_actHwVersion, hw, HWSW_VER_SIZE);
}

bool RevPackDb::typeRowAllows(const char* actType, const char* binType) {
  std::string act = actType, bin = binType;
  int n = nrEntries(HWSWLIST);
  for (int i = 0; i < n; ++i) {
    std::string key = getEntry(HWSWLIST, i);
    std::string row = getEntry(HWSWLIST, key.c_str());
    if (row.find("TL") == std::string::npos) continue;
    size_t sep = row.find(';');
    std::string actPat = row.substr(0, sep);
    std::string binPat = sep == std::string::npos ? "" : row.substr(sep + 1);
    bool match = true;
    for (size_t p = 2; p < bin.size() && match; ++p) {
      if (at(actPat, p) == '-')
        match = at(act, p) == at(bin, p);
      else
        match = at(act, p) == at(actPat, p) && at(bin, p) == at(binPat, p);
    }
    if (match) return true;
  }
  return false;
}

bool RevPackDb::binFileAllowed(const char* bin) {
  _autoProgKvnFile = false;
  std::string act = _actTolType;
  std::string binType = bin ? getEntry(bin, BIN_TYPE) : "none";
  bool allowed = false;
  if (!CHECK_HARDWARE) {
    allowed = true;
  } else if (act.empty() && ((_root && _root->upgrInitByTol()) || (Main::_refPackFile && *Main::_refPackFile))) {
    allowed = true;
  } else if (!bin || !_db) {
    allowed = false;
  } else {
    allowed = binType == act || typeRowAllows(act.c_str(), binType.c_str());
  }
  // Another network needs other settings: the pack's file goes in first.
  if (allowed && act.size() > 6 && binType.size() > 6) _autoProgKvnFile = act[6] != binType[6];
  return allowed;
}

bool RevPackDb::checkTypeSwHwVers(const char* bin) {
  if (!binFileAllowed(bin)) {
    std::string binType = bin ? getEntry(bin, BIN_TYPE) : "";
    std::string actName = customTolType(_actTolType);
    alert(TextUtil::format(TextUtil::trFormat(" Error!!, incompatible tolvan types actual:%s, in bin file:%s"),
                           actName.c_str(), customTolType(binType.c_str())));
    return false;
  }
  if (!CHECK_HARDWARE) return true;
  std::string version = getEntry(bin, BIN_VERSION);
  std::string hw = getEntry(bin, BIN_HWVERS);
  bool hasSpecial = entryExist(bin, BIN_SPECIAL);
  std::string special = getEntry(bin, BIN_SPECIAL);
  std::string dev = _actHwVersion;
  if (hw.empty() || dev.empty()) {
    alert(TextUtil::format(TextUtil::trFormat("Error !!, hardware versions not detected, binFile:%s tolvan:%s"),
                           hw.c_str(), dev.c_str()));
    return false;
  }
  if (at(hw, 0) < at(dev, 0) || at(hw, 2) != at(dev, 2) || at(hw, 3) != at(dev, 3)) {
    alert(TextUtil::format(TextUtil::trFormat("Error !!, incompatible hardware versions, binFile:%s tolvan:%s"),
                           hw.c_str(), dev.c_str()));
    return false;
  }
  std::string devSpecial = _actSpecial;
  int n = nrEntries(HWSWLIST);
  for (int i = 0; i < n; ++i) {
    std::string key = getEntry(HWSWLIST, i);
    std::string row = getEntry(HWSWLIST, key.c_str());
    if (row.find("TL") != std::string::npos) break;
    size_t sep = row.find(';');
    std::string sw = row.substr(0, sep);
    std::string hwPat = sep == std::string::npos ? "" : row.substr(sep + 1);
    auto same = [](char v, char p) { return p == '*' || v == p; };
    bool match = at(version, 3) == at(sw, 0) && same(at(version, 5), at(sw, 2)) && same(at(version, 6), at(sw, 3)) &&
                 at(dev, 0) == at(hwPat, 0) && same(at(dev, 2), at(hwPat, 2)) && same(at(dev, 3), at(hwPat, 3));
    if (match && !devSpecial.empty()) match = hasSpecial && special.compare(0, 3, devSpecial, 0, 3) == 0;
    if (match) return true;
  }
  alert(gettext("Error !!, not able to upgrade due restrictions or incompatibility.", 0));
  return false;
}

std::string RevPackDb::allowedHwList(const char* bin) {
  std::string out;
  if (!bin || !_db) return out;
  std::string version = getEntry(bin, BIN_VERSION);
  std::string from3 = version.size() > 3 ? version.substr(3) : "";
  std::vector<std::string> found;
  int n = nrEntries(HWSWLIST);
  for (int i = 1; i <= n; ++i) {
    std::string key = std::to_string(i);
    if (!entryExist(HWSWLIST, key.c_str())) continue;
    std::string row = getEntry(HWSWLIST, key.c_str());
    if (row.find("TL") != std::string::npos) continue;
    size_t sep = row.find(';');
    if (sep == std::string::npos) continue;
    std::string sw = row.substr(0, std::min(row.find('*'), std::min<size_t>(sep, 4)));
    if (from3.compare(0, sw.size(), sw) != 0) continue;
    std::string hw = row.substr(sep + 1, 4);
    if (std::find(found.begin(), found.end(), hw) == found.end()) found.push_back(hw);
  }
  for (const std::string& hw : found) out += " " + hw;
  return out;
}

void RevPackDb::fillAllowedHwList(const char* bin, RPallowHwList* list) {
  if (list) list->value(allowedHwList(bin).c_str());
}

// ------------------------------------------------------------ type names

void RevPackDb::loadTypeNames() {
  _typeNames.clear();
  FILE* f = fopen(ConfigInit::_file, "r");
  if (!f) return;
  char line[512];
  while (fgets(line, sizeof line, f)) {
    line[strcspn(line, "\r\n")] = '\0';
    char key[21] = "", value[80] = "";
    if (sscanf(line, "%20[^=]=%79[^\n]", key, value) != 2 || strcmp(key, "tolvantype") != 0) continue;
    const char* sep = strchr(value, ';');
    std::string type = sep ? std::string(value, sep - value) : std::string(value);
    std::string name = sep ? std::string(sep + 1) : std::string();
    if (type.empty()) continue;
    if (name.empty()) name = type;
    _typeNames.emplace_back(type.substr(0, ConfigInit::TolType::MAX_LEN), name.substr(0, ConfigInit::TolType::MAX_LEN));
  }
  fclose(f);
}

const char* RevPackDb::customTolType(const char* type) {
  if (!type) type = "";
  if (_root && _root->configInit()) return _root->configInit()->customTolType(type);
  if (_typeNames.empty()) loadTypeNames();
  for (const auto& p : _typeNames)
    if (p.first == type) return p.second.c_str();
  return type;
}

std::string RevPackDb::replaceQuorelByCustomType(const char* name) {
  if (_root && _root->configInit()) return _root->configInit()->replaceQuorelByCustomType(name);
  for (const auto& p : _typeNames)
    if (strncmp(name, p.first.c_str(), p.first.size()) == 0) return p.second + (name + p.first.size());
  return "";
}

// ------------------------------------------------------- identification

void RevPackDb::findTypeHw(const uint8_t* data, int size, std::string& type, std::string& hw) {
  type.clear();
  hw.clear();
  for (int i = 3; i + 6 <= size; ++i) {
    if (data[i] != 'T' || data[i + 1] != 'L' || data[i - 3] != '.') continue;
    if (!isdigit(data[i + 2]) || !isdigit(data[i + 3]) || !isdigit(data[i + 4]) || !isdigit(data[i + 5])) continue;
    type = text(data + i, std::min(11, size - i));
    int from = std::max(0, i - 4);
    hw = text(data + from, i - from);
    return;
  }
}

bool RevPackDb::findVersion(const uint8_t* data, int size, std::string& version, std::string& special) {
  version.clear();
  special.clear();
  static const char mark[] = "VERSION:";
  const int len = sizeof mark - 1;
  for (int i = 0; i + len <= size; ++i) {
    if (memcmp(data + i, mark, len) != 0) continue;
    int v = i + 9;
    if (v < size) version = text(data + v, std::min(7, size - v));
    int s = v + 7;
    if (s < size) special = text(data + s, std::min(6, size - s));
    return true;
  }
  return false;
}

const char* RevPackDb::getTolTypeFmBin(const char*& hw) {
  static char typeBuf[HWSW_VER_SIZE];
  static char hwBuf[HWSW_VER_SIZE];
  std::string type, h;
  findTypeHw(_activeBinData.data(), _nrBinBytes, type, h);
  TextUtil::copyCut(typeBuf, type.c_str(), sizeof typeBuf);
  TextUtil::copyCut(hwBuf, h.c_str(), sizeof hwBuf);
  hw = hwBuf;
  return typeBuf;
}

const char* RevPackDb::getSwVersionFmBin(const char*& special) {
  static char versionBuf[HWSW_VER_SIZE];
  static char specialBuf[HWSW_VER_SIZE];
  std::string version, s;
  bool found = findVersion(_activeBinData.data(), _nrBinBytes, version, s);
  TextUtil::copyCut(versionBuf, version.c_str(), sizeof versionBuf);
  TextUtil::copyCut(specialBuf, s.c_str(), sizeof specialBuf);
  special = found ? specialBuf : nullptr;
  return versionBuf;
}
