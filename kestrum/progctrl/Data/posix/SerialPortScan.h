#ifndef SERIALPORTSCAN_H
#define SERIALPORTSCAN_H

#include <string>
#include <vector>

// Finds the serial ports that can be opened now: the stable names that udev
// gives USB adapters in serial/by-id of a device directory, and the device
// nodes ttyUSB*, ttyACM* and ttyS*, each opened and closed at once.
class SerialPortScan {
public:
  // Full names: the by-id links first, in name order (they stay the same
  // whichever socket the adapter is plugged into), then "/dev/ttyUSB0" and
  // the like, USB and ACM ports first, each family in numeric order. At most
  // max of them, none longer than maxNameLen.
  static std::vector<std::string> scan(const char* devDir, size_t max, size_t maxNameLen = std::string::npos);
  // Where the stable names live below a device directory.
  static std::string byIdDir(const char* devDir);
  // The node opens for reading and writing without becoming our terminal.
  static bool canOpen(const char* path);
};

#endif
