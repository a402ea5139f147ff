#include "TlcdrvReader.h"

#include <cstdio>
#include <cstring>

#include "BDiag.h"
#include "TlWire.h"

namespace {

// Noise shown in the trace: the first bytes of a run.
const size_t NOISE_SHOWN = 32;

}  // namespace

TlcdrvReader::TlcdrvReader() : _len(0), _resync(false), _writeMark(NO_MARK), _noiseTotal(0), _noiseRunLen(0) {
  memset(_buf, 0, sizeof _buf);
}

void TlcdrvReader::reset() {
  flushNoise();
  _len = 0;
  _resync = false;
  _writeMark = NO_MARK;
}

void TlcdrvReader::written() {
  if (_len == 0)
    _resync = false;
  else
    _writeMark = _len;
}

void TlcdrvReader::trace(const std::string& text) const {
  if (_traceSink) _traceSink(text);
}

int TlcdrvReader::read(const ByteSource& source) {
  int total = 0;
  for (;;) {
    int room = static_cast<int>(MAXDATA - _len);
    if (room <= 0) break;
    int n = source(_buf + _len, room);
    if (n <= 0) break;
    if (n > room) n = room;
    total += n;
    if (_traceSink) {
      trace("\n-->TlcdrvRoot::readSerialPort bytes read:" + std::to_string(n));
      std::string line = "readSerialPort: bytes: ";
      char one[16];
      for (int i = 0; i < n; ++i) {
        snprintf(one, sizeof one, "0x%x:%d ", _buf[_len + i], _buf[_len + i]);
        line += one;
      }
      trace(line);
    }
    _len += static_cast<size_t>(n);
    process();
    if (total > MAXDATA - 1) {
      B_ASSERT_TXT(false, "(totalRead < Tlcdrv::MAXDATA)", "Too many bytes (" << total << ")");
      break;
    }
  }
  return total;
}

void TlcdrvReader::feed(const uint8_t* chunk, size_t n) {
  size_t off = 0;
  read([&](void* buffer, int max) {
    if (off >= n || max <= 0) return -1;
    size_t k = n - off < static_cast<size_t>(max) ? n - off : static_cast<size_t>(max);
    memcpy(buffer, chunk + off, k);
    off += k;
    return static_cast<int>(k);
  });
}

// The frame whose SOH is at pos, by its layout alone: SOH, type, L, STX,
// L data bytes, ETX, checksum. Device frames carry at most 127 data bytes.
TlcdrvReader::FrameCheck TlcdrvReader::checkFrameAt(size_t pos, size_t* size) const {
  size_t have = _len - pos;
  if (have < 3) return FRAME_INCOMPLETE;
  uint8_t length = _buf[pos + 2];
  if (length > TlWire::MAX_FRAME_DATA) return FRAME_DAMAGED;
  if (have >= 4 && _buf[pos + 3] != TlWire::STX) return FRAME_DAMAGED;
  size_t n = length + TlWire::OVERHEAD;
  if (have < n) return FRAME_INCOMPLETE;
  if (_buf[pos + n - 2] != TlWire::ETX) return FRAME_DAMAGED;
  *size = n;
  return FRAME_COMPLETE;
}

bool TlcdrvReader::goodFrameAt(size_t pos) const {
  size_t n = 0;
  if (checkFrameAt(pos, &n) != FRAME_COMPLETE) return false;
  return TlWire::checksum(_buf + pos, n - 1) == _buf[pos + n - 1];
}

// The frame at pos, size bytes long, failed its checksum. Returns the SOH of
// a good frame inside it (the first was cut short), WAIT when such a frame
// may still be arriving in the answer to a write, or pos: the frame is what
// the device sent, damaged, and the parser will refuse it.
size_t TlcdrvReader::cutBy(size_t pos, size_t size) const {
  bool maybe = false;
  for (size_t q = pos + 1; q < pos + size; ++q) {
    if (_buf[q] != TlWire::SOH) continue;
    if (goodFrameAt(q)) return q;
    size_t n = 0;
    if (_writeMark != NO_MARK && q >= _writeMark && checkFrameAt(q, &n) == FRAME_INCOMPLETE) maybe = true;
  }
  return maybe ? WAIT : pos;
}

void TlcdrvReader::skipNoise(size_t pos, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (_noiseRunLen < NOISE_SHOWN) {
      char hex[4];
      snprintf(hex, sizeof hex, "%02x ", _buf[pos + i]);
      _noiseRun += hex;
    }
    ++_noiseRunLen;
  }
  _noiseTotal += n;
}

void TlcdrvReader::flushNoise() {
  if (_noiseRunLen == 0) return;
  if (_dumpSink)
    _dumpSink("TlcdrvReader: " + std::to_string(_noiseRunLen) + " noise bytes skipped: " + _noiseRun +
              (_noiseRunLen > NOISE_SHOWN ? "..." : ""));
  _noiseRun.clear();
  _noiseRunLen = 0;
}

void TlcdrvReader::deliver(size_t pos, size_t n) {
  flushNoise();
  const uint8_t* unit = _buf + pos;
  if (n == 1) {
    trace("\n==== ack/nak msg sent to prot ====");
  } else {
    if (_traceSink) trace("\n==> msg rcvd == nrBytes:" + std::to_string(n));
    if (_dumpSink) {
      std::string dump;
      char hex[8];
      for (size_t i = 0; i < n; ++i) {
        snprintf(hex, sizeof hex, "%02x ", unit[i]);
        dump += hex;
      }
      _dumpSink(dump);
    }
  }
  if (_unitSink) _unitSink(unit, n);
  if (n > 1) trace("<== msg to prot ====");
}

void TlcdrvReader::process() {
  size_t pos = 0;
  while (pos < _len) {
    if (_writeMark != NO_MARK && pos >= _writeMark) {
      // What came after the write answers it.
      _resync = false;
      _writeMark = NO_MARK;
    }
    uint8_t b = _buf[pos];
    if (b == TlWire::SOH) {
      size_t size = 0;
      FrameCheck c = checkFrameAt(pos, &size);
      if (c == FRAME_COMPLETE) {
        size_t q = pos;
        if (!goodFrameAt(pos)) {
          // A bad checksum: a frame cut short and completed by the bytes of
          // the next one shows by a good frame starting inside it.
          q = cutBy(pos, size);
          if (q == WAIT) break;
        }
        if (q != pos) {
          trace(" frame cut short: resync at the next frame");
          skipNoise(pos, q - pos);
          pos = q;
          continue;
        }
        deliver(pos, size);
        pos += size;
        _resync = false;
        continue;
      }
      if (c == FRAME_DAMAGED) {
        trace(" damaged frame head: resync at the next SOH");
        skipNoise(pos, 1);
        ++pos;
        _resync = true;
        continue;
      }
      // Incomplete. A complete good frame further on means this one was
      // cut short: it would otherwise hold that frame back.
      size_t q = pos + 1;
      while (q < _len && !(_buf[q] == TlWire::SOH && goodFrameAt(q))) ++q;
      if (q < _len) {
        trace(" frame cut short: resync at the next frame");
        skipNoise(pos, q - pos);
        pos = q;
        continue;
      }
      break;
    }
    if (!_resync && (b == TlWire::ACK || b == TlWire::NAK)) {
      deliver(pos, 1);
      ++pos;
      continue;
    }
    skipNoise(pos, 1);
    ++pos;
  }
  if (_writeMark != NO_MARK) {
    if (_writeMark <= pos) {
      _resync = false;
      _writeMark = NO_MARK;
    } else {
      _writeMark -= pos;
    }
  }
  if (pos > 0) {
    _len -= pos;
    if (_len) memmove(_buf, _buf + pos, _len);
  }
  flushNoise();
}

TlcdrvReader::ReadState TlcdrvReader::readState() const {
  if (_len == 0) return IDLE_ST;
  if (_len == 1) return READ_TYPE_ST;
  if (_len == 2) return READ_SIZE_ST;
  if (_len == 3) return READ_START_ST;
  size_t length = _buf[2];
  if (_len < length + 4) return READDATA_ST;
  if (_len == length + 4) return READ_END_ST;
  return READ_CKSUM_ST;
}

size_t TlcdrvReader::bytesToNextUnit() const {
  if (_len == 0) return 1;  // a lone ACK or NAK is a unit
  if (_len < 3) return TlWire::OVERHEAD - _len;
  size_t n = _buf[2] + TlWire::OVERHEAD;
  return n > _len ? n - _len : 1;
}
