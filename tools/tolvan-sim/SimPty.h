#ifndef SIMPTY_H
#define SIMPTY_H

#include <string>

// The pseudo-terminal that stands in for the device's serial port. The
// program opens the slave side; we hold the master. One slave descriptor
// stays open inside the simulator, so that reading the master never fails
// with EIO while no program has the port open.
class SimPty {
public:
  SimPty() = default;
  ~SimPty();
  SimPty(const SimPty&) = delete;
  SimPty& operator=(const SimPty&) = delete;

  // Opens a new pty with a raw line (no echo). False with error() set.
  bool open();
  // Closes both sides: a program that has the slave open sees a hang-up.
  void close();
  bool isOpen() const { return _master >= 0; }

  // Points the symbolic link at the current slave, replacing an old link.
  bool link(const std::string& linkPath);
  // Removes the link when it still points at our slave.
  void unlink(const std::string& linkPath);

  int master() const { return _master; }
  const std::string& slavePath() const { return _slavePath; }
  const std::string& error() const { return _error; }

private:
  int _master = -1;
  int _slave = -1;
  std::string _slavePath;
  std::string _error;
};

#endif
