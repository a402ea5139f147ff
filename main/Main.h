#ifndef MAIN_H
#define MAIN_H

#include <csignal>

#include "BMainState.h"

// The application's top state: it holds the controller as its region and the
// process-wide shutdown and exit-code variables.
class Main : public BMainState {
public:
  Main();
  ~Main() override;

  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onExit(const BEvent* e) override;
  bool isPersistent() override { return true; }
  void onInitial(const BEvent* e, RegionId region) override;
  void onDone(const BEvent* e, RegionId region) override;
  void onError(const BEvent* e, RegionId region) override;
  void onSleep() override;
  void printStateData(int argc, char** argv) override;

  // True as well once SIGTERM or SIGINT arrived: waits inside handlers
  // (dialogs, the wait for a bin file) end on it.
  static bool shutdownActive() { return _shutdown || _stopSignal != 0; }
  static bool stopRequested() { return _stopSignal != 0; }

  static const char* _dbgAddr;
  static int _dbgPort;
  static bool _wsStartupDll;
  static bool _shutdown;
  static int _exitCode;
  static const char* _refPackFile;
  // Set by the handler of SIGTERM and SIGINT, read by the main loop.
  static volatile std::sig_atomic_t _stopSignal;

private:
  // The socket library needs no start-up on this platform; kept for the
  // same meaning of _wsStartupDll.
  [[maybe_unused]] int _wsaData;
};

#endif
