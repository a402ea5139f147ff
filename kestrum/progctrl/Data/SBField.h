#ifndef SBFIELD_H
#define SBFIELD_H

#include <string>

class Fl_Widget;
class SBEntry;
class SBTabs;
class SettingBin;

// What every field of the settings form shares: its look, and its help page
// shown in the form's help view when the user turns to it.
class SBField {
public:
  static const int INIT_W = 180;
  static const int INIT_H = 21;
  static const int TEXT_SIZE = 12;

  // Label (the entry's translated name) and label size.
  static void prepare(Fl_Widget* field, const SBEntry* entry);
  // The form the field sits on; null when it is not placed.
  static SBTabs* formOf(const Fl_Widget* field);
  static void showHelp(const Fl_Widget* field, const SBEntry* entry);
  // A menu item's text as the menu must be given it, so that "/", "\" and a
  // leading "_" are shown as they are.
  static std::string menuText(const char* text);
  // Stores a chosen item's value as the entry's text or number (by its list).
  static void storeChoice(SettingBin* settings, const SBEntry* entry, const char* value);
};

#endif
