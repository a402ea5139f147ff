// Arbitrary input cut into chunks goes through the driver's reader; every
// unit it delivers, and the input itself as one unit, goes through the
// checks and field extraction the parser applies.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "TlWire.h"
#include "TlcdrvReader.h"

namespace {

void parse(const uint8_t* unit, size_t n) {
  if (n == 0) return;
  if (n == 1) return;
  if (TlWire::checkFrame(unit, n) != TlWire::CHECK_OK) {
    // The extraction must stay bounded even on frames that fail the check.
    if (n < TlWire::OVERHEAD) return;
  }
  size_t len = 0;
  const uint8_t* d = TlWire::frameData(unit, n, &len);
  TlWire::SettingEntry e = TlWire::settingEntry(d, len);
  TlWire::StatusInfo s = TlWire::statusInfo(d, len);
  TlWire::BootInfo b = TlWire::bootInfo(d, len, unit[2]);
  // Every text must be terminated within its array.
  if (strlen(e.f1) > TlWire::FIELD1MAX || strlen(e.f2) > TlWire::FIELD2MAX) __builtin_trap();
  if (strlen(s.type) > TlWire::TYPE_LEN || strlen(s.softw) > TlWire::SOFTW_LEN ||
      strlen(s.special) > TlWire::STRSIZE || strlen(s.hardw) > TlWire::HARDW_LEN)
    __builtin_trap();
  if (strlen(b.type) > TlWire::TYPE_LEN || strlen(b.special) > TlWire::BOOT_SPECIAL_LEN ||
      strlen(b.hardw) > TlWire::HARDW_LEN)
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  parse(data, size);
  TlcdrvReader reader;
  reader.unitSink([](const uint8_t* u, size_t n) {
    if (n == 0 || n >= TlcdrvReader::MAXDATA) __builtin_trap();
    if (n > 1 && u[0] != TlWire::SOH) __builtin_trap();
    parse(u, n);
  });
  size_t i = 0;
  while (i < size) {
    // A control byte: the chunk length, and whether the PC wrote before it
    // (which resets the reader).
    uint8_t c = data[i++];
    if (c & 0x80) reader.reset();
    size_t len = (c & 0x7F) + 1u;
    if (len > size - i) len = size - i;
    reader.feed(data + i, len);
    i += len;
    if (reader.readBufPos() >= TlcdrvReader::MAXDATA) __builtin_trap();
  }
  return 0;
}
