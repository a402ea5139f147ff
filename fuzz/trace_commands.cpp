// A dbgTraceCommands.txt of arbitrary bytes is interpreted against a running
// system; the first input line is the filter that selects the lines (an
// empty one selects all).
#include <string>

#include "BTrace.h"
#include "FuzzSupport.h"
#include "FuzzSystem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUp();
  fuzz::startSystem("trace_commands");
  const uint8_t* nl = static_cast<const uint8_t*>(memchr(data, '\n', size));
  size_t head = nl ? static_cast<size_t>(nl - data) : 0;
  std::string filter(reinterpret_cast<const char*>(data), head);
  size_t rest = nl ? head + 1 : 0;
  fuzz::writeFile(BTrace::_commandsFile, data + rest, size - rest);
  BTrace::processCommandsFile(filter.c_str());
  fuzz::drain();
  fuzz::check(BTrace::configTable().size() < 100000);
  return 0;
}
