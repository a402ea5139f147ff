#ifndef SIMAPP_H
#define SIMAPP_H

#include "SimDevice.h"
#include "SimLine.h"
#include "SimLog.h"
#include "SimOptions.h"
#include "SimPty.h"

#include <string>

// The simulator process: one single-threaded poll loop over the pty, the
// control inputs and a signal pipe, feeding the paced line into the device.
class SimApp {
public:
  explicit SimApp(const SimOptions& options);
  ~SimApp();
  SimApp(const SimApp&) = delete;
  SimApp& operator=(const SimApp&) = delete;

  // Returns the process exit code.
  int run();

private:
  bool setUp();
  void loopOnce();
  void readPty();
  void readControl(int& fd, std::string& pending, bool isStdin);
  void command(const std::string& line);
  void reply(const std::string& text);
  void unplug();
  bool replug(std::string& err);
  bool openFifo();
  void send(const SimBytes& unit, const std::string& what);
  void splitProgress(double now);

  const SimOptions& _opt;
  SimLog _log;
  SimPty _pty;
  SimLine _line;
  SimDevice _device;
  bool _quit = false;
  int _exitCode = 0;
  int _stdin = 0;
  std::string _stdinPending;
  int _fifo = -1;
  int _fifoKeeper = -1;
  std::string _fifoPending;
  // "split N MS": the next frame sent stops after N bytes for MS ms.
  int _splitBytes = 0;
  int _splitPauseMs = 0;
  bool _held = false;
  double _heldUntil = -1;
  SimBytes _heldRest;
  std::string _heldWhat;
  size_t _heldFirst = 0;
  size_t _heldSize = 0;
};

#endif
