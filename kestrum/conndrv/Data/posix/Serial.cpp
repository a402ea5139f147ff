#include "Serial.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

const int Serial::_intRate[NR_RATES] = {9600, 19200, 38400, 56000};
const char Serial::_intParity[3] = {0, 1, 2};
const char Serial::_intStopBits[2] = {0, 2};
const char Serial::_intByteSize[2] = {7, 8};
int Serial::_writeStallMs = 5000;

namespace {

speed_t speedOf(int rate) {
  switch (rate) {
    case 19200: return B19200;
    case 38400: return B38400;
    // 56000 baud has no termios constant; the nearest standard rate.
    case 56000: return B57600;
    default: return B9600;
  }
}

}  // namespace

Serial::Serial()
    : _rate(9600), _parity(0), _stopBits(0), _byteSize(8), _commHd(INVALID_HANDLE),
      _errorCode(ERR_NONE), _lastErrno(0), _watched(false), _hungUp(false), _wakeThreshold(1) {
  _port[0] = '\0';
}

Serial::~Serial() { closePort(); }

std::string Serial::devicePath(const char* portName) {
  std::string name = portName ? portName : "";
  if (name.size() > 3 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "com") == 0) &&
      name.find_first_not_of("0123456789", 3) == std::string::npos && name.size() <= 6) {
    int n = std::stoi(name.substr(3));
    if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
  }
  if (!name.empty() && name.find('/') == std::string::npos) return "/dev/" + name;
  return name;
}

void Serial::fail(int code, const std::string& reason, int err) {
  _errorCode = code;
  _lastErrno = err;
  _lastError = reason;
  if (err) {
    _lastError += ": ";
    _lastError += strerror(err);
  }
}

int Serial::connect(const char* portName, Rate rate, Parity parity, StopBits stopBits,
                    ByteSize byteSize) {
  closePort();
  _errorCode = ERR_NONE;
  _lastErrno = 0;
  _lastError.clear();
  if (!portName || !*portName) {
    fail(ERR_NO_NAME, "no port name", 0);
    return _commHd;
  }
  // A cut path could name another device: refuse it instead.
  if (strlen(portName) >= PORT_SIZE) {
    fail(ERR_NAME_TOO_LONG, std::string("port name longer than ") + std::to_string(PORT_SIZE - 1) +
                                " characters",
         0);
    return _commHd;
  }
  strcpy(_port, portName);
  _rate = _intRate[rate >= 0 && rate < NR_RATES ? rate : R_9600];
  _parity = _intParity[parity >= NONE && parity <= EVEN ? parity : NONE];
  _stopBits = _intStopBits[stopBits == TWO ? 1 : 0];
  _byteSize = _intByteSize[byteSize == SEVEN ? 0 : 1];

  std::string path = devicePath(portName);
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    fail(ERR_OPEN, "cannot open " + path, errno);
    return _commHd;
  }
  // Exclusive use: a second open of the device fails with EBUSY.
  if (ioctl(fd, TIOCEXCL) != 0) {
    fail(ERR_OPEN, "cannot get exclusive use of " + path, errno);
    close(fd);
    return _commHd;
  }
  struct termios tio;
  if (tcgetattr(fd, &tio) != 0) {
    fail(ERR_LINE_SETTINGS, path + " is not a serial port", errno);
    close(fd);
    return _commHd;
  }
  cfmakeraw(&tio);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  tio.c_cflag |= CLOCAL | CREAD | HUPCL;
  tio.c_cflag |= _byteSize == 7 ? CS7 : CS8;
  if (_parity != 0) {
    tio.c_cflag |= PARENB;
    if (_parity == 1) tio.c_cflag |= PARODD;
    tio.c_iflag |= INPCK;
  } else {
    tio.c_iflag &= ~INPCK;
  }
  if (_stopBits == 2) tio.c_cflag |= CSTOPB;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  // Reads return what is there, at once.
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  cfsetispeed(&tio, speedOf(_rate));
  cfsetospeed(&tio, speedOf(_rate));
  if (tcsetattr(fd, TCSANOW, &tio) != 0) {
    fail(ERR_LINE_SETTINGS, "cannot set the line settings of " + path, errno);
    close(fd);
    return _commHd;
  }
  // RTS raised, DTR off; pseudo-terminals have no modem lines, so failures
  // are of no consequence.
  int rts = TIOCM_RTS, dtr = TIOCM_DTR;
  (void)ioctl(fd, TIOCMBIS, &rts);
  (void)ioctl(fd, TIOCMBIC, &dtr);
  _commHd = fd;
  _hungUp = false;
  _wakeThreshold = 1;
  watch();
  return _commHd;
}

bool Serial::openPort(const char* portName) {
  return connect(portName, R_9600, NONE, ONE, EIGHT) != INVALID_HANDLE;
}

void Serial::closePort() {
  // The loop must forget the descriptor before its number can be reused.
  unwatch();
  if (_commHd != INVALID_HANDLE) {
    close(_commHd);
  }
  _commHd = INVALID_HANDLE;
  _hungUp = false;
}

void Serial::watchHook(WatchHook hook) {
  unwatch();
  _watchHook = std::move(hook);
  watch();
}

void Serial::watch() {
  if (_watched || !_watchHook || !isOpen() || _hungUp) return;
  _watched = true;
  _watchHook(_commHd, true);
}

void Serial::unwatch() {
  if (!_watched) return;
  _watched = false;
  if (_watchHook) _watchHook(_commHd, false);
}

void Serial::onReadable() {
  if (!isOpen()) return;
  unwatch();
  if (getNbrOfBytes() > 0) return;
  struct pollfd pfd = {_commHd, POLLIN, 0};
  int r;
  do {
    r = poll(&pfd, 1, 0);
  } while (r < 0 && errno == EINTR);
  // Still readable with nothing to read: hung up, or an error condition
  // that reading does not clear. Either way the loop must not wait on it.
  if (r > 0 && pfd.revents) _hungUp = true;
}

void Serial::rearm() { watch(); }

// The terminal's VMIN with VTIME 0 sets how many bytes make the descriptor
// readable for poll and select; non-blocking reads still return whatever
// is there.
void Serial::wakeThreshold(int n) {
  if (n < 1) n = 1;
  if (n > 255) n = 255;
  if (!isOpen() || !_watchHook || n == _wakeThreshold) return;
  struct termios tio;
  if (tcgetattr(_commHd, &tio) != 0) return;
  tio.c_cc[VMIN] = static_cast<cc_t>(n > 1 ? n : 0);
  tio.c_cc[VTIME] = 0;
  if (tcsetattr(_commHd, TCSANOW, &tio) == 0) _wakeThreshold = n;
}

void Serial::disconnect() { closePort(); }

bool Serial::lineLost() {
  if (!isOpen()) return false;
  struct pollfd p = {_commHd, POLLIN, 0};
  int r;
  do {
    r = poll(&p, 1, 0);
  } while (r < 0 && errno == EINTR);
  return r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

int Serial::writePort(const void* data, int length) {
  if (!isOpen()) return 0;
  return sendArray(data, length);
}

int Serial::readPort(void* buffer, int maxLength) {
  if (!isOpen() || maxLength <= 0) return -1;
  int waiting = getNbrOfBytes();
  int n = waiting < maxLength ? waiting : maxLength;
  if (n <= 0) return -1;
  int r = getArray(buffer, n);
  return r > 0 ? r : -1;
}

int Serial::getNbrOfBytes() {
  if (!isOpen()) return 0;
  int n = 0;
  if (ioctl(_commHd, FIONREAD, &n) != 0) return 0;
  return n;
}

// The descriptor is non-blocking: a write can be partial or refused while
// the output queue is full, so the rest is written when there is room again.
// A frame of 2048 bytes takes about two seconds at 9600 baud.
int Serial::sendArray(const void* data, int length) {
  if (!isOpen() || !data || length <= 0) return 0;
  const char* p = static_cast<const char*>(data);
  int done = 0;
  while (done < length) {
    ssize_t w = write(_commHd, p + done, static_cast<size_t>(length - done));
    if (w > 0) {
      done += static_cast<int>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
    struct pollfd pfd = {_commHd, POLLOUT, 0};
    int r = poll(&pfd, 1, _writeStallMs);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) break;
  }
  return done;
}

int Serial::sendChar(char c) { return sendArray(&c, 1); }

int Serial::getArray(void* buffer, int length) {
  if (!isOpen() || !buffer || length <= 0) return 0;
  for (;;) {
    ssize_t r = read(_commHd, buffer, static_cast<size_t>(length));
    if (r >= 0) return static_cast<int>(r);
    if (errno != EINTR) return 0;
  }
}

int Serial::getChar() {
  unsigned char c = 0;
  return getArray(&c, 1) == 1 ? c : -1;
}
