#ifndef PTYPAIR_H
#define PTYPAIR_H

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "WaitUntil.h"

// A pseudo-terminal for the tests: the program opens the slave side by its
// path like a serial port, the test plays the device on the master side.
// Bytes pass on asynchronously: wait for them with waitUntil.
struct PtyPair {
  int master = -1;
  std::string slave;

  PtyPair() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
    slave = ptsname(master);
    struct termios tio;
    if (tcgetattr(master, &tio) == 0) {
      cfmakeraw(&tio);
      tcsetattr(master, TCSANOW, &tio);
    }
  }
  ~PtyPair() { hangUp(); }
  bool ok() const { return master >= 0 && !slave.empty(); }
  // The far end goes away, as when the device is unplugged.
  void hangUp() {
    if (master >= 0) close(master);
    master = -1;
  }

  void send(const std::vector<unsigned char>& bytes) const {
    for (size_t done = 0; done < bytes.size();) {
      ssize_t w = write(master, bytes.data() + done, bytes.size() - done);
      if (w <= 0) break;
      done += static_cast<size_t>(w);
    }
  }

  // What the program wrote, collected until nothing more comes for quietMs.
  std::vector<unsigned char> receive(int quietMs = 100) const {
    std::vector<unsigned char> out;
    unsigned char buf[4096];
    for (struct pollfd p = {master, POLLIN, 0}; poll(&p, 1, quietMs) > 0;) {
      ssize_t r = read(master, buf, sizeof buf);
      if (r <= 0) break;
      out.insert(out.end(), buf, buf + r);
    }
    return out;
  }
};

#endif
