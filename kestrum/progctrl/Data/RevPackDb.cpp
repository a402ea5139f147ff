// The revision pack database: its option variables, names and user texts.
// The other parts: _list (listing and selection), _check (checks and
// identification), _create (building a pack), _store (the open store).
#include "RevPackDb.h"

#include <FL/Fl_Preferences.H>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "BDiag.h"
#include "Language.h"
#include "TextUtil.h"
#include "UserDialog.h"
#include "kestrum/progctrl/States/TlctrlRoot.h"

namespace fs = std::filesystem;

namespace {
char g_empty[3][1] = {{'\0'}, {'\0'}, {'\0'}};

void trace(const std::string& text) { BDiag::print(text); }
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

const RevPackDb::HwSwRestr RevPackDb::_hwSwRestr[NR_DEFAULT_RESTR] = {{"4.**", "B.**"},
                                                                      {"4.**", "D.**"},
                                                                      {"4.**", "C.**"},
                                                                      {"5.**", "F.**"},
                                                                      {"5.**", "G.**"},
                                                                      {"6.**", "H.**"},
                                                                      {"TL---------", "TL---------"}};

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

// ---------------------------------------------------------------- printing

void RevPackDb::printData() {
  for (int i = 0; i < nrRpaFiles(); ++i) trace(TextUtil::format("rpa%d: %s", i, rpaFile(i)));
  trace(TextUtil::format("active rpa: %s", _actRpFile.c_str()));
  trace(TextUtil::format("active bin: %s", _actBinFile.c_str()));
  trace("\n --- connected tolvan ---");
  trace(TextUtil::format("type: %s:", _actTolType));
  trace(TextUtil::format("sw  : %s:", _actSwVersion));
  trace(TextUtil::format("special: %s:", _actSpecial));
  trace(TextUtil::format("hw  : %s:", _actHwVersion));
}
