#include "PortWatch.h"

#include <FL/Fl.H>

#include "TlcdrvRoot.h"

unsigned long PortWatch::_wakeups = 0;

void PortWatch::install() { TlcdrvRoot::portWatch(watch); }

void PortWatch::uninstall() { TlcdrvRoot::portWatch(nullptr); }

void PortWatch::watch(int fd, bool on) {
  if (on)
    Fl::add_fd(fd, FL_READ, readable);
  else
    Fl::remove_fd(fd, FL_READ);
}

// Ends the toolkit's wait; the loop's next readCom() reads the bytes.
void PortWatch::readable(int, void*) {
  ++_wakeups;
  TlcdrvRoot::portReadable();
}
