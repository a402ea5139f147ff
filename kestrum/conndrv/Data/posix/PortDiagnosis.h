#ifndef PORTDIAGNOSIS_H
#define PORTDIAGNOSIS_H

#include <sys/types.h>

#include <string>
#include <vector>

// Says why a serial port that exists could not be used and what the user
// can do about it: a missing group membership, another program holding the
// port (ModemManager probing it, a second Kestrum), brltty taking a USB
// serial adapter for a braille display.
class PortDiagnosis {
public:
  struct Holder {
    pid_t pid;
    std::string name;
  };

  // The explanation for a failed open of path with the system error err.
  static std::string explain(const std::string& path, int err);
  // A warning when a program known to talk to serial ports has path open
  // although we could open it too (it may take the device's answers);
  // empty when none does.
  static std::string sharedWarning(const std::string& path);

  // The processes other than this one that have the device open, as far as
  // this user may see them.
  static std::vector<Holder> holders(const std::string& path);
  // The process ids of running programs with this name (other than this one).
  static std::vector<pid_t> running(const std::string& name);

  // Where processes are listed ("/proc"); tests point it elsewhere.
  static void procDir(const std::string& dir) { _procDir = dir; }
  static const std::string& procDir() { return _procDir; }

private:
  static std::string advice(const Holder& h);
  static std::string processName(pid_t pid);

  static std::string _procDir;
};

#endif
