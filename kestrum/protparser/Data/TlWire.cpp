#include "TlWire.h"

#include <cstring>

uint8_t TlWire::checksum(const uint8_t* data, size_t n) {
  uint8_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum = static_cast<uint8_t>(sum + data[i]);
  return sum;
}

size_t TlWire::noDataFrame(uint8_t type, uint8_t* out) {
  out[0] = SOH;
  out[1] = type;
  out[2] = 0;
  out[3] = STX;
  out[4] = ETX;
  out[5] = checksum(out, 5);
  return OVERHEAD;
}

size_t TlWire::settingEntryFrame(uint8_t entryNr, const char* f1, const char* f2, uint8_t* out,
                                 size_t cap) {
  if (!f1) f1 = "";
  if (!f2) f2 = "";
  size_t l1 = strlen(f1);
  size_t l2 = strlen(f2);
  size_t dataLen = l1 + l2 + 6;
  size_t total = dataLen + OVERHEAD;
  if (dataLen > MAX_FRAME_DATA || total > cap) return 0;
  size_t i = 0;
  out[i++] = SOH;
  out[i++] = SETTING_ENTRY;
  out[i++] = static_cast<uint8_t>(dataLen);
  out[i++] = STX;
  out[i++] = entryNr;
  out[i++] = QUOTE;
  for (size_t k = 0; k < l1; ++k) out[i++] = f1[k] == '\\' ? '/' : static_cast<uint8_t>(f1[k]);
  out[i++] = QUOTE;
  out[i++] = COMMA;
  out[i++] = QUOTE;
  memcpy(out + i, f2, l2);
  i += l2;
  out[i++] = QUOTE;
  out[i++] = ETX;
  out[i] = checksum(out, i);
  return i + 1;
}

size_t TlWire::bootLoadDataFrame(const uint8_t* data, size_t n, uint8_t* out, size_t cap) {
  size_t total = n + OVERHEAD;
  if (total > MAXDATA || total > cap) return 0;
  out[0] = SOH;
  out[1] = BOOTLOAD_DATA;
  out[2] = 0;
  out[3] = STX;
  if (n) memcpy(out + HEAD, data, n);
  out[HEAD + n] = ETX;
  out[HEAD + n + 1] = checksum(out, HEAD + n + 1);
  return total;
}

TlWire::UpgradePacket TlWire::upgradePacket(uint8_t nr, const uint8_t* data, size_t n) {
  UpgradePacket p;
  p.nr = nr;
  p.nrCompl = static_cast<uint8_t>(255 - nr);
  if (n > PACKET_DATA) n = PACKET_DATA;
  if (n) memcpy(p.data, data, n);
  memset(p.data + n, PACKET_FILL, PACKET_DATA - n);
  p.checkSum = checksum(p.data, PACKET_DATA);
  return p;
}

TlWire::Check TlWire::checkFrame(const uint8_t* unit, size_t n, uint8_t* received,
                                 uint8_t* calculated) {
  if (n == 0 || unit[0] != SOH) return CHECK_NO_SOH;
  uint8_t calc = checksum(unit, n - 1);
  if (received) *received = unit[n - 1];
  if (calculated) *calculated = calc;
  // Shorter than an empty frame: the layout cannot be read from it.
  if (n < OVERHEAD) return CHECK_TOO_SHORT;
  return calc == unit[n - 1] ? CHECK_OK : CHECK_BAD_SUM;
}

const uint8_t* TlWire::frameData(const uint8_t* unit, size_t n, size_t* dataLen) {
  *dataLen = n >= OVERHEAD ? n - OVERHEAD : 0;
  return n >= OVERHEAD ? unit + HEAD : unit;
}

void TlWire::convert(char* text, char from, char to) {
  for (; text && *text; ++text)
    if (*text == from) *text = to;
}

// Reads one quoted text at *pos: the opening quote, the text up to the
// closing quote (or the end of the data), the closing quote and the comma
// that separates it from the next one. Copies at most max characters; a zero
// byte ends the text; *fullLen gets its whole length. A missing quote or
// comma moves *pos to the end, so the fields after it stay empty.
size_t TlWire::quotedField(const uint8_t* data, size_t n, size_t* pos, char* out, size_t max,
                           size_t* fullLen) {
  out[0] = '\0';
  *fullLen = 0;
  size_t p = *pos;
  if (p >= n || data[p] != QUOTE) {
    *pos = n;
    return 0;
  }
  ++p;
  size_t len = 0;
  bool ended = false;
  while (p < n && data[p] != QUOTE) {
    if (data[p] == 0) ended = true;
    if (!ended) {
      if (len < max) out[len] = static_cast<char>(data[p]);
      ++len;
    }
    ++p;
  }
  size_t copied = len < max ? len : max;
  out[copied] = '\0';
  *fullLen = len;
  if (p < n) ++p;  // closing quote
  // Separator before the next field.
  if (p < n && data[p] == COMMA)
    ++p;
  else
    p = n;
  *pos = p;
  return copied;
}

TlWire::SettingEntry TlWire::settingEntry(const uint8_t* data, size_t n) {
  SettingEntry e;
  e.entryNr = n ? data[0] : 0;
  size_t pos = 1, full = 0;
  quotedField(data, n, &pos, e.f1, FIELD1MAX, &full);
  quotedField(data, n, &pos, e.f2, FIELD2SCAN, &e.f2Len);
  if (e.f2Len > FIELD2MAX) e.f2[FIELD2MAX] = '\0';
  // The device keeps backslashes as slashes.
  convert(e.f1, '/', '\\');
  return e;
}

TlWire::StatusInfo TlWire::statusInfo(const uint8_t* data, size_t n) {
  StatusInfo s;
  s.prVer = n > 0 ? data[0] : 0;
  s.extraStat = n > 1 ? data[1] : 0;
  s.totalNrEntries = n > 2 ? data[2] : 0;
  char sw[STRSIZE + 1];
  size_t pos = 3;
  quotedField(data, n, &pos, s.type, STRSIZE, &s.tpLen);
  quotedField(data, n, &pos, sw, STRSIZE, &s.swLen);
  quotedField(data, n, &pos, s.special, STRSIZE, &s.spLen);
  quotedField(data, n, &pos, s.hardw, STRSIZE, &s.hwLen);
  if (strlen(s.type) > TYPE_LEN) s.type[TYPE_LEN] = '\0';
  if (strlen(s.hardw) > HARDW_LEN) s.hardw[HARDW_LEN] = '\0';
  s.softw[0] = '\0';
  size_t swCopied = strlen(sw);
  if (swCopied > SOFTW_FROM) {
    size_t k = swCopied - SOFTW_FROM;
    if (k > SOFTW_LEN) k = SOFTW_LEN;
    memcpy(s.softw, sw + SOFTW_FROM, k);
    s.softw[k] = '\0';
  }
  return s;
}

TlWire::BootInfo TlWire::bootInfo(const uint8_t* data, size_t n, uint8_t lengthByte) {
  BootInfo b;
  char raw[BOOT_INFO_USED];
  memset(raw, 0, sizeof raw);
  size_t count = lengthByte >= 2 ? lengthByte - 2u : 0;
  if (count > BOOT_INFO_USED) count = BOOT_INFO_USED;
  if (n < 1 + count) count = n > 1 ? n - 1 : 0;
  if (count) memcpy(raw, data + 1, count);
  // Each part is a text of its own; it ends early at a zero byte.
  auto take = [](char* out, const char* from, size_t len) {
    size_t k = strnlen(from, len);
    memcpy(out, from, k);
    out[k] = '\0';
  };
  take(b.hardw, raw, HARDW_LEN);
  take(b.type, raw + HARDW_LEN, TYPE_LEN);
  take(b.special, raw + HARDW_LEN + TYPE_LEN, BOOT_SPECIAL_LEN);
  b.usable = strlen(b.hardw) == HARDW_LEN || strlen(b.type) == TYPE_LEN;
  return b;
}
