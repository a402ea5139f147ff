#ifndef SIMPROCESS_H
#define SIMPROCESS_H

#include <string>
#include <vector>

#include "ChildProcess.h"

// The built tolvan-sim as a child process, talked to through control lines
// on its standard input and output.
class SimProcess {
public:
  explicit SimProcess(const std::vector<std::string>& args);
  ~SimProcess();

  // The slave path from the "PORT" line; empty when the start failed.
  const std::string& port() const { return _port; }
  // Sends a control line and returns the answer line ("" on time-out).
  std::string command(const std::string& line, int timeoutMs = 3000);

private:
  std::string readLine(int timeoutMs);

  ChildProcess _proc;
  size_t _read = 0;  // how much of the output the lines took
  std::string _port;
};

#endif
