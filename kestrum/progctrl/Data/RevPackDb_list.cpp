// The revision pack database: listing the packs, opening one, selecting a
// bin file and its boot loader.
#include "RevPackDb.h"

#include <FL/Fl_Preferences.H>
#include <FL/filename.H>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "BDiag.h"
#include "Language.h"
#include "Main.h"
#include "SafeFileWriter.h"
#include "TextUtil.h"
#include "kestrum/progctrl/States/TlctrlRoot.h"

namespace fs = std::filesystem;

namespace {
void trace(const std::string& text) { BDiag::print(text); }
}  // namespace

// ------------------------------------------------------------------ listing

const char* RevPackDb::rpaFile(int i) const { return i >= 0 && i < nrRpaFiles() ? _rpaFiles[i].c_str() : ""; }

const char* RevPackDb::actBinFile(int i) const { return i >= 0 && i < actNrBinFiles() ? _actBinFiles[i].c_str() : ""; }

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
    if (!TextUtil::readableFile(path.c_str())) continue;
    if (name.size() == 4) {
      // A pack with no name is left over from a failed creation.
      trace(TextUtil::format("rm %s", path.c_str()));
      std::remove(path.c_str());
      continue;
    }
    if (nrRpaFiles() < MAX_NR_FILES) _rpaFiles.push_back(name.substr(0, PATH_LEN - 1));
  }
}

// ------------------------------------------------------------ open a pack

void RevPackDb::dropGroups() {
  delete _gen;
  delete _typeList;
  delete _binList;
  delete _hwSwList;
  _gen = _typeList = _binList = _hwSwList = nullptr;
  _db = nullptr;
}

void RevPackDb::closeDb() {
  dropGroups();
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
  if (!fs::exists(file, ec) && TextUtil::endsWith(given, ".RPA")) file = dir + "/" + given;
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
    alert(TextUtil::format(TextUtil::trFormat("Revpack %s can not be read: %s"), name.c_str(), _store.error().c_str()));
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
    alert(TextUtil::format(TextUtil::trFormat("Revpack %s: bin file %s is damaged (size %d, data %d)"),
                           _actRpFile.c_str(), bin, size, stored));
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
      alert(
          TextUtil::format(TextUtil::trFormat("Revpack %s: settings file of %s is damaged"), _actRpFile.c_str(), bin));
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
        TextUtil::copyCut(_actKvnFile, KVN_PRE_UPDATE, PATH_LEN);
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
    statusInfo(
        TextUtil::format(TextUtil::trFormat("Error!! No 2nd stage boot loader in Revpack %s."), _actRpFile.c_str()),
        true);
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
    statusInfo(TextUtil::format(TextUtil::trFormat("Invalid Revpack:%s. No 2nd boot for HW version: %s"),
                                _actRpFile.c_str(), hwText.c_str()),
               true);
    return false;
  }
  const char* boot = _bootFiles[chosen].c_str();
  _bootIx = static_cast<uint8_t>(chosen);
  statusInfo(TextUtil::format(TextUtil::trFormat("Correct Revpack:%s. With 2nd boot for HW version: %s"),
                              _actRpFile.c_str(), hwText.c_str()),
             false);
  int size = 0;
  getEntry(boot, BIN_SIZE, size);
  if (size >= MAX_BOOT_SIZE) {
    alert(TextUtil::format(TextUtil::trFormat("%s too big"), boot));
    return false;
  }
  if (size < 0 || entryBytes(boot, BIN_DATA) != size) {
    alert(TextUtil::format(TextUtil::trFormat("Revpack %s: bin file %s is damaged (size %d, data %d)"),
                           _actRpFile.c_str(), boot, size, entryBytes(boot, BIN_DATA)));
    return false;
  }
  std::fill(_bootData.begin(), _bootData.end(), 0xFF);
  getEntry(boot, BIN_DATA, _bootData.data(), size);
  std::fill(_bootData.begin() + size, _bootData.end(), 0xFF);
  _bootSize = size;
  TextUtil::copyCut(_setBtlHwVersion, getEntry(boot, BIN_HWVERS).c_str(), HWSW_VER_SIZE);
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

bool RevPackDb::hasPackExt(const std::string& s) {
  return TextUtil::endsWith(s, ".rpa") || TextUtil::endsWith(s, ".RPA");
}

std::vector<std::string> RevPackDb::listDir(const std::string& dir) {
  std::vector<std::string> names;
  dirent** list = nullptr;
  int n = fl_filename_list(dir.c_str(), &list, fl_numericsort);
  for (int i = 0; i < n; ++i) {
    std::string name = list[i]->d_name;
    std::error_code ec;
    // Only plain files count; a directory or device with a fitting name does not.
    if (name == "." || name == ".." || name.empty() || name.back() == '/' || !fs::is_regular_file(dir + "/" + name, ec))
      continue;
    names.push_back(name);
  }
  if (list) fl_filename_free_list(&list, n);
  return names;
}
