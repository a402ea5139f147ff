#ifndef SIMOPTIONS_H
#define SIMOPTIONS_H

#include <string>

// The command line of tolvan-sim.
class SimOptions {
public:
  const std::string& type() const { return _type; }
  const std::string& software() const { return _software; }
  const std::string& special() const { return _special; }
  const std::string& hardware() const { return _hardware; }
  int protocolVersion() const { return _protocolVersion; }
  int statusByte() const { return _statusByte; }
  int entries() const { return _entries; }
  const std::string& kvnIn() const { return _kvnIn; }
  const std::string& kvnOut() const { return _kvnOut; }
  const std::string& linkPath() const { return _linkPath; }
  const std::string& logPath() const { return _logPath; }
  const std::string& controlFifo() const { return _controlFifo; }
  const std::string& imageOut() const { return _imageOut; }
  unsigned baud() const { return _baud; }
  bool ready() const { return _ready; }
  bool exitOnEof() const { return _exitOnEof; }
  int waitReplies() const { return _waitReplies; }
  int corruptFrames() const { return _corruptFrames; }
  int noiseBytes() const { return _noiseBytes; }
  unsigned seed() const { return _seed; }
  bool silent() const { return _silent; }
  bool boot() const { return _boot; }
  int nakPacket() const { return _nakPacket; }
  const std::string& bootHardware() const { return _bootHardware; }
  int misfitBootInfos() const { return _misfitBootInfos; }
  int silentAfterPacket() const { return _silentAfterPacket; }
  bool help() const { return _help; }

  // False with error() set on a bad command line.
  bool parse(int argc, char** argv);
  const std::string& error() const { return _error; }
  static const char* usage();

  // The status texts must fit one frame whose length byte the PC reads as
  // signed: every text at most 40 characters, no double quote.
  static bool validText(const std::string& text, std::string& why);

private:
  // Identity reported in status info.
  std::string _type = "TL8888GM-ED";
  std::string _software = "TOLVAN SW6.12.03";
  std::string _special = "STD";
  std::string _hardware = "H.49";
  int _protocolVersion = 1;
  int _statusByte = 255;
  int _entries = 200;

  std::string _kvnIn;
  std::string _kvnOut;
  std::string _linkPath;
  std::string _logPath;
  std::string _controlFifo;
  std::string _imageOut;
  unsigned _baud = 0;
  bool _ready = false;
  bool _exitOnEof = false;

  // Faults.
  int _waitReplies = 0;
  int _corruptFrames = 0;
  int _noiseBytes = 0;
  unsigned _seed = 1;
  bool _silent = false;

  // Boot loader.
  bool _boot = false;
  int _nakPacket = 0;
  std::string _bootHardware;  // empty: the status hardware
  int _misfitBootInfos = 0;
  int _silentAfterPacket = 0;

  bool _help = false;

  std::string _error;
};

#endif
