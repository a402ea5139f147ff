#include "SimPty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

SimPty::~SimPty() { close(); }

bool SimPty::open() {
  close();
  _master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (_master < 0) {
    _error = std::string("posix_openpt: ") + strerror(errno);
    return false;
  }
  char name[256];
  if (grantpt(_master) != 0 || unlockpt(_master) != 0 ||
      ptsname_r(_master, name, sizeof name) != 0) {
    _error = std::string("pty setup: ") + strerror(errno);
    close();
    return false;
  }
  _slavePath = name;
  _slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (_slave < 0) {
    _error = _slavePath + ": " + strerror(errno);
    close();
    return false;
  }
  // Raw before anyone else opens it: an echoing line would send every
  // request straight back to the program.
  termios tio;
  if (tcgetattr(_slave, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tio.c_cflag |= CLOCAL | CREAD;
    tcsetattr(_slave, TCSANOW, &tio);
  }
  return true;
}

void SimPty::close() {
  if (_slave >= 0)
    ::close(_slave);
  if (_master >= 0)
    ::close(_master);
  _slave = -1;
  _master = -1;
}

bool SimPty::link(const std::string& linkPath) {
  std::error_code ec;
  fs::file_status st = fs::symlink_status(linkPath, ec);
  if (fs::exists(st)) {
    // Never replace a real file or device with our link.
    if (!fs::is_symlink(st)) {
      _error = linkPath + ": exists and is not a symbolic link";
      return false;
    }
  }
  // Made beside the target name and renamed over it, so the link never
  // disappears for a program that looks it up meanwhile.
  std::string tmp = linkPath + ".tmp" + std::to_string(getpid());
  fs::remove(tmp, ec);
  fs::create_symlink(_slavePath, tmp, ec);
  if (!ec)
    fs::rename(tmp, linkPath, ec);
  if (ec) {
    _error = linkPath + ": " + ec.message();
    fs::remove(tmp, ec);
    return false;
  }
  return true;
}

void SimPty::unlink(const std::string& linkPath) {
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(linkPath, ec)) &&
      fs::read_symlink(linkPath, ec) == fs::path(_slavePath))
    fs::remove(linkPath, ec);
}
