#ifndef CONFIGINIT_H
#define CONFIGINIT_H

#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

class SettingBin;
class FrmKestrum;
class TlctrlRoot;

// What the program keeps between runs in "config.ini": the last settings
// file, the serial port, the last revision pack and bin file, and the names
// the customer gives the device types. Read on construction, written back on
// destruction. Also finds the serial ports that can be opened.
class ConfigInit {
public:
  // One half of a type pair: a device type code or a customer name.
  class TolType {
  public:
    static const int MAX_LEN = 40;
    explicit TolType(const char* text);
    char data[MAX_LEN + 1];
  };

  static const int MAX_NR_COMS = 16;
  // A config.ini value holds 79 characters; so does a port name.
  static const int MAX_VALUE_LEN = 79;
  static const int MAX_KEY_LEN = 20;
  static const int MAX_NR_TOLTYPES = 40;

  ConfigInit(SettingBin* settingBin, FrmKestrum* frame, TlctrlRoot* root);
  virtual ~ConfigInit();

  // Writes config.ini; false (after telling the user) when it could not be
  // written, the old file is then kept.
  bool save();

  // Customer names of all pairs, in the order read.
  std::vector<const char*> tolTypes() const;
  void addToTolTypeList(const char*) {}
  // Device type of the first pair named custom; "" when none.
  const char* quorelTolType(const char* custom) const;
  // Customer name of the first pair with device type type; type when none.
  const char* customTolType(const char* type) const;
  // The customer name followed by what follows the first pair's device type
  // that begins name; "" when none. Points into a buffer of 256 characters
  // that the next call overwrites.
  char* replaceQuorelByCustomType(const char* name) const;

  // Points list[0..] (room for MAX_NR_COMS) at the found port names.
  uint8_t comPorts(char** list);
  void initComPorts();
  void comActive(const char* port);
  const char* comActive() const { return _comActive; }

  void processLine(char* line);

  // The last revision pack and bin file: the controller root's, or kept
  // here while there is no root.
  const char* lastRevpackFile() const;
  const char* lastBinFile() const;
  // The option "Controleren na programmeren": the controller root's, or kept
  // here while there is no root. Written only when on.
  bool verifyProgram() const;
  void verifyProgram(bool on);

  // Directory whose device nodes are probed for serial ports.
  static void devDir(const char* dir);
  static const char* devDir();

  static const char* _txtSettingFileStart;
  static const char* _txtComStart;
  static const char* _txtTolTypeStart;
  static const char* _txtlastRevpackFile;
  static const char* _txtlastBinFile;
  static const char* _txtVerifyProgram;
  static const char* _file;

private:
  void readFile();
  void addTolType(const char* value);
  void lastRevpackFile(const char* path);
  void lastBinFile(const char* path);

  SettingBin* _settingBin;
  FrmKestrum* _frame;
  TlctrlRoot* _root;
  FILE* _fd;
  char _comOpen[MAX_NR_COMS][MAX_VALUE_LEN + 1];
  char _comActive[MAX_VALUE_LEN + 1];
  // Pairs of device type and customer name, in the order read.
  std::vector<std::pair<TolType, TolType>> _tolTypeList;
  // The last revision pack and bin file while no controller root keeps them.
  char _lastRevpackFile[MAX_VALUE_LEN + 1];
  char _lastBinFile[MAX_VALUE_LEN + 1];
  bool _verifyProgram;
};

#endif
