#ifndef PORTWATCH_H
#define PORTWATCH_H

// Hooks the connection driver's serial port into the toolkit's wait, so that
// the main loop wakes as soon as the device sends instead of when its 10 ms
// wait ends. The driver registers the descriptor when the port opens and
// removes it before the port closes or once the line hung up.
class PortWatch {
public:
  static void install();
  static void uninstall();
  // The hook handed to the driver: registers or removes fd with the toolkit.
  static void watch(int fd, bool on);
  // How often the toolkit reported the port readable (for diagnosis).
  static unsigned long wakeups() { return _wakeups; }

private:
  static void readable(int fd, void* data);
  static unsigned long _wakeups;
};

#endif
