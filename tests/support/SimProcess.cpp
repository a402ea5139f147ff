#include "SimProcess.h"

namespace {

std::vector<std::string> withBinary(std::vector<std::string> args) {
  args.insert(args.begin(), KESTRUM_BINARY_DIR "/tools/tolvan-sim/tolvan-sim");
  return args;
}

}  // namespace

SimProcess::SimProcess(const std::vector<std::string>& args) : _proc(withBinary(args), {}, "", true) {
  // Generous: on a loaded machine a sanitized program can take seconds to
  // start, and the line comes as soon as the port is there.
  std::string first = readLine(30000);
  if (first.rfind("PORT ", 0) == 0) _port = first.substr(5);
}

SimProcess::~SimProcess() {
  if (_proc.input("quit\n")) _proc.waitExit(3000);
}

std::string SimProcess::readLine(int timeoutMs) {
  size_t nl = _proc.waitOut("\n", _read, timeoutMs);
  if (nl == std::string::npos) return "";
  std::string line = _proc.out().substr(_read, nl - _read);
  _read = nl + 1;
  return line;
}

std::string SimProcess::command(const std::string& line, int timeoutMs) {
  return _proc.input(line + "\n") ? readLine(timeoutMs) : "";
}
