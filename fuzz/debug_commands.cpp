// Arbitrary bytes arrive on the remote debug stream in chunks (each chunk's
// length comes from a control byte) and are interpreted against a running
// system; every line of the input also goes to the interpreter directly.
#include <string>

#include "BTrace.h"
#include "FuzzSupport.h"
#include "FuzzSystem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUp();
  fuzz::startSystem("debug_commands");
  size_t i = 0;
  while (i < size) {
    size_t len = (data[i++] & 0x3F) + 1u;
    if (len > size - i) len = size - i;
    BTrace::debugInputBuffer.append(reinterpret_cast<const char*>(data + i), len);
    i += len;
    BTrace::parseDebugStream();
    fuzz::drain();
  }
  // End the last line and take what waits, so that the next input starts
  // on an empty stream.
  BTrace::debugInputBuffer += "\r\n";
  for (int n = 0; n < 100 && !BTrace::debugInputBuffer.empty(); ++n) BTrace::parseDebugStream();
  BTrace::debugInputBuffer.clear();
  BTrace::parseDebugStream();

  std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    BTrace::procDbgStr(text.substr(start, end - start));
    fuzz::drain();
    start = end + 1;
  }
  return 0;
}
