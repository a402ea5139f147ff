#include "SimOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

const char* SimOptions::usage() {
  return
      "usage: tolvan-sim [options]\n"
      "Plays a Tolvan device on a pseudo-terminal. Prints \"PORT <slave path>\" on\n"
      "stdout, then reads control commands from stdin.\n"
      "\n"
      "Port and files:\n"
      "  --link PATH          symbolic link PATH -> slave path (replaced if present)\n"
      "  --ready              print READY after the PORT line\n"
      "  --kvn FILE           settings served by a download (200 lines text|number)\n"
      "  --out FILE           where an upload's settings are written at its end\n"
      "  --log FILE           one line per unit received and sent\n"
      "  --control FIFO       read control commands from this FIFO too (made if absent)\n"
      "  --exit-on-eof        quit when stdin reaches its end\n"
      "  --baud N             pace the line at N baud, 10 bits a byte (0: full speed)\n"
      "Identity:\n"
      "  --type TEXT          type text (default TL8888GM-ED)\n"
      "  --sw TEXT            software text (default \"TOLVAN SW6.12.03\")\n"
      "  --special TEXT       special text (default STD)\n"
      "  --hw TEXT            hardware text (default H.49)\n"
      "  --proto-version N    protocol version byte (default 1)\n"
      "  --status-byte N      status byte (default 255)\n"
      "  --entries N          number of setting entries (default 200)\n"
      "Faults:\n"
      "  --wait N             answer the next N download/upload requests with 'waiting'\n"
      "  --corrupt N          corrupt the checksum of the next N frames sent\n"
      "  --noise N            send N noise bytes before the next frame\n"
      "  --seed N             seed of the noise bytes (default 1)\n"
      "  --silent             answer nothing\n"
      "Firmware upgrade:\n"
      "  --boot               start in the boot loader\n"
      "  --image-out FILE     where a received firmware image is written\n"
      "  --nak-packet K       refuse the K-th packet of the transfer once\n"
      "  --boot-hw TEXT       hardware text in boot info (default: the --hw text)\n"
      "  --misfit-bootinfo N  the first N boot infos report hardware H.00\n"
      "  --silent-after-packet K  answer nothing from the K-th packet of a transfer\n"
      "                       on (until 'silent off')\n"
      "A completed transfer leaves the device running the image: its status info\n"
      "then reports the version found after \"VERSION:\" in the image.\n"
      "  --help               this text\n"
      "\n"
      "Control commands (stdin or FIFO), each answered with a line \"OK ...\" or\n"
      "\"ERR ...\" on stdout:\n"
      "  silent on|off, corrupt N, noise N, wait N, status-byte N, entries N,\n"
      "  nak-packet K, silent-after-packet K, boot, unplug, replug, ping, quit,\n"
      "  cut N (the next N frames sent stop half-way),\n"
      "  garble N (the next N frames received are answered with NAK as damaged),\n"
      "  split N MS (the next frame sent stops after N bytes for MS ms, then the\n"
      "  rest follows; what the device sends meanwhile follows it; the log notes\n"
      "  \"split: N of M bytes of <what> sent\" when the pause starts),\n"
      "  release (ends the pause of a split at once)\n"
      "\n"
      "Log lines: \"<ms> RX|TX <hex bytes> <what>\" and \"<ms> -- <note>\".\n";
}

bool SimOptions::validText(const std::string& text, std::string& why) {
  if (text.size() > 40) {
    why = "longer than 40 characters: " + text;
    return false;
  }
  if (text.find('"') != std::string::npos) {
    why = "contains a double quote: " + text;
    return false;
  }
  return true;
}

static bool toInt(const char* s, int lo, int hi, int& out) {
  char* end = nullptr;
  errno = 0;
  long v = strtol(s, &end, 0);
  if (errno || end == s || *end || v < lo || v > hi)
    return false;
  out = static_cast<int>(v);
  return true;
}

bool SimOptions::parse(int argc, char** argv) {
  struct IntOpt {
    const char* name;
    int* target;
    int lo, hi;
  };
  int baudInt = 0, seedInt = 1;
  const IntOpt ints[] = {
      {"--proto-version", &_protocolVersion, 0, 255}, {"--status-byte", &_statusByte, 0, 255},
      {"--entries", &_entries, 0, 255},               {"--wait", &_waitReplies, 0, 1000000},
      {"--corrupt", &_corruptFrames, 0, 1000000},     {"--noise", &_noiseBytes, 0, 100000},
      {"--seed", &seedInt, 0, 0x7fffffff},           {"--baud", &baudInt, 0, 4000000},
      {"--nak-packet", &_nakPacket, 0, 1000000},      {"--misfit-bootinfo", &_misfitBootInfos, 0, 1000},
      {"--silent-after-packet", &_silentAfterPacket, 0, 1000000},
  };
  struct StrOpt {
    const char* name;
    std::string* target;
  };
  const StrOpt strs[] = {
      {"--type", &_type},        {"--sw", &_software},         {"--special", &_special},
      {"--hw", &_hardware},      {"--kvn", &_kvnIn},           {"--out", &_kvnOut},
      {"--link", &_linkPath},    {"--log", &_logPath},         {"--control", &_controlFifo},
      {"--image-out", &_imageOut}, {"--boot-hw", &_bootHardware},
  };
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
      _help = true;
      continue;
    }
    if (!strcmp(a, "--ready")) { _ready = true; continue; }
    if (!strcmp(a, "--exit-on-eof")) { _exitOnEof = true; continue; }
    if (!strcmp(a, "--silent")) { _silent = true; continue; }
    if (!strcmp(a, "--boot")) { _boot = true; continue; }
    bool known = false;
    for (const IntOpt& o : ints) {
      if (strcmp(a, o.name))
        continue;
      known = true;
      if (i + 1 >= argc || !toInt(argv[i + 1], o.lo, o.hi, *o.target)) {
        _error = std::string(a) + " needs a number from " + std::to_string(o.lo) + " to " +
                 std::to_string(o.hi);
        return false;
      }
      ++i;
    }
    for (const StrOpt& o : strs) {
      if (strcmp(a, o.name))
        continue;
      known = true;
      if (i + 1 >= argc) {
        _error = std::string(a) + " needs a value";
        return false;
      }
      *o.target = argv[++i];
    }
    if (!known) {
      _error = std::string("unknown option: ") + a;
      return false;
    }
  }
  _baud = static_cast<unsigned>(baudInt);
  _seed = static_cast<unsigned>(seedInt);
  std::string why;
  for (const std::string* t : {&_type, &_software, &_special, &_hardware, &_bootHardware}) {
    if (!validText(*t, why)) {
      _error = "identity text " + why;
      return false;
    }
  }
  // 3 bytes, four quoted texts and three commas in at most 127 data bytes.
  if (14 + _type.size() + _software.size() + _special.size() + _hardware.size() > 127) {
    _error = "identity texts too long together for one status frame";
    return false;
  }
  return true;
}
