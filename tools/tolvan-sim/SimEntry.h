#ifndef SIMENTRY_H
#define SIMENTRY_H

#include <string>

// One setting entry as the device keeps it: a text (with "\" as in a settings
// file) and a number text.
struct SimEntry {
  std::string text;
  std::string number;
  bool operator==(const SimEntry& o) const { return text == o.text && number == o.number; }
};

#endif
