// The revision pack database: building a pack from a directory of bin files.
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
#include <vector>

#include "BDiag.h"
#include "Language.h"
#include "SafeFileWriter.h"
#include "TextUtil.h"
#include "UserDialog.h"

namespace fs = std::filesystem;

namespace {
void trace(const std::string& text) { BDiag::print(text); }

bool isBlank(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' '; });
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

}  // namespace

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
  std::string source = TextUtil::format("%s/%s.%s", APPLICATION, SWHWRESTR, "txt");
  std::string scratch = TextUtil::format("%s.%s", SWHWRESTR, "rst");
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
    alert(TextUtil::format(TextUtil::trFormat("Restriction file %s can not be used: %s"), source.c_str(),
                           rst.error().c_str()));
    return false;
  }
  {
    Fl_Preferences grp(*rst.prefs(), SWHWRESTR);
    if (grp.entries() == 0) {
      for (int i = 0; i < NR_DEFAULT_RESTR; ++i)
        grp.set(std::to_string(i + 1).c_str(), TextUtil::format("%s;%s", _hwSwRestr[i].sw, _hwSwRestr[i].hw).c_str());
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
  std::string target = TextUtil::format("%s/%s.%s", APPLICATION, SWHWRESTR, "rst");
  trace(TextUtil::format("mv %s.%s %s", SWHWRESTR, "rst", APPLICATION));
  if (!rst.commit(target.c_str())) B_EXCEPTION("Cannot keep " << target << ": " << rst.error());
  fs::remove(scratch, ec);
  trace(TextUtil::format("rmdir /Q /S %s", SWHWRESTR));
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
  trace(TextUtil::format("mkdir %s", APPLICATION));
  fs::create_directory(APPLICATION, ec);
  std::string scratch = TextUtil::format("%s.rpa", TEMP_PACK);
  if (fs::exists(scratch, ec)) {
    trace(TextUtil::format("rm %s", scratch.c_str()));
    fs::remove(scratch, ec);
  }

  char abs[PATH_LEN];
  fl_filename_absolute(abs, sizeof abs, binDir && *binDir ? binDir : ".");
  _binDirPath = abs;
  if (_binDirPath.empty() || _binDirPath.back() != '/') _binDirPath += "/";
  TextUtil::copyCut(_absPath, _binDirPath.c_str(), PATH_LEN);
  if (!fs::is_directory(_binDirPath, ec)) {
    B_EXCEPTION("_binDirPath=" << _binDirPath << " does NOT Exist!");
    printf("_binDirPath=%s does NOT Exist!\n", _binDirPath.c_str());
    _createError = "bin directory " + _binDirPath + " does not exist";
    return createFailed(TextUtil::format(TextUtil::trFormat("Map %s bestaat niet"), _binDirPath.c_str()));
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
    return createFailed(TextUtil::format(TextUtil::trFormat("Geen bin bestanden in %s"), _binDirPath.c_str()));
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
  dropGroups();
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
  std::string target = TextUtil::format("%s/%s[%04x].rpa", APPLICATION, packName.c_str(), sum);
  trace(TextUtil::format("mv %s %s", scratch.c_str(), target.c_str()));
  std::string why;
  if (!RevPackPrefs::moveFile(scratch.c_str(), target.c_str(), why)) {
    B_EXCEPTION(why);
    _createError = why;
    return createFailed(why);
  }
  trace(TextUtil::format("Revpack %s made with %d bin files", target.c_str(), added));
  ok = checkCheckSum(target.c_str(), true);
  if (!ok) {
    alert(gettext("Create Db Invalid Checksum", 0));
    _createError = "the checksum of " + target + " does not match";
  }
  setRpaFiles();
  _createReport =
      TextUtil::format(TextUtil::trFormat("RevPack gemaakt: %s"), fs::path(target).filename().string().c_str());
  for (const auto& l : _leftOut)
    _createReport +=
        "\n" + TextUtil::format(TextUtil::trFormat("Niet opgenomen: %s (%s)"), l.first.c_str(), l.second.c_str());
  trace(_createReport);
  return ok;
}

bool RevPackDb::createFailed(const std::string& why) {
  _createReport = TextUtil::format(TextUtil::trFormat("Geen RevPack gemaakt: %s"), why.c_str());
  for (const auto& l : _leftOut)
    _createReport +=
        "\n" + TextUtil::format(TextUtil::trFormat("Niet opgenomen: %s (%s)"), l.first.c_str(), l.second.c_str());
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
