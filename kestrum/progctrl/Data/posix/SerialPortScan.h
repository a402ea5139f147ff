#ifndef SERIALPORTSCAN_H
#define SERIALPORTSCAN_H

#include <string>
#include <vector>

// Finds the serial ports that can be opened now: the device nodes ttyUSB*,
// ttyACM* and ttyS* of a device directory, each opened and closed at once.
class SerialPortScan {
public:
  // Full names ("/dev/ttyUSB0"), USB and ACM ports first, each family in
  // numeric order; at most max of them.
  static std::vector<std::string> scan(const char* devDir, size_t max);
  // The node opens for reading and writing without becoming our terminal.
  static bool canOpen(const char* path);
};

#endif
