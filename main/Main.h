#ifndef MAIN_H
#define MAIN_H

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

  static bool shutdownActive() { return _shutdown; }

  static const char* _dbgAddr;
  static int _dbgPort;
  static bool _wsStartupDll;
  static bool _shutdown;
  static int _exitCode;
  static const char* _refPackFile;

private:
  // The socket library needs no start-up on this platform; kept for the
  // same meaning of _wsStartupDll.
  [[maybe_unused]] int _wsaData;
};

// Cuts path in place after its directory part (no trailing separator); a path
// without a separator becomes "." (the current directory). Null gives null.
char* filename_dir(char* path);

#endif
