#ifndef TLPROTSEEEVT_H
#define TLPROTSEEEVT_H

#include <cstddef>
#include <cstdint>

#include "BBindingEvent.h"

// One setting entry: its number, its text (field 1) and its number text
// (field 2). Travels both ways between controller and parser.
class TlprotSeeEvt : public BBindingEvent {
public:
  TlprotSeeEvt();
  ~TlprotSeeEvt() override;
  void printData(DebugLevel level) const override;

  uint8_t entryNr() const { return _entryNr; }
  void entryNr(uint8_t n) { _entryNr = n; }
  // Fresh owned copies of at most length characters (fewer when the text
  // ends before).
  void f1data(const char* text, size_t length);
  void f1data(const char* text);
  void f2data(const char* text, size_t length);
  void f2data(const char* text);
  const char* f1data() const { return _f1data; }
  const char* f2data() const { return _f2data; }
  void convertF1(char from, char to);

private:
  static char* dup(const char* text, size_t length);

  uint8_t _entryNr;
  char* _f1data;
  char* _f2data;
};

#endif
