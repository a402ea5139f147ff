// Trace output: the two sinks (remote debug stream, log file) and the
// printing helpers every part of the program uses.
#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "BDiag.h"
#include "BTrace.h"

void BTrace::toRemote(const std::string& text) { debugSocketStream << text; }

void BTrace::toLog(const std::string& text) {
  if (!_traceFileStr.is_open()) return;
  _traceFileStr << text;
  _traceFileStr.flush();
}

void BTrace::openDbgLog() {
  if (_traceFileStr.is_open()) _traceFileStr.close();
  _traceFileStr.clear();
  _traceFileStr.open(_logFileName, std::ios::out | std::ios::trunc);
}

void BTrace::closeDbgLog() {
  if (_traceFileStr.is_open()) _traceFileStr.close();
}

bool BTrace::connectDebugStream(const char* host, uint16_t port) { return debugSocketStream.connect(host, port); }

bool BTrace::disconnectDebugStream() {
  debugInputBuffer.clear();
  _discardingLine = false;
  return debugSocketStream.disconnect();
}

void BTrace::dbgPrint(const std::string& text, bool stamp, bool newLine, bool) { BDiag::print(text, stamp, newLine); }

void BTrace::dbgPrintf(const char* format, ...) {
  _dbgbuff[0] = '\0';
  if (format) {
    va_list ap;
    va_start(ap, format);
    vsnprintf(_dbgbuff, DBG_BUFF_SIZE, format, ap);
    va_end(ap);
  }
  // The buffer may be the argument itself: print a copy.
  std::string text(_dbgbuff);
  dbgPrint(text);
}

void BTrace::prtDataArray(const uint8_t* data, uint16_t length, bool hex) {
  std::string out;
  out.reserve(4u * length + 6u);
  out += '[';
  char cell[8];
  for (uint16_t i = 0; data && i < length; ++i) {
    uint8_t b = data[i];
    if (hex)
      snprintf(cell, sizeof cell, "%02X ", b);
    else if (b >= 0x20 && b <= 0x7E)
      snprintf(cell, sizeof cell, "%c", b);
    else
      snprintf(cell, sizeof cell, "~%02x~", b);
    out += cell;
  }
  out += ']';
  dbgPrint(out, false, true);
}

void BTrace::prtDataArray(const std::string& data, bool hex) {
  size_t n = std::min<size_t>(data.size(), 0xFFFF);
  prtDataArray(reinterpret_cast<const uint8_t*>(data.data()), static_cast<uint16_t>(n), hex);
}

void BTrace::prtDataArray(const std::vector<uint8_t>& data, bool hex) {
  size_t n = std::min<size_t>(data.size(), 0xFFFF);
  prtDataArray(data.data(), static_cast<uint16_t>(n), hex);
}

std::string BTrace::timeStamp() {
  std::string ts = BDiag::timeStamp();
  snprintf(_timeStamp, sizeof _timeStamp, "%s", ts.c_str());
  return ts;
}
