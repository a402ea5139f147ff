#ifndef SETTINGBIN_H
#define SETTINGBIN_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "SBEntry.h"

class TlctrlRoot;
class FrmKestrum;
class ConfigInit;

// The in-memory image of one device's settings (entries 0..200, each a text
// and a number) and the identity of the device that is connected.
class SettingBin {
public:
  static const uint8_t MAX_ENTRIES = 201;
  static const uint8_t MAX_TEXT = 12;
  static const uint8_t MAX_TEXT_EXT = 50;
  static const uint8_t MAX_NRS = 20;
  static const uint8_t MAX_INFOSTR = 40;
  static const uint8_t TOLTYPE_POS = 10;
  static const uint8_t TOLSPECIAL_POS = 20;
  static const uint8_t NRIN_POS = 2;
  static const uint8_t NR_U_IN_POS = 3;
  static const uint8_t NR_I_IN_POS = 4;
  static const uint8_t NROUT_POS = 5;
  static const uint8_t NWTP_POS = 6;
  static const uint8_t REPFNC_POS = 7;
  static const uint8_t PWROPT_POS = 9;
  // Number of entries in a settings file (entry 0 is never stored).
  static const int FILE_LINES = 200;
  // Characters of a settings file line that are used.
  static const int FILE_LINE_LEN = 80;

  enum NetworkType { PSTN = 0, GSM = 1, GPRS = 2, UNDEF_TP = 255 };
  enum ReportFunction { MODEM_SMS = 0, SMS = 1, UNDEF_FNC = 255 };
  enum PowerOption { EXTERNAL = 0, ACCUMULATOR = 1, BATTERY = 2, UNDEF_PWR = 255 };

  class SettingEntry {
  public:
    SettingEntry() : sbEntryT(nullptr), sbEntryN(nullptr) { cleanup(); }
    virtual ~SettingEntry() {}
    void cleanup();

    char text[MAX_TEXT_EXT + 1];
    SBEntry* sbEntryT;
    char tfnr[MAX_NRS + 1];
    SBEntry* sbEntryN;
  };

  explicit SettingBin(TlctrlRoot* root);
  virtual ~SettingBin();

  // Either string may be null (that part stays). False when a value was cut.
  bool setEntry(uint8_t entryNr, const char* txtEntry, const char* numEntr, bool fromDnld,
                SBEntry::EntryType entryType);
  SettingEntry* getEntry(uint8_t entryNr);
  bool validEntry(uint8_t nr) const;
  void storeStatusInfo(const char* type, const char* swVer, const char* special,
                       const char* hwVer);
  void totalNrEntries(uint8_t n);
  bool checkTolTypes();
  void tolTypeFromNew(const char* tolType, bool cleanup);
  uint8_t textFieldSize(uint8_t entryNr, SBEntry::EntryType entryType) const;
  bool entrySupported(uint8_t entryNr, char nT);
  void setSbEntry(SBEntry* sbEntry);
  // Forgets every link to sbEntry (the field that owned it is gone).
  void unlinkSbEntry(SBEntry* sbEntry);
  std::string sbEntryTitle(uint8_t entryNr, char entryType);

  void file(const char* path);
  const char* file() const { return _file; }
  // False when the file could not be written; the old file is then kept.
  bool storeToFile();
  // False when the file could not be read; nothing is changed then.
  bool loadFromFile();
  void enableEdit();
  void cleanUpEntries(bool cleanTolType);

  // What an entry text may hold: neither the wire (whose fields are quoted)
  // nor the file (one line per entry, "|" between text and number) can carry
  // the rest.
  static bool allowedChar(char c);
  // The same for an entry number; ";" and "/" are only barred from texts.
  static bool allowedNumChar(char c);
  static NetworkType charToNetworktype(char c);
  static ReportFunction charToReportFunction(char c);
  static PowerOption charToPowerOption(char c);

  // Type and special of the settings (entries 10 and 20).
  const char* tolType() const { return _entryArr[TOLTYPE_POS].text; }
  const char* tolSpecial() const { return _entryArr[TOLSPECIAL_POS].text; }
  // Identity of the connected device.
  const char* connTolType() const { return _tolType; }
  const char* connSwVer() const { return _tolSwVer; }
  const char* connSpecial() const { return _tolSpecial; }
  const char* connHwVer() const { return _tolHwVer; }

  uint8_t nrIn() const { return _nrIn; }
  uint8_t nrUin() const { return _nrUin; }
  uint8_t nrIin() const { return _nrIin; }
  uint8_t nrOut() const { return _nrOut; }
  NetworkType networkType() const { return _networkType; }
  ReportFunction repFunc() const { return _repFunc; }
  PowerOption pwrOption() const { return _pwrOption; }
  FrmKestrum* frame() const { return _frame; }
  void frame(FrmKestrum* frame) { _frame = frame; }
  // The configuration registers itself here; its type names serve new settings.
  ConfigInit* configInit() const { return _configInit; }
  void configInit(ConfigInit* configInit) { _configInit = configInit; }
  TlctrlRoot* root() const { return _root; }

  bool editFromDownload() const { return _editFromDownload; }
  void editFromDownload(bool on) { _editFromDownload = on; }
  bool doProgramming() const { return _doProgramming; }
  void doProgramming(bool on) { _doProgramming = on; }
  bool progPreUpgrade() const { return _progPreUpgrade; }
  void progPreUpgrade(bool on) { _progPreUpgrade = on; }

  static uint8_t maxTolEntries() { return _maxTolEntries; }
  static void maxTolEntries(uint8_t n) { _maxTolEntries = n; }

  static const char _txtNotAllowedChars[5];

  // A fetch from the device fills a scratch copy; the settings change only
  // when the device has sent them all (fetchEnd(true)).
  void fetchStart();
  void fetchEnd(bool complete);
  bool fetching() const { return _fetch != nullptr; }

  // The settings differ from what was last loaded from or saved to a file
  // (or made new): closing them now would lose something.
  bool modified() const;
  void markUnmodified();

  // Entries a file held characters of that the settings cannot keep; they
  // were left out when the file was read (loadFromFile).
  const std::string& cleanedEntries() const { return _cleaned; }

private:
  void storeLine(const char* line, uint8_t entryNr);
  void decodeType(const char* type);
  void traceSetEntry(uint8_t entryNr, const char* txtEntry, const char* numEntr);

  TlctrlRoot* _root;
  char _tolType[MAX_INFOSTR + 1];
  char _tolSwVer[MAX_INFOSTR + 1];
  char _tolSpecial[MAX_INFOSTR + 1];
  char _tolHwVer[MAX_INFOSTR + 1];
  uint8_t _nrIn;
  uint8_t _nrUin;
  uint8_t _nrIin;
  uint8_t _nrOut;
  NetworkType _networkType;
  ReportFunction _repFunc;
  PowerOption _pwrOption;
  FrmKestrum* _frame;
  ConfigInit* _configInit;
  SettingEntry _entryArr[MAX_ENTRIES];
  // Stands in for an entry number outside the array, so that a bad number
  // from the device never reaches memory beyond it.
  SettingEntry _noEntry;
  struct Values {
    char text[MAX_TEXT_EXT + 1];
    char tfnr[MAX_NRS + 1];
  };
  // The scratch copy of a running fetch (null otherwise).
  Values* _fetch;
  // What the settings were when last loaded, saved or made new.
  Values _saved[MAX_ENTRIES];
  std::string _cleaned;
  FILE* _fd;
  char* _file;
  bool _editFromDownload;
  bool _doProgramming;
  bool _progPreUpgrade;

  static uint8_t _maxTolEntries;
};

#endif
