#ifndef SERIAL_H
#define SERIAL_H

#include <cstddef>
#include <functional>
#include <string>

// One serial port on a terminal device, opened exclusively with fixed line
// settings. Reads return only what has already arrived, so the single
// application thread never waits for the device.
class Serial {
public:
  enum Rate { R_9600 = 0, R_19200 = 1, R_38400 = 2, R_56000 = 3, NR_RATES = 4 };
  enum Parity { NONE = 0, ODD = 1, EVEN = 2 };
  enum StopBits { ONE = 0, TWO = 1 };
  enum ByteSize { SEVEN = 0, EIGHT = 1 };

  // Error codes of the last connect (kept internal; lastError() explains).
  enum Error {
    ERR_NONE = 0,
    ERR_EVENT_MASK = 0x01,
    ERR_TIMEOUTS = 0x02,
    ERR_LINE_SETTINGS = 0x04,
    ERR_OPEN = 0x08,
    ERR_NO_NAME = 0x10,
    ERR_NAME_TOO_LONG = 0x20,
  };

  // Told when the open descriptor should (true) or should no longer (false)
  // wake the program's loop on input; false always comes before the close.
  typedef std::function<void(int fd, bool watch)> WatchHook;

  static const int INVALID_HANDLE = -1;
  // Room for a device path from config.ini, with its end.
  static const size_t PORT_SIZE = 80;

  Serial();
  virtual ~Serial();
  Serial(const Serial&) = delete;
  Serial& operator=(const Serial&) = delete;

  int connect(const char* portName, Rate rate, Parity parity, StopBits stopBits,
              ByteSize byteSize);
  bool openPort(const char* portName);
  void closePort();
  void disconnect();

  int writePort(const void* data, int length);
  int readPort(void* buffer, int maxLength);
  int getNbrOfBytes();

  int sendArray(const void* data, int length);
  int sendChar(char c);
  int getArray(void* buffer, int length);
  // The byte read (0..255), or -1 when none was waiting.
  int getChar();

  void printData() const {}

  bool isOpen() const { return _commHd != INVALID_HANDLE; }
  const char* port() const { return _port; }
  int rate() const { return _rate; }
  char parity() const { return _parity; }
  char stopBits() const { return _stopBits; }
  char byteSize() const { return _byteSize; }
  int commHd() const { return _commHd; }
  int errorCode() const { return _errorCode; }
  // Why the last connect failed, for messages to the user; empty after success.
  const std::string& lastError() const { return _lastError; }
  // The system's error number of the last failed connect (0 after success).
  int lastErrno() const { return _lastErrno; }
  // The device has gone while the port was open (a USB adapter pulled out,
  // the far end of a pseudo-terminal closed): from now on the descriptor
  // reports only a hang-up, and the device can come back only by a new open.
  bool lineLost();

  // The hook that an open port is handed to; set before or while open.
  void watchHook(WatchHook hook);
  // Whether the hook currently watches the descriptor.
  bool watched() const { return _watched; }
  // Whether the line hung up (device unplugged, the other end of a
  // pseudo-terminal closed) since it was opened.
  bool hungUp() const { return _hungUp; }
  // The loop saw the descriptor readable. It wakes the loop once per read:
  // watching stops until rearm(), so bytes that wait for a later read do not
  // make the loop spin. A hung-up line (readable for ever, nothing to read)
  // is not watched again until it is reopened.
  void onReadable();
  // Watch again once the waiting bytes have been read.
  void rearm();
  // A watched line wakes the loop only once n bytes (at most 255) are
  // waiting, or when it hangs up: the rest of a frame whose length is known
  // comes as one wake-up instead of one per byte. Reads are not affected.
  void wakeThreshold(int n);
  int wakeThreshold() const { return _wakeThreshold; }

  // "COM3" -> "/dev/ttyS2"; an absolute path stays as it is; a bare device
  // name such as "ttyUSB0" is looked up in /dev.
  static std::string devicePath(const char* portName);

  // How long a write may make no progress before it gives up (ms).
  static int writeStallMs() { return _writeStallMs; }
  static void writeStallMs(int ms) { _writeStallMs = ms; }

private:
  void fail(int code, const std::string& reason, int err);
  void watch();
  void unwatch();

  static const int _intRate[NR_RATES];
  static const char _intParity[3];
  static const char _intStopBits[2];
  static const char _intByteSize[2];
  static int _writeStallMs;

  char _port[PORT_SIZE];
  int _rate;
  char _parity;
  char _stopBits;
  char _byteSize;
  int _commHd;
  int _errorCode;
  int _lastErrno;
  std::string _lastError;
  WatchHook _watchHook;
  bool _watched;
  bool _hungUp;
  int _wakeThreshold;
};

#endif
