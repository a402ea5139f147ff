#include "ConfigInit.h"

#include <cstring>
#include <string>

#include "Language.h"
#include "SafeFileWriter.h"
#include "SettingBin.h"
#include "TextLine.h"
#include "TextUtil.h"
#include "TlctrlReadBack.h"
#include "UserDialog.h"
#include "kestrum/progctrl/Forms/FrmKestrum.h"
#include "kestrum/progctrl/Forms/FrmKestrumImpl.h"
#include "kestrum/progctrl/States/TlctrlRoot.h"
#include "posix/SerialPortScan.h"

const char* ConfigInit::_txtSettingFileStart = "settingfile=";
const char* ConfigInit::_txtComStart = "comport=";
const char* ConfigInit::_txtTolTypeStart = "tolvantype=";
const char* ConfigInit::_txtlastRevpackFile = "lastrevpack=";
const char* ConfigInit::_txtlastBinFile = "lastbin=";
const char* ConfigInit::_txtVerifyProgram = "verifyprogram=";
const char* ConfigInit::_file = "config.ini";

namespace {
std::string g_devDir = "/dev";

// "settingfile=" -> "settingfile"
std::string keyOf(const char* prefix) {
  std::string k(prefix);
  return k.substr(0, k.size() - 1);
}
}  // namespace

ConfigInit::TolType::TolType(const char* text) { TextUtil::copyCut(data, text, sizeof data); }

ConfigInit::ConfigInit(SettingBin* settingBin, FrmKestrum* frame, TlctrlRoot* root)
    : _settingBin(settingBin), _frame(frame), _root(root), _fd(nullptr), _verifyProgram(false) {
  if (_frame) _frame->configInit(this);
  if (_settingBin) _settingBin->configInit(this);
  _comActive[0] = '\0';
  _lastRevpackFile[0] = '\0';
  _lastBinFile[0] = '\0';
  for (auto& c : _comOpen) c[0] = '\0';
  readFile();
}

ConfigInit::~ConfigInit() {
  save();
  if (_fd) fclose(_fd);
  if (_settingBin && _settingBin->configInit() == this) _settingBin->configInit(nullptr);
  if (_frame && _frame->configInit() == this) _frame->configInit(nullptr);
}

void ConfigInit::readFile() {
  _fd = fopen(_file, "r");
  if (!_fd) {
    char buf[1024];
    std::string text;
    snprintf(buf, sizeof buf, "%s \"%s\" %s.\n", gettext("Attentie!! Bestand", 0), _file,
             gettext("niet aanwezig", 0));
    text += buf;
    snprintf(buf, sizeof buf, "%s,\n", gettext("Voor communicatie met Tolvan eerst COM poort", 0));
    text += buf;
    snprintf(buf, sizeof buf, "%s.\n", gettext("via Opties knop instellen", 0));
    text += buf;
    UserDialog::alert(text.c_str());
    initComPorts();
    if (_frame && _frame->frmImpl()) _frame->frmImpl()->btOptionsWindow();
    return;
  }
  // Key, "=" and a value of 79 characters fit; the rest of a line is dropped.
  char line[MAX_KEY_LEN + 1 + MAX_VALUE_LEN + 1];
  int c;
  do {
    c = TextLine::read(_fd, line, sizeof line);
    processLine(line);
  } while (c != EOF);
  fclose(_fd);
  _fd = nullptr;
  initComPorts();
}

void ConfigInit::processLine(char* line) {
  if (!line) return;
  char key[MAX_KEY_LEN + 1] = "";
  char value[MAX_VALUE_LEN + 1] = "";
  if (sscanf(line, "%20[^=]=%79[^\n]", key, value) != 2) return;
  if (key == keyOf(_txtSettingFileStart)) {
    if (_settingBin) _settingBin->file(value);
  } else if (key == keyOf(_txtComStart)) {
    comActive(value);
  } else if (key == keyOf(_txtTolTypeStart)) {
    addTolType(value);
  } else if (key == keyOf(_txtlastRevpackFile)) {
    lastRevpackFile(value);
  } else if (key == keyOf(_txtlastBinFile)) {
    lastBinFile(value);
  } else if (key == keyOf(_txtVerifyProgram)) {
    verifyProgram(strcmp(value, "1") == 0);
  }
}

void ConfigInit::addTolType(const char* value) {
  const char* sep = strchr(value, ';');
  std::string type = sep ? std::string(value, sep - value) : std::string(value);
  std::string name = sep ? std::string(sep + 1) : std::string();
  if (type.empty()) return;
  // Without a customer name the device type serves as both.
  if (name.empty()) name = type;
  // The pair is written back as "type;name", one value of at most 79
  // characters: the name gives way so that the pair reads back as kept.
  TolType t(type.c_str());
  size_t room = static_cast<size_t>(MAX_VALUE_LEN) - 1 - strlen(t.data);
  if (name.size() > room) name.resize(room);
  _tolTypeList.emplace_back(t, TolType(name.c_str()));
}

void ConfigInit::lastRevpackFile(const char* path) {
  if (_root)
    _root->lastRevpackFile(path);
  else
    TextUtil::copyCut(_lastRevpackFile, path, sizeof _lastRevpackFile);
}

void ConfigInit::lastBinFile(const char* path) {
  if (_root)
    _root->lastBinFile(path);
  else
    TextUtil::copyCut(_lastBinFile, path, sizeof _lastBinFile);
}

const char* ConfigInit::lastRevpackFile() const {
  return _root ? _root->lastRevpackFile() : _lastRevpackFile;
}

const char* ConfigInit::lastBinFile() const { return _root ? _root->lastBinFile() : _lastBinFile; }

bool ConfigInit::verifyProgram() const {
  return _root && _root->readBack() ? _root->readBack()->verifyAfterProgramming() : _verifyProgram;
}

void ConfigInit::verifyProgram(bool on) {
  if (_root && _root->readBack())
    _root->readBack()->verifyAfterProgramming(on);
  else
    _verifyProgram = on;
}

bool ConfigInit::save() {
  SafeFileWriter writer(_file);
  _fd = writer.open();
  if (_fd) {
    const char* settingFile = _settingBin && _settingBin->file() ? _settingBin->file() : "";
    fprintf(_fd, "%s%s\n", _txtSettingFileStart, settingFile);
    fprintf(_fd, "%s%s\n", _txtComStart, _comActive);
    for (auto& p : _tolTypeList)
      fprintf(_fd, "%s%s;%s\n", _txtTolTypeStart, p.first.data, p.second.data);
    fprintf(_fd, "%s%s\n", _txtlastRevpackFile, lastRevpackFile());
    fprintf(_fd, "%s%s\n", _txtlastBinFile, lastBinFile());
    // Off is the default: a file of a program without the option stays as it was.
    if (verifyProgram()) fprintf(_fd, "%s1\n", _txtVerifyProgram);
  }
  _fd = nullptr;
  bool ok = writer.commit();
  if (!ok) writer.reportFailure();
  return ok;
}

std::vector<const char*> ConfigInit::tolTypes() const {
  std::vector<const char*> names;
  for (auto& p : _tolTypeList) names.push_back(p.second.data);
  return names;
}

const char* ConfigInit::quorelTolType(const char* custom) const {
  if (custom)
    for (auto& p : _tolTypeList)
      if (strcmp(p.second.data, custom) == 0) return p.first.data;
  return "";
}

const char* ConfigInit::customTolType(const char* type) const {
  if (!type) return "";
  for (auto& p : _tolTypeList)
    if (strcmp(p.first.data, type) == 0) return p.second.data;
  return type;
}

char* ConfigInit::replaceQuorelByCustomType(const char* name) const {
  static char buf[256];
  buf[0] = '\0';
  if (!name) return buf;
  for (auto& p : _tolTypeList) {
    size_t n = strlen(p.first.data);
    if (n > 0 && strncmp(name, p.first.data, n) == 0) {
      snprintf(buf, sizeof buf, "%s%s", p.second.data, name + n);
      break;
    }
  }
  return buf;
}

uint8_t ConfigInit::comPorts(char** list) {
  uint8_t n = 0;
  while (n < MAX_NR_COMS && _comOpen[n][0] != '\0') {
    if (list) list[n] = _comOpen[n];
    n++;
  }
  return n;
}

void ConfigInit::initComPorts() {
  for (auto& c : _comOpen) c[0] = '\0';
  // A name that does not fit a config.ini value could not be chosen again.
  std::vector<std::string> ports = SerialPortScan::scan(g_devDir.c_str(), MAX_NR_COMS, MAX_VALUE_LEN);
  int slot = 0;
  for (auto& p : ports) TextUtil::copyCut(_comOpen[slot++], p.c_str(), sizeof _comOpen[0]);
}

void ConfigInit::comActive(const char* port) { TextUtil::copyCut(_comActive, port, sizeof _comActive); }

void ConfigInit::devDir(const char* dir) { g_devDir = dir ? dir : "/dev"; }
const char* ConfigInit::devDir() { return g_devDir.c_str(); }
