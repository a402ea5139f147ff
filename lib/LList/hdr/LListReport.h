#ifndef LLISTREPORT_H
#define LLISTREPORT_H

// Where the list templates report a call of an operation they do not
// provide. The lists depend on nothing else; whoever links them (the
// runtime) installs a reporter, and until then such a call is silent.
typedef void (*LListReporter)(const char* file, int line, const char* message);

inline LListReporter& llistReporter() {
  static LListReporter reporter = nullptr;
  return reporter;
}

inline void llistReport(const char* file, int line, const char* message) {
  if (llistReporter()) llistReporter()(file, line, message);
}

#endif
