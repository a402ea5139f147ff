#ifndef SIMPROCESS_H
#define SIMPROCESS_H

#include <string>
#include <sys/types.h>
#include <vector>

// Runs the built tolvan-sim as a child process with pipes on its stdin and
// stdout, and talks to it through control lines.
class SimProcess {
public:
  explicit SimProcess(const std::vector<std::string>& args);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  static std::string binary();

  // The slave path from the "PORT" line; empty when the start failed.
  const std::string& port() const { return _port; }
  // Sends a control line and returns the answer line ("" on time-out).
  std::string command(const std::string& line, int timeoutMs = 3000);
  // The next stdout line, "" on time-out or end.
  std::string readLine(int timeoutMs);
  void closeStdin();
  void terminate();
  // Waits for the exit; the exit code, or -1 when it did not end in time.
  int waitExit(int timeoutMs);

private:
  pid_t _pid = -1;
  int _in = -1;
  int _out = -1;
  std::string _buffer;
  std::string _port;
  bool _exited = false;
};

#endif
