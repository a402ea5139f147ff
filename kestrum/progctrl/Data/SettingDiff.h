#ifndef SETTINGDIFF_H
#define SETTINGDIFF_H

#include <string>
#include <vector>

class SettingBin;

// The settings a device should hold, kept aside and compared with what it
// does hold after reading it back: by "-verify" on the command line and by
// the window's check after programming. Entries 1..200 are compared, text
// and number each; an entry the device did not send counts as empty.
class SettingDiff {
public:
  struct Difference {
    int entry;
    char list;           // 'T' the entry's text, 'N' its number
    std::string field;   // the field's name in config.csv (translated); empty when it has none
    std::string tab;     // its tab sheet (translated); empty when none
    std::string fileValue;
    std::string deviceValue;
  };

  SettingDiff();
  // Takes a copy of the entries of settings (the reference).
  explicit SettingDiff(SettingBin& settings);
  virtual ~SettingDiff();

  void take(SettingBin& settings);
  bool empty() const { return _text.empty(); }
  // Puts the reference back into settings (texts and numbers only).
  void restoreInto(SettingBin& settings) const;

  // What differs between the reference and device. Field names come from
  // configFile for the device variant of the reference (entry 10); a field
  // that the variant hides is still named.
  std::vector<Difference> compare(SettingBin& device, const char* configFile) const;

  // One line per difference: entry 12 "Telefoon 2" (Telefoonnummers): file "0612" device "0687".
  static std::string line(const Difference& d);

  static const int FIRST = 1;
  static const int LAST = 200;

private:
  std::vector<std::string> _text;
  std::vector<std::string> _number;
};

#endif
