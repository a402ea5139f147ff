#include "SettingBin.h"

#include <cstring>
#include <sstream>

#include "BDiag.h"
#include "ConfigInit.h"
#include "RevPackDb.h"
#include "Language.h"
#include "SafeFileWriter.h"
#include "TextLine.h"
#include "TextUtil.h"
#include "UserDialog.h"
#include "kestrum/progctrl/Forms/FrmKestrum.h"
#include "kestrum/progctrl/Forms/FrmKestrumImpl.h"
#include "kestrum/progctrl/States/TlctrlRoot.h"

uint8_t SettingBin::_maxTolEntries = SettingBin::MAX_ENTRIES;
const char SettingBin::_txtNotAllowedChars[5] = ";/\"|";

namespace {
char charAt(const char* s, size_t pos) { return pos < strlen(s) ? s[pos] : '\0'; }

bool controlChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7f;
}

// Copies at most max characters of src into dst, leaving out those that ok
// refuses; true when one was left out.
bool copyAllowed(char* dst, const char* src, size_t len, size_t max, bool (*ok)(char)) {
  size_t n = 0;
  bool dropped = false;
  for (size_t i = 0; i < len && src[i]; i++) {
    if (!ok(src[i])) {
      dropped = true;
    } else if (n < max) {
      dst[n++] = src[i];
    }
  }
  dst[n] = '\0';
  return dropped;
}
}  // namespace

void SettingBin::SettingEntry::cleanup() {
  text[0] = '\0';
  tfnr[0] = '\0';
  if (sbEntryT) sbEntryT->linkedTo(nullptr);
  if (sbEntryN) sbEntryN->linkedTo(nullptr);
  sbEntryT = nullptr;
  sbEntryN = nullptr;
}

SettingBin::SettingBin(TlctrlRoot* root)
    : _root(root),
      _nrIn(0),
      _nrUin(0),
      _nrIin(0),
      _nrOut(0),
      _networkType(UNDEF_TP),
      _repFunc(UNDEF_FNC),
      _pwrOption(UNDEF_PWR),
      _frame(nullptr),
      _configInit(nullptr),
      _fetch(nullptr),
      _fd(nullptr),
      _file(nullptr),
      _editFromDownload(false),
      _doProgramming(false),
      _progPreUpgrade(false) {
  _tolType[0] = _tolSwVer[0] = _tolSpecial[0] = _tolHwVer[0] = '\0';
  markUnmodified();
}

SettingBin::~SettingBin() {
  delete[] _fetch;
  cleanUpEntries(true);
  if (_fd) fclose(_fd);
  delete[] _file;
}

void SettingBin::traceSetEntry(uint8_t entryNr, const char* txtEntry, const char* numEntr) {
  if (!_root || !(_root->debugLevel() & DBG_LOW)) return;
  std::ostringstream os;
  os << "-->SettingBin::setEntry entryNr=" << int(entryNr)
     << " text=" << (txtEntry ? txtEntry : "(null)") << " nr=" << (numEntr ? numEntr : "(null)")
     << " (" << _root->name() << " " << _root->instName() << ")";
  BDiag::print(os.str());
}

bool SettingBin::setEntry(uint8_t entryNr, const char* txtEntry, const char* numEntr,
                          bool fromDnld, SBEntry::EntryType entryType) {
  traceSetEntry(entryNr, txtEntry, numEntr);
  if (entryNr >= MAX_ENTRIES) {
    B_ASSERT(entryNr < MAX_ENTRIES, "entry " << int(entryNr) << " out of range");
    return false;
  }
  bool result = true;
  char buf[160];
  size_t txtLen = 0;
  if (txtEntry) {
    txtLen = strlen(txtEntry);
    uint8_t maxText = textFieldSize(entryNr, entryType);
    if (txtLen > maxText) {
      snprintf(buf, sizeof buf, "%s %s %d %s.", gettext("Attentie!!", 0), gettext("maximum", 0),
               maxText, gettext("karakters", 0));
      UserDialog::alert(buf);
      txtLen = maxText;
      result = false;
    }
  }
  size_t numLen = 0;
  if (numEntr) {
    numLen = strlen(numEntr);
    if (numLen > MAX_NRS) {
      snprintf(buf, sizeof buf, "%s %s %d %s.", gettext("Attentie!!", 0), gettext("maximum", 0),
               MAX_NRS, gettext("nummers", 0));
      UserDialog::alert(buf);
      numLen = MAX_NRS;
      result = false;
    }
  }
  // A running fetch writes into its scratch copy, never into the settings.
  bool scratch = fromDnld && _fetch;
  char* text = scratch ? _fetch[entryNr].text : _entryArr[entryNr].text;
  char* tfnr = scratch ? _fetch[entryNr].tfnr : _entryArr[entryNr].tfnr;
  if (txtEntry) copyAllowed(text, txtEntry, txtLen, MAX_TEXT_EXT, allowedChar);
  if (numEntr) copyAllowed(tfnr, numEntr, numLen, MAX_NRS, allowedNumChar);
  if (fromDnld) {
    // The connected device's own type and special count, not what it sent.
    if (entryNr == TOLTYPE_POS) TextUtil::copyCut(text, _tolType, MAX_TEXT_EXT + 1);
    if (entryNr == TOLSPECIAL_POS) TextUtil::copyCut(text, _tolSpecial, MAX_TEXT_EXT + 1);
  }
  return result;
}

SettingBin::SettingEntry* SettingBin::getEntry(uint8_t entryNr) {
  if (entryNr >= MAX_ENTRIES) {
    B_ASSERT(entryNr < MAX_ENTRIES, "entry " << int(entryNr) << " out of range");
    _noEntry.cleanup();
    return &_noEntry;
  }
  return &_entryArr[entryNr];
}

bool SettingBin::validEntry(uint8_t nr) const { return nr <= _maxTolEntries && nr < MAX_ENTRIES; }

void SettingBin::storeStatusInfo(const char* type, const char* swVer, const char* special,
                                 const char* hwVer) {
  if (!type) type = "";
  // Settings of another device must not be programmed into this one. A
  // device that goes away (no type) takes nothing with it: the settings
  // fetched or edited stay, and a different device connected later is
  // guarded by the type check before programming, as for a settings file.
  if (_tolType[0] != '\0' && type[0] != '\0' && strncmp(type, _tolType, MAX_INFOSTR) != 0) {
    cleanUpEntries(true);
    if (_frame) _frame->removeSettingEdit();
  }
  TextUtil::copyCut(_tolType, type, sizeof _tolType);
  TextUtil::copyCut(_tolSwVer, swVer, sizeof _tolSwVer);
  TextUtil::copyCut(_tolSpecial, special, sizeof _tolSpecial);
  TextUtil::copyCut(_tolHwVer, hwVer, sizeof _tolHwVer);
  auto digit = [this](size_t pos) -> uint8_t {
    char c = charAt(_tolType, pos);
    return (c >= '0' && c <= '9') ? static_cast<uint8_t>(c - '0') : 0;
  };
  _nrIn = digit(NRIN_POS);
  _nrUin = digit(NR_U_IN_POS);
  _nrIin = digit(NR_I_IN_POS);
  _nrOut = digit(NROUT_POS);
  if (_tolType[0] != '\0') decodeType(_tolType);
  if (_frame) _frame->showTolvanGroup(_tolType, _tolSwVer, _tolSpecial, _tolHwVer);
}

void SettingBin::decodeType(const char* type) {
  size_t len = strlen(type);
  _networkType = len > NWTP_POS ? charToNetworktype(type[NWTP_POS]) : UNDEF_TP;
  _repFunc = len > REPFNC_POS ? charToReportFunction(type[REPFNC_POS]) : UNDEF_FNC;
  _pwrOption = len > PWROPT_POS ? charToPowerOption(type[PWROPT_POS]) : UNDEF_PWR;
}

void SettingBin::totalNrEntries(uint8_t n) {
  if (n > MAX_ENTRIES - 1) {
    char buf[512];
    int len = snprintf(buf, sizeof buf, "%s%d\n",
                       gettext("Attentie!! Tolvan bevat teveel data. #entries=", 0), n);
    if (len < 0 || len >= static_cast<int>(sizeof buf)) len = static_cast<int>(strlen(buf));
    snprintf(buf + len, sizeof buf - len, "%s %d %s\n", gettext("Maximaal mogelijk", 0),
             MAX_ENTRIES, gettext("entries", 0));
    UserDialog::alert(buf);
    return;
  }
  _maxTolEntries = n;
}

bool SettingBin::checkTolTypes() {
  if (FrmKestrumImpl::CMDL_PROGRAM) return true;
  const char* fileType = tolType();
  if (fileType[0] == '\0') return false;
  if (strcmp(fileType, _tolType) == 0 || _progPreUpgrade) return true;
  std::string q;
  char buf[1200];
  snprintf(buf, sizeof buf, "%s \"%s\" %s\n", gettext("Attentie!! Tolvan Type", 0), fileType,
           gettext("in Bestand verschilt met", 0));
  q += buf;
  snprintf(buf, sizeof buf, "%s \"%s\" !! \n", gettext("Verbonden Tolvan Type", 0), _tolType);
  q += buf;
  snprintf(buf, sizeof buf, "%s\n", gettext("Wilt u doorgaan met programmeren?", 0));
  q += buf;
  UserDialog::beep();
  return UserDialog::choice(q.c_str(), gettext("Nee", 0), gettext("JA", 0), nullptr) == 1;
}

void SettingBin::tolTypeFromNew(const char* tolType, bool cleanup) {
  const char* type = (_configInit && tolType) ? _configInit->quorelTolType(tolType) : "";
  TextUtil::copyCut(_entryArr[TOLTYPE_POS].text, type, MAX_TEXT + 1);
  _entryArr[TOLSPECIAL_POS].text[0] = '\0';
  decodeType(_entryArr[TOLTYPE_POS].text);
  if (cleanup) cleanUpEntries(false);
  enableEdit();
}

uint8_t SettingBin::textFieldSize(uint8_t entryNr, SBEntry::EntryType entryType) const {
  if (entryNr > 99) return MAX_TEXT;
  if (entryNr % 10 != 1) return MAX_TEXT;
  if (_editFromDownload) {
    if (_networkType != GSM) return MAX_TEXT;
    if (static_cast<signed char>(_tolHwVer[0]) < 'H') return MAX_TEXT;
  } else {
    const char* type = tolType();
    if (type[0] != '\0' && charAt(type, NWTP_POS) != 'G') return MAX_TEXT;
    if (entryType != SBEntry::ASCII_INPUT_TYPE) return MAX_TEXT;
  }
  return MAX_TEXT_EXT;
}

bool SettingBin::entrySupported(uint8_t entryNr, char nT) {
  if (!_editFromDownload) return true;
  bool oldHw = static_cast<signed char>(_tolHwVer[0]) <= 'G';
  bool supported = true;
  if (entryNr == 2)
    supported = !(charAt(_tolType, NWTP_POS) == 'W' && oldHw && nT == 'N');
  else if (entryNr == 80)
    supported = !oldHw;
  // Nothing to send: the device never sees the entry.
  if (!supported && _doProgramming && getEntry(entryNr)->tfnr[0] == '\0') supported = true;
  return supported;
}

void SettingBin::setSbEntry(SBEntry* sbEntry) {
  if (!sbEntry || sbEntry->entry() < 0 || sbEntry->entry() >= MAX_ENTRIES) return;
  SettingEntry& e = _entryArr[sbEntry->entry()];
  SBEntry*& slot = sbEntry->list() == 'T' ? e.sbEntryT : e.sbEntryN;
  if (slot && slot != sbEntry) slot->linkedTo(nullptr);
  slot = sbEntry;
  sbEntry->linkedTo(this);
}

void SettingBin::unlinkSbEntry(SBEntry* sbEntry) {
  for (SettingEntry& e : _entryArr) {
    if (e.sbEntryT == sbEntry) e.sbEntryT = nullptr;
    if (e.sbEntryN == sbEntry) e.sbEntryN = nullptr;
  }
}

std::string SettingBin::sbEntryTitle(uint8_t entryNr, char entryType) {
  SettingEntry* e = getEntry(entryNr);
  SBEntry* sb = entryType == 'N' ? e->sbEntryN : e->sbEntryT;
  if (!sb) return "unknown";
  return std::string(sb->name()) + ", " + sb->tabName();
}

void SettingBin::file(const char* path) {
  delete[] _file;
  _file = nullptr;
  if (!path) return;
  size_t n = strlen(path);
  _file = new char[n + 1];
  memcpy(_file, path, n + 1);
}

void SettingBin::storeLine(const char* line, uint8_t entryNr) {
  SettingEntry& e = _entryArr[entryNr];
  const char* sep = strchr(line, '|');
  const char* textEnd = sep ? sep : line + strlen(line);
  // A text too long for the entry is cut; the number still starts after "|".
  // Characters the settings cannot keep (written by another program, or by
  // hand) are left out, and the user is told which entries lost some.
  size_t n = static_cast<size_t>(textEnd - line);
  bool dropped = copyAllowed(e.text, line, n, MAX_TEXT_EXT, allowedChar);
  const char* nr = sep ? sep + 1 : "";
  if (copyAllowed(e.tfnr, nr, strlen(nr), MAX_NRS, allowedNumChar)) dropped = true;
  if (dropped) {
    if (!_cleaned.empty()) _cleaned += ", ";
    _cleaned += "#" + std::to_string(entryNr);
  }
  if (entryNr == TOLTYPE_POS) {
    if (e.text[0] == '\0') strcpy(e.text, "TL8888GM-ED");
    if (_frame) _frame->showBestGroup(nullptr, e.text);
  }
}

bool SettingBin::loadFromFile() {
  if (!_file) return false;
  _fd = fopen(_file, "r");
  if (!_fd) return false;
  cleanUpEntries(false);
  _cleaned.clear();
  char line[FILE_LINE_LEN + 1];
  int c = 0;
  for (int nr = 1; c != EOF && nr <= FILE_LINES; nr++) {
    c = TextLine::read(_fd, line, sizeof line);
    storeLine(line, static_cast<uint8_t>(nr));
  }
  enableEdit();
  fclose(_fd);
  _fd = nullptr;
  markUnmodified();
  if (!_cleaned.empty()) {
    std::string text = std::string(gettext("Attentie!! Bestand", 0)) + " \"" + _file + "\"\n" +
                       gettext("Tekens die niet opgeslagen of geprogrammeerd kunnen worden", 0) +
                       " (\" | ; / " + gettext("en stuurtekens", 0) + ") " +
                       gettext("zijn weggelaten uit", 0) + ":\n" + _cleaned + "\n";
    if (FrmKestrumImpl::CMDL_PROGRAM || RevPackDb::CMDL_UPGRADE) {
      // Nobody to answer a dialog: the notice goes to the trace and the output.
      B_EXCEPTION(text);
      printf("%s", text.c_str());
      fflush(stdout);
    } else {
      UserDialog::alert(text.c_str());
    }
  }
  return true;
}

bool SettingBin::storeToFile() {
  bool ok = false;
  if (_file) {
    SafeFileWriter writer(_file);
    _fd = writer.open();
    if (_fd) {
      for (int nr = 1; nr <= FILE_LINES; nr++)
        fprintf(_fd, "%s|%s\n", _entryArr[nr].text, _entryArr[nr].tfnr);
    }
    _fd = nullptr;
    ok = writer.commit();
    if (ok)
      markUnmodified();
    else
      writer.reportFailure();
  }
  if (_frame) _frame->showBestGroup(nullptr, tolType());
  return ok;
}

void SettingBin::enableEdit() {
  if (_frame) _frame->createSettingEdit();
}

void SettingBin::cleanUpEntries(bool cleanTolType) {
  for (int i = 0; i < MAX_ENTRIES; i++) {
    if (!cleanTolType && (i == TOLTYPE_POS || i == TOLSPECIAL_POS)) continue;
    _entryArr[i].cleanup();
  }
}

bool SettingBin::allowedChar(char c) {
  if (c == '\0') return true;
  return strchr(_txtNotAllowedChars, c) == nullptr && !controlChar(c);
}

bool SettingBin::allowedNumChar(char c) {
  if (c == '\0') return true;
  return c != '"' && c != '|' && !controlChar(c);
}

void SettingBin::fetchStart() {
  if (!_fetch) _fetch = new Values[MAX_ENTRIES];
  // Entries the device does not send keep what they held.
  for (int i = 0; i < MAX_ENTRIES; i++) {
    memcpy(_fetch[i].text, _entryArr[i].text, sizeof _fetch[i].text);
    memcpy(_fetch[i].tfnr, _entryArr[i].tfnr, sizeof _fetch[i].tfnr);
  }
}

void SettingBin::fetchEnd(bool complete) {
  if (!_fetch) return;
  if (complete) {
    for (int i = 0; i < MAX_ENTRIES; i++) {
      memcpy(_entryArr[i].text, _fetch[i].text, sizeof _fetch[i].text);
      memcpy(_entryArr[i].tfnr, _fetch[i].tfnr, sizeof _fetch[i].tfnr);
    }
  }
  delete[] _fetch;
  _fetch = nullptr;
}

bool SettingBin::modified() const {
  for (int i = 1; i < MAX_ENTRIES; i++)
    if (strcmp(_saved[i].text, _entryArr[i].text) != 0 ||
        strcmp(_saved[i].tfnr, _entryArr[i].tfnr) != 0)
      return true;
  return false;
}

void SettingBin::markUnmodified() {
  for (int i = 0; i < MAX_ENTRIES; i++) {
    memcpy(_saved[i].text, _entryArr[i].text, sizeof _saved[i].text);
    memcpy(_saved[i].tfnr, _entryArr[i].tfnr, sizeof _saved[i].tfnr);
  }
}

SettingBin::NetworkType SettingBin::charToNetworktype(char c) {
  switch (c) {
    case 'G': return GSM;
    case 'I':
    case 'N':
    case 'W': return GPRS;
    case 'P': return PSTN;
    default:
      B_ASSERT(false, "unknown networktype '" << c << "'");
      return UNDEF_TP;
  }
}

SettingBin::ReportFunction SettingBin::charToReportFunction(char c) {
  switch (c) {
    case 'M': return MODEM_SMS;
    case 'S': return SMS;
    default: return UNDEF_FNC;
  }
}

SettingBin::PowerOption SettingBin::charToPowerOption(char c) {
  switch (c) {
    case 'E': return EXTERNAL;
    case 'A': return ACCUMULATOR;
    case 'B': return BATTERY;
    default:
      B_ASSERT(false, "unknown power option '" << c << "'");
      return UNDEF_PWR;
  }
}
