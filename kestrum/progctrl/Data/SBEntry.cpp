#include "SBEntry.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "Language.h"
#include "SettingBin.h"

namespace {
// Copies one ";"-separated column into dst (at most size - 1 characters) and
// steps over the separator. False when the column was longer.
bool column(char* dst, size_t size, const char** pos) {
  const char* p = *pos;
  size_t n = 0;
  bool fits = true;
  while (*p && *p != ';') {
    if (n + 1 < size)
      dst[n++] = *p;
    else
      fits = false;
    p++;
  }
  dst[n] = '\0';
  if (*p == ';') p++;
  *pos = p;
  return fits;
}

// Copies at most size - 1 characters of [from, to) into dst.
void copyRange(char* dst, size_t size, const char* from, const char* to) {
  size_t n = static_cast<size_t>(to - from);
  if (n > size - 1) n = size - 1;
  memcpy(dst, from, n);
  dst[n] = '\0';
}

// The first word of text (up to white space), at most size - 1 characters.
void firstWord(char* dst, size_t size, const char* text) {
  const char* end = text;
  while (*end && !isspace(static_cast<unsigned char>(*end))) end++;
  copyRange(dst, size, text, end);
}
}  // namespace

SBEntry::SBEntry(const char* line, SettingBin* settingBin)
    : _entry(0),
      _entryType(INVALID_TYPE),
      _list('\0'),
      _nrMenuItems(0),
      _subItems(false),
      _maxNr(0),
      _minNr(0),
      _settingBin(settingBin),
      _linkedTo(nullptr) {
  char* strs[] = {_strEntry, _strList, _name,     _tabName, _type,    _help,
                  _tabHelp,  _selTL,   _selDigIn, _selUIn,  _selIIn,  _selRelOut,
                  _selNetw,  _selFunc, _selPower, _selMount, _selSpecial, _default};
  for (char* s : strs) s[0] = '\0';
  for (int i = 0; i < MAX_MENU_ITEMS; i++) {
    _menuItems[i][0] = '\0';
    _subItemTxt[i][0] = '\0';
    _subItemVal[i][0] = '\0';
  }
  if (line && parseLine(line) && variantMatches()) parseKind();
}

SBEntry::~SBEntry() {
  if (_linkedTo) _linkedTo->unlinkSbEntry(this);
}

bool SBEntry::parseLine(const char* line) {
  const char* pos = line;
  struct Col {
    char* dst;
    size_t size;
  } cols[] = {{_strEntry, sizeof _strEntry}, {_strList, sizeof _strList},
              {_name, sizeof _name},         {_tabName, sizeof _tabName},
              {_type, sizeof _type},         {_help, sizeof _help},
              {_tabHelp, sizeof _tabHelp},   {_selTL, sizeof _selTL},
              {_selDigIn, sizeof _selDigIn}, {_selUIn, sizeof _selUIn},
              {_selIIn, sizeof _selIIn},     {_selRelOut, sizeof _selRelOut},
              {_selNetw, sizeof _selNetw},   {_selFunc, sizeof _selFunc},
              {_selPower, sizeof _selPower}, {_selMount, sizeof _selMount},
              {_selSpecial, sizeof _selSpecial}};
  bool ok = true;
  for (Col& c : cols)
    if (!column(c.dst, c.size, &pos)) ok = false;
  if (!ok) return false;
  if (sscanf(_strEntry, "%d", &_entry) != 1 || _entry < 1 || _entry > 200) return false;
  if (_strList[0] != 'T' && _strList[0] != 'N') return false;
  _list = _strList[0];
  return _name[0] != '\0' && _tabName[0] != '\0' && _type[0] != '\0';
}

bool SBEntry::filterPasses(const char* filter, char c) {
  if (!filter || filter[0] == '\0') return true;
  if (isdigit(static_cast<unsigned char>(c))) {
    if (filter[1] == '+') return filter[0] <= c;
    return filter[0] == c;
  }
  return c != '\0' && strchr(filter, c) != nullptr;
}

bool SBEntry::variantMatches() const {
  const char* type = _settingBin ? _settingBin->tolType() : "";
  const char* special = _settingBin ? _settingBin->tolSpecial() : "";
  size_t len = strlen(type);
  auto at = [&](size_t pos) { return pos < len ? type[pos] : '\0'; };
  return filterPasses(_selDigIn, at(2)) && filterPasses(_selUIn, at(3)) &&
         filterPasses(_selIIn, at(4)) && filterPasses(_selRelOut, at(5)) &&
         filterPasses(_selNetw, at(6)) && filterPasses(_selFunc, at(7)) &&
         filterPasses(_selPower, at(9)) && filterPasses(_selMount, at(10)) &&
         strstr(special, _selSpecial) != nullptr;
}

void SBEntry::parseKind() {
  const char* kind = type();
  if (strcmp(kind, "ascii") == 0) {
    _entryType = ASCII_INPUT_TYPE;
  } else if (strcmp(kind, "tel") == 0) {
    _entryType = TEL_INPUT_TYPE;
  } else if (strncmp(kind, "num:", 4) == 0) {
    _entryType = NUM_INPUT_TYPE;
    // The range before the "|" is shown, not enforced.
    const char* rest = strchr(kind + 4, '|');
    if (rest && strstr(rest + 1, "default:")) {
      const char* colon = strchr(rest + 1, ':');
      if (colon && colon != rest + 1) firstWord(_default, sizeof _default, colon + 1);
    }
  } else if (strncmp(kind, "sel:", 4) == 0) {
    _entryType = INPUT_CHOICE_TYPE;
    parseSelItems(kind + 4);
  } else {
    _entryType = INVALID_TYPE;
  }
}

void SBEntry::parseSelItems(const char* items) {
  const char* p = items;
  while (_nrMenuItems < MAX_MENU_ITEMS) {
    const char* end = strchr(p, '|');
    if (!end) end = p + strlen(p);
    copyRange(_menuItems[_nrMenuItems], sizeof _menuItems[0], p, end);
    _nrMenuItems++;
    if (*end == '\0') break;
    p = end + 1;
  }
  for (int i = 0; i < _nrMenuItems; i++)
    if (strchr(_menuItems[i], ':')) _subItems = true;
  if (!_subItems) return;
  for (int i = 0; i < _nrMenuItems; i++) {
    const char* item = _menuItems[i];
    const char* colon = strchr(item, ':');
    // Without a shown text before the ":" the item has neither text nor value.
    if (!colon || colon == item) continue;
    copyRange(_subItemTxt[i], sizeof _subItemTxt[i], item, colon);
    firstWord(_subItemVal[i], sizeof _subItemVal[i], colon + 1);
  }
}

const char* SBEntry::name() const { return gettext(_name, 0); }
const char* SBEntry::tabName() const { return gettext(_tabName, 0); }
const char* SBEntry::type() const { return gettext(_type, 0); }
const char* SBEntry::help() const { return gettext(_help, 0); }

bool SBEntry::tabNameIs(const char* name) const {
  return name && strcmp(tabName(), name) == 0;
}

char* SBEntry::menuItem(int i, bool value) {
  if (i < 0 || i >= _nrMenuItems) return nullptr;
  if (!_subItems) return _menuItems[i];
  return value ? _subItemVal[i] : _subItemTxt[i];
}

char* SBEntry::menuItem(const char* s, bool value) {
  if (!s) return nullptr;
  for (int i = 0; i < _nrMenuItems; i++) {
    const char* shown = _subItems ? _subItemTxt[i] : _menuItems[i];
    if (strcmp(shown, s) == 0) return menuItem(i, value);
  }
  return nullptr;
}

int SBEntry::menuItem(char* s, bool value) { return itemIndex(s, value); }

int SBEntry::itemIndex(const char* s, bool value) const {
  if (!s) return _nrMenuItems;
  for (int i = 0; i < _nrMenuItems; i++) {
    const char* item = !_subItems ? _menuItems[i] : (value ? _subItemVal[i] : _subItemTxt[i]);
    if (strcmp(item, s) == 0) return i;
  }
  return _nrMenuItems;
}
