#ifndef SIMENTRY_H
#define SIMENTRY_H

#include <string>
#include <utility>

// One setting entry as the device keeps it: a text (with "\" as in a settings
// file) and a number text.
class SimEntry {
public:
  SimEntry() = default;
  SimEntry(std::string text, std::string number) : _text(std::move(text)), _number(std::move(number)) {}

  const std::string& text() const { return _text; }
  void text(const std::string& t) { _text = t; }
  const std::string& number() const { return _number; }
  void number(const std::string& n) { _number = n; }

private:
  std::string _text;
  std::string _number;
};

#endif
