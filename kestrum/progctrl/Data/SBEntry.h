#ifndef SBENTRY_H
#define SBENTRY_H

class SettingBin;

// One line of "config.csv": the description of one input field of the
// settings form, checked against the device variant of the settings.
class SBEntry {
public:
  enum EntryType {
    ASCII_INPUT_TYPE = 0,
    TEL_INPUT_TYPE = 1,
    NUM_INPUT_TYPE = 2,
    CHOICE_TYPE = 3,
    INPUT_CHOICE_TYPE = 4,
    RADIO_BUTTON_TYPE = 5,
    MENU_BUTTON_TYPE = 6,
    INVALID_TYPE = 7
  };
  static const int MAX_MENU_ITEMS = 20;
  static const int MAX_ITEM_LEN = 39;

  // entryType() is INVALID_TYPE when the line is no field description or the
  // field does not apply to the settings' device variant.
  SBEntry(const char* line, SettingBin* settingBin);
  virtual ~SBEntry();

  int entry() const { return _entry; }
  char list() const { return _list; }
  EntryType entryType() const { return _entryType; }
  // Label, tab name, kind and help page come translated.
  const char* name() const;
  const char* tabName() const;
  const char* type() const;
  const char* help() const;
  // Translated by the sheet that shows it.
  const char* tabHelp() const { return _tabHelp; }
  bool tabNameIs(const char* name) const;
  int nrMenuItems() const { return _nrMenuItems; }
  bool subItems() const { return _subItems; }
  // Shown when the entry is empty; empty when the kind has no default.
  const char* defaultEntry() const { return _default; }
  int maxNr() const { return _maxNr; }
  int minNr() const { return _minNr; }

  // Item i: its text, or with sub-items its value (value true) or shown text.
  char* menuItem(int i, bool value);
  // The item shown as s: its value (value true) or shown text; null when none.
  char* menuItem(const char* s, bool value);
  // Index of the first item whose value (value true) or shown text is s;
  // nrMenuItems() when none.
  int menuItem(char* s, bool value);

  // The settings store that links one of its entries to this description
  // (null: none); it is told when the description goes away.
  void linkedTo(SettingBin* settingBin) { _linkedTo = settingBin; }

  // One variant filter against the type character c ('\0': none).
  static bool filterPasses(const char* filter, char c);

private:
  bool parseLine(const char* line);
  bool variantMatches() const;
  void parseKind();
  void parseSelItems(const char* items);
  int itemIndex(const char* s, bool value) const;

  int _entry;
  EntryType _entryType;
  char _list;
  char _strEntry[10];
  char _strList[10];
  char _name[80];
  char _tabName[80];
  char _type[160];
  char _help[80];
  char _tabHelp[80];
  char _selTL[20];
  char _selDigIn[20];
  char _selUIn[20];
  char _selIIn[20];
  char _selRelOut[20];
  char _selNetw[20];
  char _selFunc[20];
  char _selPower[20];
  char _selMount[20];
  char _selSpecial[20];
  int _nrMenuItems;
  char _menuItems[MAX_MENU_ITEMS][MAX_ITEM_LEN + 1];
  bool _subItems;
  char _subItemTxt[MAX_MENU_ITEMS][MAX_ITEM_LEN + 1];
  char _subItemVal[MAX_MENU_ITEMS][MAX_ITEM_LEN + 1];
  char _default[80];
  int _maxNr;
  int _minNr;
  SettingBin* _settingBin;
  SettingBin* _linkedTo;
};

#endif
