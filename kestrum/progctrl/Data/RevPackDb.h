#ifndef REVPACKDB_H
#define REVPACKDB_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "HexStrToNr.h"
#include "RevPackPrefs.h"

class Fl_Preferences;
class TlctrlRoot;
class RPallowHwList;

// The revision packs: files in "RevPacks" that carry the firmware images of
// the device family, their 2nd-stage boot loaders, optional settings files
// and the rows that say which software may go on which hardware and which
// device type may become which. Builds packs from a directory of bin files,
// lists them, checks their checksum, checks a bin against the connected
// device and loads the bin and boot loader data for the upgrade.
//
// A pack is a toolkit preferences file (see RevPackPrefs); its checksum is
// part of its name: "RevPacks/<name>[<checksum>].rpa".
class RevPackDb {
public:
  static const int MAX_NR_FILES = 50;
  static const int MAX_BINFILE_SIZE = 0x19000;
  static const int MAX_BOOT_SIZE = 2048;
  static const int MAX_TXT_LEN = 80;
  static const int DFLT_INT = 0;
  static const int HWSW_VER_SIZE = 16;
  static const int MAX_BOOTFILES = 4;
  static const int PROCESSOR_VERSION_49 = 49;
  static const uint16_t START_ADDRESS_48 = 0x3000;
  static const uint16_t START_ADDRESS_49 = 0x100;
  static const int BOOT_END_ADDR = 0x600;
  static const int PATH_LEN = 2048;
  // Largest image data and settings file taken into a pack.
  static const int MAX_DATA_SIZE = 0x18FFF;
  static const int DB_VERSION_NR = 3;
  static const int NR_DEFAULT_RESTR = 7;
  static const int MAX_PACKNAME_LEN = 79;
  static const int RESTR_LINE_LEN = 512;

  // Start of the application in the image of the hardware in hand.
  static uint16_t START_ADDRESS;

  static const char* APPLICATION;
  static const char* GENERAL;
  static const char* DB_VERSION;
  static const char* TYPELIST_OLD;
  static const char* TYPELIST_NEW;
  static const char* BINLIST_OLD;
  static const char* BINLIST_NEW;
  static const char* HWSWLIST;
  static const char* SWHWRESTR;
  static const char* BIN_SIZE;
  static const char* BIN_TYPE;
  static const char* BIN_VERSION;
  static const char* BIN_HWVERS;
  static const char* BIN_SPECIAL;
  static const char* BIN_DATA;
  static const char* KVN_FILE;
  static const char* KVN_SIZE;
  static const char* KVN_DATA;
  static const char* BOOT_LOAD_NAME;
  static const char* KVN_PRE_UPDATE;
  static const char* TEMP_PACK;

  // Command-line switches.
  static bool CHECK_SPECIAL;
  static bool CHECK_HARDWARE;
  static bool CMDL_CREATE_REVPACK;
  static bool CMDL_UPGRADE;
  // An unattended upgrade goes on when the device's settings cannot be
  // read for the backup ("-allownobackup").
  static bool CMDL_ALLOW_NOBACKUP;
  // These point into the process's argument vector (or an empty text).
  static char* CMDL_BINDIR;
  static char* CMDL_REVPACK;
  static char* CMDL_BINFILE;

  struct HwSwRestr {
    char sw[HWSW_VER_SIZE];
    char hw[HWSW_VER_SIZE];
  };
  static const HwSwRestr _hwSwRestr[NR_DEFAULT_RESTR];

  explicit RevPackDb(TlctrlRoot* root);
  virtual ~RevPackDb();

  // Lists the packs in "RevPacks".
  void setRpaFiles();
  int nrRpaFiles() const { return static_cast<int>(_rpaFiles.size()); }
  // Empty outside the list.
  const char* rpaFile(int i) const;
  bool exist() const { return _exist; }

  // Opens the pack name (".rpa" optional) in path (null: "RevPacks"). False,
  // with the reason traced, when it is missing or malformed.
  bool selectDb(const char* name, const char* path);
  // Selects a pack of the list and its boot loader; false when it cannot be
  // read (the user is told why).
  bool selectRpFile(const char* rpFile);
  bool rpSelected() const { return _rpSelected; }
  const char* actRpFile() const { return _actRpFile.c_str(); }

  int actNrBinFiles() const { return static_cast<int>(_actBinFiles.size()); }
  const char* actBinFile(int i) const;
  bool binFileSelected() const { return _binFileSelected; }
  const char* actBinFileName() const { return _actBinFile.c_str(); }

  // Loads a bin group; the path of a settings file to program first, or "".
  const char* setBinData(const char* bin);
  const uint8_t* binData() const { return _activeBinData.data(); }
  int binSize() const { return _nrBinBytes; }

  // Chooses and loads the boot loader for the hardware code hw (null: the
  // connected device's).
  bool setBootData(const char* hwVersion);
  const uint8_t* bootData() const { return _bootData.data(); }
  int bootSize() const { return _bootSize; }
  const char* setBtlHwVersion() const { return _setBtlHwVersion; }
  bool checkBtlHwVersion() const;

  // file: a pack name in "RevPacks", or a path when create is set.
  bool checkCheckSum(const char* file, bool create);
  // The checksum of a file; 0 when it cannot be read or has no "[.]".
  uint16_t readCheckSum(const char* path);
  // As above; found tells whether the file had the marker.
  static uint16_t readCheckSum(const char* path, bool& found);

  bool checkTypeSwHwVers(const char* bin);
  bool binFileAllowed(const char* bin);
  bool autoProgKvnFile() const { return _autoProgKvnFile; }
  // " B.** D.**": the hardware patterns allowed for the bin's version.
  std::string allowedHwList(const char* bin);
  void fillAllowedHwList(const char* bin, RPallowHwList* list);

  static void setActHwSwVers(const char* type, const char* sw, const char* special, const char* hw);
  static const char* actTolType() { return _actTolType; }
  static const char* actSwVersion() { return _actSwVersion; }
  static const char* actSpecial() { return _actSpecial; }
  static const char* actHwVersion() { return _actHwVersion; }
  static const char* activeKvnFile() { return _actKvnFile; }
  static void activeKvnFileReset() { _actKvnFile[0] = '\0'; }

  // Builds a pack from the bin files in binDir (empty: the working directory).
  // False when no pack was made.
  bool createDb(const char* binDir);
  // What the last createDb did, for the user: the pack made and the files
  // left out with the reason, or why nothing was made (translated).
  const std::string& createReport() const { return _createReport; }
  // Why the last createDb made no pack, in one line (empty after success).
  const std::string& createError() const { return _createError; }
  // Type and hardware of the loaded image (static buffers).
  const char* getTolTypeFmBin(const char*& hw);
  // Version and special of the loaded image; special is null when there is none.
  const char* getSwVersionFmBin(const char*& special);
  static const char* getHwFmBootName(const char* name);
  // Fills "HwSwRestrictionList" of the pack being built; false when the
  // user's restriction file is malformed.
  bool setSwHwRestrictions();
  // Writes the restriction file path from the built-in rows, with comment
  // lines that explain them; false when it could not be written.
  static bool writeDefaultRestrictions(const char* path);
  // The pack name made from the versions and specials of the bins built.
  std::string retrNewRevPackName() const;
  // Chooses the list names the open pack uses.
  void setTypeBinList();

  void printData();

  // Thin operations on the open pack. Group names that the file format
  // cannot hold are refused (nothing happens, reads give the defaults).
  void remGrp(const char* group);
  void setGrp(const char* group);
  bool grpExist(const char* group);
  int nrEntries(const char* group);
  bool entryExist(const char* group, const char* key);
  void setEntry(const char* group, const char* key, const char* text);
  void setEntry(const char* group, const char* key, int value);
  void setEntry(const char* group, const char* key, const void* data, int size);
  // Key of entry index; "" outside the group.
  std::string getEntry(const char* group, int index);
  // At most MAX_TXT_LEN characters; "none" when absent.
  std::string getEntry(const char* group, const char* key);
  void getEntry(const char* group, const char* key, int& value);
  // Zeroes data, then reads at most size bytes; false when the stored bytes
  // are absent or do not fit.
  bool getEntry(const char* group, const char* key, void* data, int size);
  // Number of bytes an entry holds (its hexadecimal text halved); -1 when
  // that text is not whole bytes.
  int entryBytes(const char* group, const char* key);
  void delEntry(const char* group, const char* key);
  void flush();
  void clearDb();
  const char* dbPath() const { return _dbPath.c_str(); }
  bool ckDb() const { return _db != nullptr; }
  const char* typeList() const { return _typeListName; }
  const char* binList() const { return _binListName; }

  // A name the pack file can hold as a group or key.
  static bool safeGroupName(const char* name);
  // Customer name of a device type (the type itself when there is none).
  const char* customTolType(const char* type);

  // The pause before a boot loader is tried again (milliseconds); a timer,
  // the program goes on meanwhile.
  static int bootPauseMs() { return _bootPauseMs; }
  static void bootPauseMs(int ms) { _bootPauseMs = ms; }

  // What identification finds in an image.
  static void findTypeHw(const uint8_t* data, int size, std::string& type, std::string& hw);
  static bool findVersion(const uint8_t* data, int size, std::string& version, std::string& special);

private:
  static bool hasPackExt(const std::string& name);
  // The plain files of a directory in numeric-aware name order.
  static std::vector<std::string> listDir(const std::string& dir);
  void closeDb();
  // The groups share the root's data: they go before the store lets it go.
  void dropGroups();
  Fl_Preferences* group(const char* group);
  void alert(const std::string& text);
  void beep();
  void statusInfo(const std::string& text, bool alarm);
  static int processorVersion(const char* hw);
  bool typeRowAllows(const char* actType, const char* binType);
  std::string replaceQuorelByCustomType(const char* name);
  void loadTypeNames();
  // Reads a built pack back: every bin's data as long as its size says.
  bool verifyPack(const std::string& file, int nrBins);
  bool addBinGroup(const std::string& dir, const std::string& file, bool boot, const std::string& kvn);
  bool createFailed(const std::string& why);

  TlctrlRoot* _root;
  RevPackPrefs _store;
  Fl_Preferences* _db;
  Fl_Preferences* _gen;
  Fl_Preferences* _typeList;
  Fl_Preferences* _binList;
  Fl_Preferences* _hwSwList;
  const char* _typeListName;
  const char* _binListName;
  std::string _dbPath;
  char _absPath[PATH_LEN];
  bool _exist;
  std::vector<std::string> _rpaFiles;
  bool _rpSelected;
  std::string _actRpFile;
  std::vector<std::string> _actBinFiles;
  bool _binFileSelected;
  std::string _actBinFile;
  bool _autoProgKvnFile;
  uint8_t _bootIx;
  std::vector<std::string> _bootFiles;
  int _bootSize;
  std::vector<uint8_t> _bootData;
  char _setBtlHwVersion[HWSW_VER_SIZE];
  bool _createRpActive;
  std::string _createError;
  std::string _binDirPath;
  int _nrBinBytes;
  std::vector<uint8_t> _activeBinData;
  int _nrKvnBytes;
  std::vector<uint8_t> _activeKvnData;
  // Versions and specials of the bins of the pack being built.
  std::vector<std::string> _newVersions;
  std::vector<std::string> _newSpecials;
  // Files of the bin directory not in the pack being built, with the reason.
  std::vector<std::pair<std::string, std::string>> _leftOut;
  std::string _createReport;
  // Device types and customer names, when no configuration object exists.
  std::vector<std::pair<std::string, std::string>> _typeNames;
  HexStrToNr _hexToNr;

  static char _actTolType[HWSW_VER_SIZE];
  static char _actSwVersion[HWSW_VER_SIZE];
  static char _actSpecial[HWSW_VER_SIZE];
  static char _actHwVersion[HWSW_VER_SIZE];
  static char _actKvnFile[PATH_LEN];
  static int _bootPauseMs;
};

#endif
