#include "RevPackDb.h"

#include <FL/Fl_Preferences.H>
#include <FL/Fl.H>
#include <FL/filename.H>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "BDiag.h"
#include "ConfigInit.h"
#include "Language.h"
#include "Main.h"
#include "RPallowHwList.h"
#include "SafeFileWriter.h"
#include "UserDialog.h"
#include "kestrum/progctrl/States/TlctrlRoot.h"

namespace fs = std::filesystem;

namespace {
char g_empty[3][1] = {{'\0'}, {'\0'}, {'\0'}};

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
  char buf[4096];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

// The conversions of a printf format, in order ("%x%s" -> "xs").
std::string conversions(const char* fmt) {
  std::string c;
  for (const char* p = fmt; *p; ++p) {
    if (*p != '%') continue;
    ++p;
    while (*p && strchr("-+ #0123456789.lh", *p)) ++p;
    if (!*p) break;
    c += *p;
  }
  return c;
}

// The translated format, or the original when the translation does not take
// the same arguments (a language table is data, never trusted as a format).
const char* trFormat(const char* fmt) {
  const char* t = gettext(fmt, 0);
  return conversions(t) == conversions(fmt) ? t : fmt;
}

char at(const std::string& s, size_t i) { return i < s.size() ? s[i] : '\0'; }

void copyCut(char* dst, const char* src, size_t size) {
  if (!src) src = "";
  size_t n = strnlen(src, size - 1);
  memcpy(dst, src, n);
  dst[n] = '\0';
}

bool endsWith(const std::string& s, const char* tail) {
  size_t n = strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

bool hasPackExt(const std::string& s) { return endsWith(s, ".rpa") || endsWith(s, ".RPA"); }

bool isBlank(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' '; });
}

// Stored bytes become texts; a NUL ends them.
std::string text(const uint8_t* p, int n) {
  std::string s;
  for (int i = 0; i < n && p[i]; ++i) s += static_cast<char>(p[i]);
  return s;
}

// Up to max bytes of a file; false when it cannot be read.
bool readBytes(const std::string& path, size_t max, std::vector<uint8_t>& out, uintmax_t& fileSize) {
  out.clear();
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  fileSize = fs::file_size(path, ec);
  if (ec) return false;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  out.resize(std::min<uintmax_t>(fileSize, max));
  size_t n = out.empty() ? 0 : fread(out.data(), 1, out.size(), f);
  out.resize(n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

void trace(const std::string& text) { BDiag::print(text); }

// The plain files of a directory in numeric-aware name order.
std::vector<std::string> listDir(const std::string& dir) {
  std::vector<std::string> names;
  dirent** list = nullptr;
  int n = fl_filename_list(dir.c_str(), &list, fl_numericsort);
  for (int i = 0; i < n; ++i) {
    std::string name = list[i]->d_name;
    std::error_code ec;
    // Only plain files count; a directory or device with a fitting name does not.
    if (name == "." || name == ".." || name.empty() || name.back() == '/' ||
        !fs::is_regular_file(dir + "/" + name, ec))
      continue;
    names.push_back(name);
  }
  if (list) fl_filename_free_list(&list, n);
  return names;
}
}  // namespace

// Command-line switches.
bool RevPackDb::CHECK_SPECIAL = true;
bool RevPackDb::CHECK_HARDWARE = true;
bool RevPackDb::CMDL_CREATE_REVPACK = false;
bool RevPackDb::CMDL_UPGRADE = false;
bool RevPackDb::CMDL_ALLOW_NOBACKUP = false;
char* RevPackDb::CMDL_BINDIR = g_empty[0];
char* RevPackDb::CMDL_REVPACK = g_empty[1];
char* RevPackDb::CMDL_BINFILE = g_empty[2];

uint16_t RevPackDb::START_ADDRESS = RevPackDb::START_ADDRESS_48;

const char* RevPackDb::APPLICATION = "RevPacks";
const char* RevPackDb::GENERAL = "General";
const char* RevPackDb::DB_VERSION = "version";
const char* RevPackDb::TYPELIST_OLD = "TolvanTypeList";
const char* RevPackDb::TYPELIST_NEW = "TolvanTypeList_2";
const char* RevPackDb::BINLIST_OLD = "BinFileList";
const char* RevPackDb::BINLIST_NEW = "BinFileList_2";
const char* RevPackDb::HWSWLIST = "HwSwRestrictionList";
const char* RevPackDb::SWHWRESTR = "SwHwRestrictions";
const char* RevPackDb::BIN_SIZE = "size";
const char* RevPackDb::BIN_TYPE = "type";
const char* RevPackDb::BIN_VERSION = "version";
const char* RevPackDb::BIN_HWVERS = "hardware";
const char* RevPackDb::BIN_SPECIAL = "special";
const char* RevPackDb::BIN_DATA = "data";
const char* RevPackDb::KVN_FILE = "kvnfile";
const char* RevPackDb::KVN_SIZE = "kvnsize";
const char* RevPackDb::KVN_DATA = "kvndata";
const char* RevPackDb::BOOT_LOAD_NAME = "BOOT_LOAD";
const char* RevPackDb::KVN_PRE_UPDATE = "kvn_pre_update.kvn";
const char* RevPackDb::TEMP_PACK = "temp";

const RevPackDb::HwSwRestr RevPackDb::_hwSwRestr[NR_DEFAULT_RESTR] = {
    {"4.**", "B.**"}, {"4.**", "D.**"}, {"4.**", "C.**"}, {"5.**", "F.**"},
    {"5.**", "G.**"}, {"6.**", "H.**"}, {"TL---------", "TL---------"}};

char RevPackDb::_actTolType[HWSW_VER_SIZE] = "";
char RevPackDb::_actSwVersion[HWSW_VER_SIZE] = "";
char RevPackDb::_actSpecial[HWSW_VER_SIZE] = "";
char RevPackDb::_actHwVersion[HWSW_VER_SIZE] = "";
char RevPackDb::_actKvnFile[PATH_LEN] = "";
int RevPackDb::_bootPauseMs = 2000;

RevPackDb::RevPackDb(TlctrlRoot* root)
    : _root(root),
      _db(nullptr),
      _gen(nullptr),
      _typeList(nullptr),
      _binList(nullptr),
      _hwSwList(nullptr),
      _typeListName(TYPELIST_NEW),
      _binListName(BINLIST_NEW),
      _exist(false),
      _rpSelected(false),
      _binFileSelected(false),
      _autoProgKvnFile(false),
      _bootIx(0),
      _bootSize(0),
      _bootData(MAX_BOOT_SIZE, 0xFF),
      _createRpActive(false),
      _nrBinBytes(0),
      _activeBinData(MAX_BINFILE_SIZE, 0xFF),
      _nrKvnBytes(0),
      _activeKvnData(MAX_BINFILE_SIZE, 0xFF) {
  _absPath[0] = '\0';
  _setBtlHwVersion[0] = '\0';
  setRpaFiles();
}

RevPackDb::~RevPackDb() { closeDb(); }

// ---------------------------------------------------------------- user texts

void RevPackDb::alert(const std::string& text) {
  // Building a pack from the command line has no display to show a dialog.
  if (CMDL_CREATE_REVPACK && !UserDialog::script()) {
    trace(text);
    fprintf(stderr, "%s\n", text.c_str());
    return;
  }
  UserDialog::alert(text.c_str());
}

void RevPackDb::beep() {
  if (CMDL_CREATE_REVPACK && !UserDialog::script()) return;
  UserDialog::beep();
}

void RevPackDb::statusInfo(const std::string& text, bool alarm) {
  if (_root)
    _root->frmStatusInfo(text.c_str(), alarm);
  else
    trace("Status Info: " + text);
}

// ------------------------------------------------------------------ listing

const char* RevPackDb::rpaFile(int i) const {
  return i >= 0 && i < nrRpaFiles() ? _rpaFiles[i].c_str() : "";
}

const char* RevPackDb::actBinFile(int i) const {
  return i >= 0 && i < actNrBinFiles() ? _actBinFiles[i].c_str() : "";
}

void RevPackDb::setRpaFiles() {
  _rpaFiles.clear();
  _exist = false;
  std::error_code ec;
  if (!fs::is_directory(APPLICATION, ec)) return;
  std::vector<std::string> names = listDir(APPLICATION);
  for (const std::string& name : names) {
    if (name == "." || name == ".." || !hasPackExt(name)) continue;
    _exist = true;
    std::string path = std::string(APPLICATION) + "/" + name;
    FILE* f = fopen(path.c_str(), "r");
    if (!f) continue;
    fclose(f);
    if (name.size() == 4) {
      // A pack with no name is left over from a failed creation.
      trace(format("rm %s", path.c_str()));
      std::remove(path.c_str());
      continue;
    }
    if (nrRpaFiles() < MAX_NR_FILES) _rpaFiles.push_back(name.substr(0, PATH_LEN - 1));
  }
}

// ------------------------------------------------------------ open a pack

void RevPackDb::closeDb() {
  // The groups share the root's data: they go first.
  delete _gen;
  delete _typeList;
  delete _binList;
  delete _hwSwList;
  _gen = _typeList = _binList = _hwSwList = nullptr;
  _db = nullptr;
  _store.close();
  _dbPath.clear();
}

bool RevPackDb::selectDb(const char* name, const char* path) {
  closeDb();
  std::string base = name ? name : "";
  std::string given = base;
  if (hasPackExt(base)) base.resize(base.size() - 4);
  std::string dir = path ? path : APPLICATION;
  std::string file = dir + "/" + base + ".rpa";
  std::error_code ec;
  if (!fs::exists(file, ec) && endsWith(given, ".RPA")) file = dir + "/" + given;
  if (!_store.openCopy(file.c_str(), APPLICATION, base.c_str())) {
    B_EXCEPTION("Revpack " << file << " not usable: " << _store.error());
    return false;
  }
  _db = _store.prefs();
  _dbPath = file;
  _gen = new Fl_Preferences(*_db, GENERAL);
  setTypeBinList();
  _typeList = new Fl_Preferences(*_db, _typeListName);
  _binList = new Fl_Preferences(*_db, _binListName);
  _hwSwList = new Fl_Preferences(*_db, HWSWLIST);
  return true;
}

void RevPackDb::setTypeBinList() {
  bool isNew = _gen && _gen->entryExists(DB_VERSION);
  _typeListName = isNew ? TYPELIST_NEW : TYPELIST_OLD;
  _binListName = isNew ? BINLIST_NEW : BINLIST_OLD;
}

bool RevPackDb::selectRpFile(const char* rpFile) {
  std::string name = rpFile ? rpFile : "";
  _rpSelected = true;
  _actRpFile = name.substr(0, PATH_LEN - 1);
  _actBinFiles.clear();
  _bootFiles.clear();
  _binFileSelected = false;
  _actBinFile.clear();
  if (!selectDb(name.c_str(), nullptr)) {
    _rpSelected = false;
    alert(format(trFormat("Revpack %s can not be read: %s"), name.c_str(), _store.error().c_str()));
    return false;
  }
  setTypeBinList();
  int n = _binList->entries();
  for (int i = 0; i < n && actNrBinFiles() < MAX_NR_FILES; ++i) {
    const char* key = _binList->entry(i);
    if (!key || !*key) continue;
    _actBinFiles.push_back(std::string(key).substr(0, PATH_LEN - 1));
    if (strstr(key, BOOT_LOAD_NAME) && _bootFiles.size() < static_cast<size_t>(MAX_BOOTFILES))
      _bootFiles.push_back(key);
  }
  setBootData(nullptr);
  if (_root) _root->lastRevpackFile(_actRpFile.c_str());
  return true;
}

// ------------------------------------------------------------- load a bin

const char* RevPackDb::setBinData(const char* bin) {
  _nrBinBytes = 0;
  std::fill(_activeBinData.begin(), _activeBinData.end(), 0xFF);
  _actKvnFile[0] = '\0';
  _bootIx = 0;
  _binFileSelected = false;
  if (!bin || !_db || !safeGroupName(bin)) return "";
  int size = 0;
  getEntry(bin, BIN_SIZE, size);
  int stored = entryBytes(bin, BIN_DATA);
  if (size < 0 || size > MAX_BINFILE_SIZE || stored != size) {
    alert(format(trFormat("Revpack %s: bin file %s is damaged (size %d, data %d)"), _actRpFile.c_str(), bin,
                 size, stored));
    return "";
  }
  getEntry(bin, BIN_DATA, _activeBinData.data(), size);
  std::fill(_activeBinData.begin() + size, _activeBinData.end(), 0xFF);
  _nrBinBytes = size;
  _binFileSelected = true;
  _actBinFile = bin;

  bool kvnWritten = false;
  if (entryExist(bin, KVN_FILE)) {
    int kvnSize = 0;
    getEntry(bin, KVN_SIZE, kvnSize);
    int kvnStored = entryBytes(bin, KVN_DATA);
    if (kvnSize < 0 || kvnSize > MAX_BINFILE_SIZE || kvnStored != kvnSize) {
      alert(format(trFormat("Revpack %s: settings file of %s is damaged"), _actRpFile.c_str(), bin));
    } else {
      _nrKvnBytes = kvnSize;
      getEntry(bin, KVN_DATA, _activeKvnData.data(), kvnSize);
      SafeFileWriter writer(KVN_PRE_UPDATE);
      FILE* f = writer.open();
      if (f) {
        // Of two CRs in a row one goes: the file carries DOS line ends that a
        // text-mode write doubled.
        bool lastCrKept = false;
        for (int i = 0; i < kvnSize; ++i) {
          uint8_t c = _activeKvnData[i];
          if (c == '\r' && lastCrKept) {
            lastCrKept = false;
            continue;
          }
          lastCrKept = c == '\r';
          fputc(c, f);
        }
        kvnWritten = writer.commit();
      }
      if (kvnWritten)
        copyCut(_actKvnFile, KVN_PRE_UPDATE, PATH_LEN);
      else
        writer.reportFailure();
    }
  }
  if (_root) _root->lastBinFile(bin);
  // A settings file is programmed first only when this bin brought one.
  return _autoProgKvnFile && kvnWritten ? _actKvnFile : "";
}

// ------------------------------------------------------------ boot loader

int RevPackDb::processorVersion(const char* hw) {
  // "H.49": the digits after the letter and the dot.
  if (!hw || strlen(hw) < 3) return 0;
  return atoi(hw + 2);
}

bool RevPackDb::setBootData(const char* hwVersion) {
  if (_bootFiles.empty()) {
    beep();
    statusInfo(format(trFormat("Error!! No 2nd stage boot loader in Revpack %s."), _actRpFile.c_str()), true);
    return false;
  }
  // A device waiting in its boot loader has not told its processor yet:
  // any loader of the pack may go first, the boot information it reports
  // then calls for the right one.
  bool known = (hwVersion && *hwVersion) || processorVersion(_actHwVersion) > 0;
  int proc = hwVersion && *hwVersion ? atoi(hwVersion) : processorVersion(_actHwVersion);
  // What the status names: the device's hardware, else the code asked for.
  std::string hwText = _actHwVersion[0] ? _actHwVersion : (hwVersion && *hwVersion ? hwVersion : "");
  if (hwText.empty()) hwText = gettext("onbekend", 0);
  int chosen = -1;
  for (size_t i = 0; i < _bootFiles.size() && chosen < 0; ++i) {
    int hw = 0;
    getEntry(_bootFiles[i].c_str(), BIN_HWVERS, hw);
    if ((proc >= PROCESSOR_VERSION_49) == (hw == PROCESSOR_VERSION_49)) chosen = static_cast<int>(i);
  }
  if (chosen < 0 && !known) chosen = 0;
  if (chosen < 0) {
    // Told in the status line; the window stays responsive.
    beep();
    statusInfo(format(trFormat("Invalid Revpack:%s. No 2nd boot for HW version: %s"), _actRpFile.c_str(),
                      hwText.c_str()),
               true);
    return false;
  }
  const char* boot = _bootFiles[chosen].c_str();
  _bootIx = static_cast<uint8_t>(chosen);
  statusInfo(format(trFormat("Correct Revpack:%s. With 2nd boot for HW version: %s"), _actRpFile.c_str(),
                    hwText.c_str()),
             false);
  int size = 0;
  getEntry(boot, BIN_SIZE, size);
  if (size >= MAX_BOOT_SIZE) {
    alert(format(trFormat("%s too big"), boot));
    return false;
  }
  if (size < 0 || entryBytes(boot, BIN_DATA) != size) {
    alert(format(trFormat("Revpack %s: bin file %s is damaged (size %d, data %d)"), _actRpFile.c_str(), boot,
                 size, entryBytes(boot, BIN_DATA)));
    return false;
  }
  std::fill(_bootData.begin(), _bootData.end(), 0xFF);
  getEntry(boot, BIN_DATA, _bootData.data(), size);
  std::fill(_bootData.begin() + size, _bootData.end(), 0xFF);
  _bootSize = size;
  copyCut(_setBtlHwVersion, getEntry(boot, BIN_HWVERS).c_str(), HWSW_VER_SIZE);
  return true;
}

bool RevPackDb::checkBtlHwVersion() const {
  bool dev49 = processorVersion(_actHwVersion) >= PROCESSOR_VERSION_49;
  bool btl49 = atoi(_setBtlHwVersion) >= PROCESSOR_VERSION_49;
  return dev49 == btl49;
}

const char* RevPackDb::getHwFmBootName(const char* name) {
  // "..BOOT_LOAD_B00.bin" -> "B00" -> 0 -> "00"
  const char* p = name ? strstr(name, BOOT_LOAD_NAME) : nullptr;
  if (!p) return "00";
  p += strlen(BOOT_LOAD_NAME);
  if (*p) ++p;
  std::string code(p, strcspn(p, "."));
  int nr = code.size() > 1 ? atoi(code.c_str() + 1) : 0;
  return nr < PROCESSOR_VERSION_49 ? "00" : "49";
}

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
    alert(format(trFormat("Invalid Checksum (calc=%x) in %s. Upgrade NOT possible"), calc, name.c_str()));
  return ok;
}

// ------------------------------------------------------------ checks

void RevPackDb::setActHwSwVers(const char* type, const char* sw, const char* special, const char* hw) {
  copyCut(_actTolType, type, HWSW_VER_SIZE);
  copyCut(_actSwVersion, sw, HWSW_VER_SIZE);
  copyCut(_actSpecial, special, HWSW_VER_SIZE);
  copyCut(_actHwVersion, hw, HWSW_VER_SIZE);
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
    alert(format(trFormat(" Error!!, incompatible tolvan types actual:%s, in bin file:%s"), actName.c_str(),
                 customTolType(binType.c_str())));
    return false;
  }
  if (!CHECK_HARDWARE) return true;
  std::string version = getEntry(bin, BIN_VERSION);
  std::string hw = getEntry(bin, BIN_HWVERS);
  bool hasSpecial = entryExist(bin, BIN_SPECIAL);
  std::string special = getEntry(bin, BIN_SPECIAL);
  std::string dev = _actHwVersion;
  if (hw.empty() || dev.empty()) {
    alert(format(trFormat("Error !!, hardware versions not detected, binFile:%s tolvan:%s"), hw.c_str(),
                 dev.c_str()));
    return false;
  }
  if (at(hw, 0) < at(dev, 0) || at(hw, 2) != at(dev, 2) || at(hw, 3) != at(dev, 3)) {
    alert(format(trFormat("Error !!, incompatible hardware versions, binFile:%s tolvan:%s"), hw.c_str(),
                 dev.c_str()));
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
    bool match = at(version, 3) == at(sw, 0) && same(at(version, 5), at(sw, 2)) &&
                 same(at(version, 6), at(sw, 3)) && at(dev, 0) == at(hwPat, 0) &&
                 same(at(dev, 2), at(hwPat, 2)) && same(at(dev, 3), at(hwPat, 3));
    if (match && !devSpecial.empty())
      match = hasSpecial && special.compare(0, 3, devSpecial, 0, 3) == 0;
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
    _typeNames.emplace_back(type.substr(0, ConfigInit::TolType::MAX_LEN),
                            name.substr(0, ConfigInit::TolType::MAX_LEN));
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
    if (!isdigit(data[i + 2]) || !isdigit(data[i + 3]) || !isdigit(data[i + 4]) || !isdigit(data[i + 5]))
      continue;
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
  copyCut(typeBuf, type.c_str(), sizeof typeBuf);
  copyCut(hwBuf, h.c_str(), sizeof hwBuf);
  hw = hwBuf;
  return typeBuf;
}

const char* RevPackDb::getSwVersionFmBin(const char*& special) {
  static char versionBuf[HWSW_VER_SIZE];
  static char specialBuf[HWSW_VER_SIZE];
  std::string version, s;
  bool found = findVersion(_activeBinData.data(), _nrBinBytes, version, s);
  copyCut(versionBuf, version.c_str(), sizeof versionBuf);
  copyCut(specialBuf, s.c_str(), sizeof specialBuf);
  special = found ? specialBuf : nullptr;
  return versionBuf;
}

// ---------------------------------------------------------------- creation

bool RevPackDb::safeGroupName(const char* name) {
  // "[./name]" lines and "name:value" lines must read back as written.
  // The group's path "./name" must fit the toolkit's path buffer.
  if (!name || !*name || strlen(name) > static_cast<size_t>(RevPackPrefs::MAX_GROUP_PATH - 2)) return false;
  if (strchr("+.;[", name[0])) return false;
  for (const char* p = name; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 32 || c == 0x7f || strchr("/\\[]:", c)) return false;
  }
  return true;
}

bool RevPackDb::setSwHwRestrictions() {
  std::string source = format("%s/%s.%s", APPLICATION, SWHWRESTR, "txt");
  std::string scratch = format("%s.%s", SWHWRESTR, "rst");
  std::error_code ec;
  fs::remove(scratch, ec);
  if (fs::is_regular_file(source, ec)) {
    // Comment lines are the user's; the toolkit would keep them as entries.
    FILE* in = fopen(source.c_str(), "r");
    FILE* out = in ? fopen(scratch.c_str(), "w+") : nullptr;
    if (in && out) {
      char line[RESTR_LINE_LEN];
      int lineNr = 0;
      bool atStart = true, skip = false;
      while (fgets(line, sizeof line, in)) {
        if (atStart) {
          ++lineNr;
          skip = lineNr > 3 && line[0] == ';';
        }
        if (!skip) fputs(line, out);
        atStart = strchr(line, '\n') != nullptr;
      }
    }
    if (out) fclose(out);
    if (in) fclose(in);
  }
  RevPackPrefs rst;
  bool opened = fs::exists(scratch, ec) ? rst.openCopy(scratch.c_str(), APPLICATION, SWHWRESTR)
                                        : rst.create(".", APPLICATION, SWHWRESTR);
  if (!opened) {
    fs::remove(scratch, ec);
    alert(format(trFormat("Restriction file %s can not be used: %s"), source.c_str(), rst.error().c_str()));
    return false;
  }
  {
    Fl_Preferences grp(*rst.prefs(), SWHWRESTR);
    if (grp.entries() == 0) {
      for (int i = 0; i < NR_DEFAULT_RESTR; ++i)
        grp.set(std::to_string(i + 1).c_str(), format("%s;%s", _hwSwRestr[i].sw, _hwSwRestr[i].hw).c_str());
      rst.prefs()->flush();
    }
    Fl_Preferences list(*_db, HWSWLIST);
    for (int i = 0; i < grp.entries(); ++i) {
      const char* key = grp.entry(i);
      char value[MAX_TXT_LEN + 1];
      grp.get(key, value, "", sizeof value);
      list.set(key, value);
    }
  }
  std::string target = format("%s/%s.%s", APPLICATION, SWHWRESTR, "rst");
  trace(format("mv %s.%s %s", SWHWRESTR, "rst", APPLICATION));
  if (!rst.commit(target.c_str())) B_EXCEPTION("Cannot keep " << target << ": " << rst.error());
  fs::remove(scratch, ec);
  trace(format("rmdir /Q /S %s", SWHWRESTR));
  return true;
}

bool RevPackDb::writeDefaultRestrictions(const char* path) {
  std::error_code ec;
  fs::path dir = fs::path(path).parent_path();
  if (!dir.empty()) fs::create_directories(dir, ec);
  SafeFileWriter writer(path);
  FILE* f = writer.open();
  if (!f) return false;
  // The first three lines belong to the file format; after them a line that
  // starts with ";" is a comment and never reaches a pack.
  fprintf(f,
          "; FLTK preferences file format 1.0\n"
          "; vendor: %s\n"
          "; application: %s\n"
          "; Restrictions copied into every revision pack built from now on.\n"
          "; A row is <number>:<pattern>;<pattern>, numbered from 1 without gaps.\n"
          "; Version rows: software;hardware, 4 characters each, \"*\" matches any\n"
          ";   character: 6.**;H.** lets software 6.x go on hardware H, any processor.\n"
          "; Type rows (holding \"TL\"): actual type;type in the bin file, where \"-\"\n"
          ";   means the same character in both: TL----G----;TL----I---- lets a\n"
          ";   GSM device become the same device with the I network.\n"
          "; Rows are tried in their order; the first that matches decides.\n"
          "\n[.]\n\n[./%s]\n\n",
          APPLICATION, SWHWRESTR, SWHWRESTR);
  for (int i = 0; i < NR_DEFAULT_RESTR; ++i) fprintf(f, "%d:%s;%s\n", i + 1, _hwSwRestr[i].sw, _hwSwRestr[i].hw);
  bool ok = writer.commit();
  if (!ok) writer.reportFailure();
  return ok;
}

std::string RevPackDb::retrNewRevPackName() const {
  std::string name = "TL";
  for (const std::string& v : _newVersions)
    for (char c : v)
      if (c != 'T' && c != 'L') name += c;
  for (const std::string& s : _newSpecials) {
    name += "_";
    for (char c : s)
      if (c != ' ') name += c;
  }
  // The name becomes a file name in "RevPacks" and carries the checksum
  // after it: bytes of an image must not reach outside either.
  for (char& c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u == 0x7f || strchr("/\\[]", c)) c = '_';
  }
  if (name.size() > static_cast<size_t>(MAX_PACKNAME_LEN)) name.resize(MAX_PACKNAME_LEN);
  return name;
}

bool RevPackDb::addBinGroup(const std::string& dir, const std::string& file, bool boot, const std::string& kvn) {
  std::string grpName = boot ? file : replaceQuorelByCustomType(file.c_str());
  if (grpName.empty()) {
    trace("No customer type for " + file + ": left out");
    _leftOut.emplace_back(file, gettext("geen klantnaam voor het type", 0));
    return false;
  }
  if (!safeGroupName(grpName.c_str())) {
    B_EXCEPTION("Bin file name not usable in a revpack: " << grpName);
    _leftOut.emplace_back(file, gettext("naam niet bruikbaar in een revpack", 0));
    return false;
  }
  std::vector<uint8_t> bytes;
  uintmax_t fileSize = 0;
  const size_t cap = START_ADDRESS_48 + MAX_DATA_SIZE + 1;
  if (!readBytes(dir + file, cap, bytes, fileSize)) {
    B_EXCEPTION("Cannot read " << dir << file);
    _leftOut.emplace_back(file, gettext("niet leesbaar", 0));
    return false;
  }
  std::string type, hw;
  findTypeHw(bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), MAX_DATA_SIZE)), type, hw);
  long start = 0, size = 0;
  if (boot) {
    size = BOOT_END_ADDR;
  } else {
    START_ADDRESS = processorVersion(hw.c_str()) < PROCESSOR_VERSION_49 ? START_ADDRESS_48 : START_ADDRESS_49;
    start = START_ADDRESS;
    size = static_cast<long>(fileSize) - start;
  }
  if (size < 0 || size > MAX_DATA_SIZE) {
    B_EXCEPTION("Error Binfile too big " << file);
    _leftOut.emplace_back(file, gettext("te groot", 0));
    return false;
  }
  std::vector<uint8_t> data(static_cast<size_t>(size), 0xFF);
  for (long i = 0; i < size && start + i < static_cast<long>(bytes.size()); ++i) data[i] = bytes[start + i];

  std::vector<uint8_t> kvnBytes;
  uintmax_t kvnSize = 0;
  bool haveKvn = !kvn.empty() && readBytes(dir + kvn, MAX_DATA_SIZE, kvnBytes, kvnSize);

  _binList->set(grpName.c_str(), grpName.c_str());
  if (!type.empty() && safeGroupName(type.c_str())) _typeList->set(type.c_str(), type.c_str());
  std::string version, special;
  bool hasVersion = findVersion(bytes.data(), static_cast<int>(bytes.size()), version, special);

  Fl_Preferences grp(*_db, grpName.c_str());
  grp.set(BIN_SIZE, static_cast<int>(size));
  if (boot) {
    grp.set(BIN_HWVERS, getHwFmBootName(file.c_str()));
  } else {
    grp.set(BIN_TYPE, type.c_str());
    grp.set(BIN_VERSION, version.c_str());
    grp.set(BIN_HWVERS, hw.c_str());
    if (hasVersion) grp.set(BIN_SPECIAL, special.c_str());
    if (!version.empty() && std::find(_newVersions.begin(), _newVersions.end(), version) == _newVersions.end())
      _newVersions.push_back(version);
    if (hasVersion && !isBlank(special) &&
        std::find(_newSpecials.begin(), _newSpecials.end(), special) == _newSpecials.end())
      _newSpecials.push_back(special);
  }
  grp.set(BIN_DATA, data.data(), static_cast<int>(data.size()));
  if (haveKvn && !boot) {
    grp.set(KVN_FILE, kvn.c_str());
    grp.set(KVN_SIZE, static_cast<int>(kvnBytes.size()));
    grp.set(KVN_DATA, kvnBytes.data(), static_cast<int>(kvnBytes.size()));
  }
  return true;
}

bool RevPackDb::createDb(const char* binDir) {
  _createError.clear();
  closeDb();
  _rpSelected = false;
  _binFileSelected = false;
  _actBinFiles.clear();
  _bootFiles.clear();
  _newVersions.clear();
  _newSpecials.clear();
  _leftOut.clear();
  _createReport.clear();
  loadTypeNames();
  std::error_code ec;
  trace(format("mkdir %s", APPLICATION));
  fs::create_directory(APPLICATION, ec);
  std::string scratch = format("%s.rpa", TEMP_PACK);
  if (fs::exists(scratch, ec)) {
    trace(format("rm %s", scratch.c_str()));
    fs::remove(scratch, ec);
  }

  char abs[PATH_LEN];
  fl_filename_absolute(abs, sizeof abs, binDir && *binDir ? binDir : ".");
  _binDirPath = abs;
  if (_binDirPath.empty() || _binDirPath.back() != '/') _binDirPath += "/";
  copyCut(_absPath, _binDirPath.c_str(), PATH_LEN);
  if (!fs::is_directory(_binDirPath, ec)) {
    B_EXCEPTION("_binDirPath=" << _binDirPath << " does NOT Exist!");
    printf("_binDirPath=%s does NOT Exist!\n", _binDirPath.c_str());
    _createError = "bin directory " + _binDirPath + " does not exist";
    return createFailed(format(trFormat("Map %s bestaat niet"), _binDirPath.c_str()));
  }

  struct Bin {
    std::string name, kvn;
    bool boot;
  };
  std::vector<Bin> bins;
  std::vector<std::string> names = listDir(_binDirPath);
  auto isBin = [](const std::string& n) {
    const char* ext = fl_filename_ext(n.c_str());
    return strcmp(ext, ".bin") == 0 || strcmp(ext, ".BIN") == 0;
  };
  for (const std::string& name : names) {
    if (isBin(name)) continue;
    // A settings file that goes with a bin is part of the pack.
    std::string stem = name.substr(0, name.size() - strlen(fl_filename_ext(name.c_str())));
    bool companion = strcmp(fl_filename_ext(name.c_str()), ".kvn") == 0 &&
                     std::any_of(names.begin(), names.end(), [&](const std::string& n) {
                       if (!isBin(n)) return false;
                       std::string b = n.substr(0, n.size() - 4), lower = b;
                       for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
                       return b == stem || lower == stem;
                     });
    if (!companion && !fs::is_directory(_binDirPath + name, ec))
      _leftOut.emplace_back(name, gettext("geen bin bestand", 0));
  }
  for (const std::string& name : names) {
    if (!isBin(name)) continue;
    if (bins.size() >= static_cast<size_t>(MAX_NR_FILES)) {
      _leftOut.emplace_back(name, gettext("te veel bin bestanden", 0));
      continue;
    }
    _exist = true;
    Bin b{name, "", strstr(name.c_str(), BOOT_LOAD_NAME) != nullptr};
    std::string stem = name.substr(0, name.size() - 4);
    std::string lower = stem;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (fs::is_regular_file(_binDirPath + stem + ".kvn", ec))
      b.kvn = stem + ".kvn";
    else if (fs::is_regular_file(_binDirPath + lower + ".kvn", ec))
      b.kvn = lower + ".kvn";
    bins.push_back(b);
  }
  if (bins.empty()) {
    B_EXCEPTION("No bin files in " << _binDirPath);
    _createError = "no bin files in " + _binDirPath;
    return createFailed(format(trFormat("Geen bin bestanden in %s"), _binDirPath.c_str()));
  }

  _createRpActive = true;
  if (!_store.create(".", APPLICATION, TEMP_PACK)) {
    B_EXCEPTION("Cannot build a revpack: " << _store.error());
    _createError = "cannot build a revpack: " + _store.error();
    _createRpActive = false;
    return createFailed(_store.error());
  }
  _db = _store.prefs();
  _typeListName = TYPELIST_NEW;
  _binListName = BINLIST_NEW;
  _gen = new Fl_Preferences(*_db, GENERAL);
  _hwSwList = new Fl_Preferences(*_db, HWSWLIST);
  _binList = new Fl_Preferences(*_db, _binListName);
  _typeList = new Fl_Preferences(*_db, _typeListName);
  if (!setSwHwRestrictions()) {
    closeDb();
    _createRpActive = false;
    _createError = "the hardware/software restrictions could not be prepared";
    return createFailed(gettext("het restrictie bestand is niet bruikbaar", 0));
  }
  _gen->set(DB_VERSION, DB_VERSION_NR);
  int added = 0, applications = 0;
  for (const Bin& b : bins) {
    if (!addBinGroup(_binDirPath, b.name, b.boot, b.kvn)) continue;
    ++added;
    if (!b.boot) ++applications;
  }
  if (applications == 0) {
    // Only boot loaders, or every application left out: such a pack can
    // upgrade nothing, so none is made.
    B_EXCEPTION("No application bin file usable in " << _binDirPath);
    closeDb();
    _createRpActive = false;
    fs::remove(scratch, ec);
    _createError = "no application bin file in " + _binDirPath +
                   " could go into the pack (only boot loaders, or no customer name for their device types)";
    return createFailed(gettext("geen applicatie bin bestand bruikbaar", 0));
  }

  std::string packName = retrNewRevPackName();
  delete _gen;
  delete _typeList;
  delete _binList;
  delete _hwSwList;
  _gen = _typeList = _binList = _hwSwList = nullptr;
  _db = nullptr;
  bool ok = _store.commit(scratch.c_str());
  _createRpActive = false;
  if (!ok) {
    B_EXCEPTION("Cannot write " << scratch << ": " << _store.error());
    _createError = "cannot write " + scratch + ": " + _store.error();
    return createFailed(_store.error());
  }
  // The toolkit does not report a failed write (a full disk, a size limit):
  // read the result back before it gets a valid name.
  if (!verifyPack(scratch, added)) {
    B_EXCEPTION("Revpack " << scratch << " was not written completely");
    fs::remove(scratch, ec);
    _createError = "revpack " + scratch + " was not written completely";
    return createFailed(gettext("de revpack is niet volledig geschreven", 0));
  }
  uint16_t sum = readCheckSum(scratch.c_str());
  std::string target = format("%s/%s[%04x].rpa", APPLICATION, packName.c_str(), sum);
  trace(format("mv %s %s", scratch.c_str(), target.c_str()));
  std::string why;
  if (!RevPackPrefs::moveFile(scratch.c_str(), target.c_str(), why)) {
    B_EXCEPTION(why);
    _createError = why;
    return createFailed(why);
  }
  trace(format("Revpack %s made with %d bin files", target.c_str(), added));
  ok = checkCheckSum(target.c_str(), true);
  if (!ok) {
    alert(gettext("Create Db Invalid Checksum", 0));
    _createError = "the checksum of " + target + " does not match";
  }
  setRpaFiles();
  _createReport = format(trFormat("RevPack gemaakt: %s"), fs::path(target).filename().string().c_str());
  for (const auto& l : _leftOut)
    _createReport += "\n" + format(trFormat("Niet opgenomen: %s (%s)"), l.first.c_str(), l.second.c_str());
  trace(_createReport);
  return ok;
}

bool RevPackDb::createFailed(const std::string& why) {
  _createReport = format(trFormat("Geen RevPack gemaakt: %s"), why.c_str());
  for (const auto& l : _leftOut)
    _createReport += "\n" + format(trFormat("Niet opgenomen: %s (%s)"), l.first.c_str(), l.second.c_str());
  trace(_createReport);
  return false;
}

bool RevPackDb::verifyPack(const std::string& file, int nrBins) {
  bool ok = selectDb(file.c_str(), ".");
  int version = 0;
  if (ok) _gen->get(DB_VERSION, version, 0);
  ok = ok && version == DB_VERSION_NR && _binList->entries() == nrBins && _hwSwList->entries() > 0;
  for (int i = 0; ok && i < _binList->entries(); ++i) {
    std::string bin = _binList->entry(i);
    int size = -1, kvnSize = -1;
    getEntry(bin.c_str(), BIN_SIZE, size);
    ok = entryBytes(bin.c_str(), BIN_DATA) == size;
    if (ok && entryExist(bin.c_str(), KVN_FILE)) {
      getEntry(bin.c_str(), KVN_SIZE, kvnSize);
      ok = entryBytes(bin.c_str(), KVN_DATA) == kvnSize;
    }
  }
  closeDb();
  return ok;
}

// ---------------------------------------------------------------- printing

void RevPackDb::printData() {
  for (int i = 0; i < nrRpaFiles(); ++i) trace(format("rpa%d: %s", i, rpaFile(i)));
  trace(format("active rpa: %s", _actRpFile.c_str()));
  trace(format("active bin: %s", _actBinFile.c_str()));
  trace("\n --- connected tolvan ---");
  trace(format("type: %s:", _actTolType));
  trace(format("sw  : %s:", _actSwVersion));
  trace(format("special: %s:", _actSpecial));
  trace(format("hw  : %s:", _actHwVersion));
}

// ------------------------------------------------------- thin operations

Fl_Preferences* RevPackDb::group(const char* group) {
  if (!_db || !safeGroupName(group)) return nullptr;
  return new Fl_Preferences(*_db, group);
}

void RevPackDb::remGrp(const char* group) {
  if (_db && safeGroupName(group)) _db->deleteGroup(group);
}

void RevPackDb::setGrp(const char* g) { std::unique_ptr<Fl_Preferences> p(group(g)); }

bool RevPackDb::grpExist(const char* group) { return _db && safeGroupName(group) && _db->groupExists(group); }

int RevPackDb::nrEntries(const char* g) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  return p ? p->entries() : 0;
}

bool RevPackDb::entryExist(const char* g, const char* key) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  return p && key && p->entryExists(key);
}

void RevPackDb::setEntry(const char* g, const char* key, const char* text) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (p && key) p->set(key, text ? text : "");
}

void RevPackDb::setEntry(const char* g, const char* key, int value) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (p && key) p->set(key, value);
}

void RevPackDb::setEntry(const char* g, const char* key, const void* data, int size) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (p && key && data && size >= 0) p->set(key, data, size);
}

std::string RevPackDb::getEntry(const char* g, int index) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (!p || index < 0 || index >= p->entries()) return "";
  const char* key = p->entry(index);
  return key ? key : "";
}

std::string RevPackDb::getEntry(const char* g, const char* key) {
  char buf[MAX_TXT_LEN + 1];
  copyCut(buf, "none", sizeof buf);
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (p && key) p->get(key, buf, "none", sizeof buf);
  return buf;
}

void RevPackDb::getEntry(const char* g, const char* key, int& value) {
  value = DFLT_INT;
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (p && key) p->get(key, value, DFLT_INT);
}

int RevPackDb::entryBytes(const char* g, const char* key) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (!p || !key || !p->entryExists(key)) return 0;
  int hex = p->size(key);
  return hex % 2 == 0 ? hex / 2 : -1;
}

bool RevPackDb::getEntry(const char* g, const char* key, void* data, int size) {
  if (!data || size < 0) return false;
  memset(data, 0, static_cast<size_t>(size));
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (!p || !key || !p->entryExists(key)) return false;
  int stored = p->size(key) / 2;
  if (stored > size) return false;
  p->get(key, data, nullptr, 0, size);
  return true;
}

void RevPackDb::delEntry(const char* g, const char* key) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (p && key) p->deleteEntry(key);
}

void RevPackDb::flush() {
  if (_db) _db->flush();
}

void RevPackDb::clearDb() {
  if (_db) _db->clear();
}
