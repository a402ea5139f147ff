#ifndef SIMOPTIONS_H
#define SIMOPTIONS_H

#include <string>

// The command line of tolvan-sim.
class SimOptions {
public:
  // Identity reported in status info.
  std::string type = "TL8888GM-ED";
  std::string software = "TOLVAN SW6.12.03";
  std::string special = "STD";
  std::string hardware = "H.49";
  int protocolVersion = 1;
  int statusByte = 255;
  int entries = 200;

  std::string kvnIn;
  std::string kvnOut;
  std::string linkPath;
  std::string logPath;
  std::string controlFifo;
  std::string imageOut;
  unsigned baud = 0;
  bool ready = false;
  bool exitOnEof = false;

  // Faults.
  int waitReplies = 0;
  int corruptFrames = 0;
  int noiseBytes = 0;
  unsigned seed = 1;
  bool silent = false;

  // Boot loader.
  bool boot = false;
  int nakPacket = 0;
  std::string bootHardware;  // empty: the status hardware
  int misfitBootInfos = 0;

  bool help = false;

  // False with error() set on a bad command line.
  bool parse(int argc, char** argv);
  const std::string& error() const { return _error; }
  static const char* usage();

  // The status texts must fit one frame whose length byte the PC reads as
  // signed: every text at most 40 characters, no double quote.
  static bool validText(const std::string& text, std::string& why);

private:
  std::string _error;
};

#endif
