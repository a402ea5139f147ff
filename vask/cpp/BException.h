#ifndef BEXCEPTION_H
#define BEXCEPTION_H

#include <string>

// The runtime's exception hook: it prints, nothing else (no reset, no exit).
class BException {
public:
  enum ExceptionType { EXC_WARNING = 0, EXC_ERROR = 1, EXC_FATAL = 2 };
  static void exception(ExceptionType type, std::string text);
  static bool _ignoreReset;
};

#endif
