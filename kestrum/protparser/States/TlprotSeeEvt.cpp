#include "TlprotSeeEvt.h"

#include <cstring>

#include "BDiag.h"
#include "TlWire.h"
#include "TlprotSignals.h"

TlprotSeeEvt::TlprotSeeEvt()
    : BBindingEvent(TLPROT_SET_ENTRY, true), _entryNr(0), _f1data(nullptr), _f2data(nullptr) {}

TlprotSeeEvt::~TlprotSeeEvt() {
  delete[] _f1data;
  delete[] _f2data;
}

char* TlprotSeeEvt::dup(const char* text, size_t length) {
  size_t n = text ? strnlen(text, length) : 0;
  char* copy = new char[n + 1];
  if (n) memcpy(copy, text, n);
  copy[n] = '\0';
  return copy;
}

void TlprotSeeEvt::f1data(const char* text, size_t length) {
  char* copy = dup(text, length);
  delete[] _f1data;
  _f1data = copy;
}

void TlprotSeeEvt::f1data(const char* text) { f1data(text, text ? strlen(text) : 0); }

void TlprotSeeEvt::f2data(const char* text, size_t length) {
  char* copy = dup(text, length);
  delete[] _f2data;
  _f2data = copy;
}

void TlprotSeeEvt::f2data(const char* text) { f2data(text, text ? strlen(text) : 0); }

void TlprotSeeEvt::convertF1(char from, char to) { TlWire::convert(_f1data, from, to); }

void TlprotSeeEvt::printData(DebugLevel level) const {
  if (!(level & DBG_DATA)) return;
  BDiag::print("virtual void TlprotSeeEvt::printData(DebugLevel) const");
  BDiag::print("seeEvt::entryNr: " + std::to_string(_entryNr));
  BDiag::print(std::string("seeEvt::_f1data : \"") + (_f1data ? _f1data : "") + "\"");
  BDiag::print(std::string("seeEvt::_f2data : \"") + (_f2data ? _f2data : "") + "\"");
}
