#ifndef BDIAG_H
#define BDIAG_H

#include <sstream>
#include <string>

#include "BTypes.h"

class BEvent;
class BRootState;

// The one place where diagnostic lines are formatted. The trace facility
// installs the two sinks (remote debug stream, trace log); until it does,
// both sinks discard what they get, like an unconnected debug stream.
class BDiag {
public:
  typedef void (*Sink)(const std::string& text);

  static void remoteSink(Sink sink);
  static void logSink(Sink sink);
  static Sink remoteSink();
  static Sink logSink();

  // Raw output to the remote debug stream / the trace log.
  static void remote(const std::string& text);
  static void log(const std::string& text);

  // "2009/03/07/14:05:09": local time.
  static std::string timeStamp();

  // "vask/cpp/BState.cpp" -> "vask/cpp/BState".
  static std::string modulePath(const char* file);

  // file SP line NL "Assertion failed: " cond SP msg NL, to the remote stream.
  static void assertion(const char* file, int line, const char* cond, const std::string& msg);
  // time stamp SP file SP line NL ["Fatal "] "Exception: " msg NL, to both sinks.
  static void exception(const char* file, int line, const std::string& msg, bool fatal = false);
  // file SP line NL "Downcast failed: cannot cast " var " to type " type NL.
  static void downcastFailed(const char* file, int line, const char* type, const char* var);
  // Runs a textual trace command (installed by the trace facility).
  static void commandRunner(Sink runner);
  static void command(const std::string& text);
  // Root states register with the trace facility (which gives them their
  // debug level); events about to be delivered may be diverted by it.
  typedef void (*Registrar)(bool add, BRootState* root);
  typedef bool (*ReRouter)(BEvent* e, ModuleId mod, ComponentId cmp);
  typedef void (*Lifecycle)();
  static void traceHooks(Registrar registrar, ReRouter reRouter, Lifecycle create, Lifecycle destroy);
  static void registerRootState(bool add, BRootState* root);
  static bool reRouteEvent(BEvent* e, ModuleId mod, ComponentId cmp);
  static void createTrace();
  static void destroyTrace();

  // A trace line: optional "timestamp;" prefix and new line, to both sinks.
  static void print(const std::string& text, bool timeStamp = true, bool newLine = true);
};

#define B_ASSERT(cond, msg)                                                 \
  do {                                                                      \
    if (!(cond)) {                                                          \
      std::ostringstream b_os_;                                             \
      b_os_ << msg;                                                         \
      BDiag::assertion(__FILE__, __LINE__, #cond, b_os_.str());             \
    }                                                                       \
  } while (0)

// For conditions whose printed text must differ from the C++ expression.
#define B_ASSERT_TXT(cond, text, msg)                                       \
  do {                                                                      \
    if (!(cond)) {                                                          \
      std::ostringstream b_os_;                                             \
      b_os_ << msg;                                                         \
      BDiag::assertion(__FILE__, __LINE__, text, b_os_.str());              \
    }                                                                       \
  } while (0)

#define B_EXCEPTION(msg)                                                    \
  do {                                                                      \
    std::ostringstream b_os_;                                               \
    b_os_ << msg;                                                           \
    BDiag::exception(__FILE__, __LINE__, b_os_.str(), false);               \
  } while (0)

#define B_FATAL_EXCEPTION(msg)                                              \
  do {                                                                      \
    std::ostringstream b_os_;                                               \
    b_os_ << msg;                                                           \
    BDiag::exception(__FILE__, __LINE__, b_os_.str(), true);                \
  } while (0)

#endif
