#ifndef SIMDEVICE_H
#define SIMDEVICE_H

#include "SimBytes.h"
#include "SimEntry.h"
#include "SimOptions.h"

#include <functional>
#include <random>
#include <string>
#include <vector>

class SimLog;

// The device side of the serial protocol: cuts the visible received bytes
// into units, answers them as a Tolvan does, and injects the faults it is
// told to. Everything it sends goes through the sender, one unit at a time.
class SimDevice {
public:
  using Sender = std::function<void(const SimBytes& unit, const std::string& what)>;

  enum class Mode {
    RUNNING,      // firmware: status, download, upload
    DOWNLOADING,  // an entry or the download end is out, waiting for ACK
    RESTARTING,   // leaving the firmware for the boot loader
    BOOT_LOADER,  // waiting for the second-stage boot loader
    OPENING,      // boot info sent; NAKs invite the first packet
    TRANSFER,     // receiving packets
  };

  // Control bytes and message types on the wire.
  static constexpr uint8_t SOH = 0x01, STX = 0x02, ETX = 0x03, EOT = 0x04, ACK = 0x06, NAK = 0x15;
  enum Type : uint8_t {
    STATUS_REQUEST = 0, STATUS_INFO = 1, UPLOAD_REQUEST = 2, DOWNLOAD_REQUEST = 3,
    SETTING_ENTRY = 4, TRANSFER_END = 5, LIFE_CHECK = 8, WAITING = 9, UPGRADE_REQUEST = 10,
    BOOT_LOAD_REQUEST = 11, BOOT_LOAD_DATA = 12, BOOT_INFO = 13,
  };

  // A unit left incomplete this long is given up.
  static constexpr double UNIT_GAP_MS = 100;
  static constexpr double RESTART_MS = 300;
  static constexpr double FIRST_NAK_MS = 1000;
  static constexpr double NAK_REPEAT_MS = 3000;
  static constexpr int MAX_OPEN_NAKS = 20;
  static constexpr double TRANSFER_TIMEOUT_MS = 10000;
  static constexpr size_t PACKET_SIZE = 132;
  static constexpr size_t MAX_BOOT_DATA_FRAME = 2048;
  // Field limits of the frames we build: the PC reads the length as signed.
  static constexpr size_t MAX_TEXT = 64;
  static constexpr size_t MAX_NUMBER = 40;

  SimDevice(const SimOptions& options, SimLog& log, Sender sender);

  const std::vector<SimEntry>& entries() const { return _entries; }
  void entries(const std::vector<SimEntry>& entries);

  // One received byte, at the time it became visible.
  void receive(uint8_t byte, double now);
  // Gives up stale units and fires the device's own timers.
  void poll(double now);
  // The next time poll has something to do, negative when nothing.
  double nextDue() const;
  // The line was unplugged: drop partial units and any dialogue.
  void unplugged();

  Mode mode() const { return _mode; }
  static const char* modeName(Mode m);

  // Faults and settings changed at run time.
  void silent(bool on) { _silent = on; }
  bool silent() const { return _silent; }
  void corrupt(int n) { _corrupt = n; }
  void noise(int n) { _noise = n; }
  void waitReplies(int n) { _wait = n; }
  void statusByte(int b) { _statusByte = static_cast<uint8_t>(b); }
  void nrEntries(int n) { _nrEntries = n; }
  void nakPacket(int k) { _nakPacket = k; }
  void silentAfterPacket(int k) { _silentAfterPacket = k; }
  // The software text its status info reports.
  const std::string& software() const { return _software; }
  // "VERSION:" in an image: the 7 bytes that follow after one blank, or "".
  static std::string imageVersion(const SimBytes& image);
  void restartIntoBootLoader(double now);

  // Helpers shared with the unit cutter, public for their plain arithmetic.
  static uint8_t sum(const uint8_t* data, size_t n);
  static SimBytes frame(uint8_t type, const SimBytes& data);
  static const char* typeName(uint8_t type);

private:
  void handleUnit(double now);
  void handleLone(uint8_t byte, double now);
  void handleFrame(const SimBytes& f, double now);
  void handlePacket(const SimBytes& p, double now);
  void giveUpUnit(double now);
  void flushNoise();

  void firmwareFrame(uint8_t type, const SimBytes& f, double now);
  void bootFrame(uint8_t type, const SimBytes& f, double now);
  bool storeEntry(const SimBytes& f, std::string& what);
  void sendEntry(int nr);
  void sendStatusInfo();
  void sendBootInfo();
  void finishUpload();
  void finishTransfer();
  void enterBootLoader(double now);

  void sendFrame(uint8_t type, const SimBytes& data, const std::string& what);
  void sendByte(uint8_t byte, const std::string& what);
  void emit(SimBytes unit, std::string what, bool isFrame);
  void rxLog(const SimBytes& unit, const std::string& what);

  const SimOptions& _opt;
  SimLog& _log;
  Sender _sender;

  std::vector<SimEntry> _entries;
  Mode _mode = Mode::RUNNING;
  uint8_t _statusByte;
  int _nrEntries;

  // Unit cutter.
  SimBytes _unit;
  SimBytes _noiseRx;
  double _lastRx = 0;

  // Download.
  int _dlEntry = 0;

  // Last frame sent, for a NAK to repeat.
  SimBytes _lastFrame;
  std::string _lastFrameWhat;
  bool _lastWasFrame = false;

  // Boot loader and transfer.
  double _due = -1;
  int _openNaks = 0;
  int _misfitLeft;
  int _nakPacket;
  int _silentAfterPacket;
  std::string _software;
  SimBytes _image;
  size_t _packets = 0;
  double _lastPacket = 0;

  // Faults.
  bool _silent;
  int _corrupt;
  int _noise;
  int _wait;
  std::minstd_rand _rng;
};

#endif
