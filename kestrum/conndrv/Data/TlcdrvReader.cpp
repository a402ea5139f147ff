#include "TlcdrvReader.h"

#include <cstdio>
#include <cstring>

#include "BDiag.h"
#include "TlWire.h"

namespace {

const uint8_t SYNC_RESET_AT = TlcdrvReader::MAX_INV_STARTS + 1;

bool isMessageType(int8_t t) { return (t >= 0 && t <= 5) || (t >= 8 && t <= 13); }

}  // namespace

TlcdrvReader::TlcdrvReader()
    : _readState(IDLE_ST), _nrInvStarts(0), _readBufPtr(0), _dataNrBytes(0), _dataBytesIx(0) {
  memset(_readBuf, 0, sizeof _readBuf);
}

void TlcdrvReader::reset() {
  // The count belongs to the unit being read: counted over many units, the
  // ACK- and NAK-like bytes that frames carry (lengths, entry numbers,
  // checksums) would add up and cut a good frame short.
  _nrInvStarts = 0;
  _readBufPtr = 0;
  _dataNrBytes = 0;
  _dataBytesIx = 0;
  _readState = IDLE_ST;
}

void TlcdrvReader::trace(const std::string& text) const {
  if (_traceSink) _traceSink(text);
}

int TlcdrvReader::read(const ByteSource& source) {
  int total = 0;
  for (;;) {
    int room = static_cast<int>(MAXDATA - _readBufPtr);
    int n = source(_readBuf + _readBufPtr, room);
    if (n <= 0) break;
    if (n > room) n = room;
    total += n;
    if (_traceSink) trace("\n-->TlcdrvRoot::readSerialPort bytes read:" + std::to_string(n));
    if (total > MAXDATA - 1) {
      B_ASSERT_TXT(false, "(totalRead < Tlcdrv::MAXDATA)", "Too many bytes (" << total << ")");
      break;
    }
    if (processChunk(static_cast<size_t>(n))) break;
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

// Forgets the unit being read and moves the unprocessed bytes [from, end) of
// the chunk to the start of the buffer, where the next unit begins.
void TlcdrvReader::restartAt(size_t from, size_t end) {
  size_t rest = end - from;
  if (rest) memmove(_readBuf, _readBuf + from, rest);
  _readBufPtr = 0;
  _dataNrBytes = 0;
  _dataBytesIx = 0;
  _readState = IDLE_ST;
  _nrInvStarts = 0;
}

void TlcdrvReader::checkStartValidProtMsg(size_t n) {
  if (_nrInvStarts >= SYNC_RESET_AT) {
    // The unit being read never ended: the new chunk starts afresh, at the
    // start of the buffer so that no stale bytes precede its SOH.
    _nrInvStarts = 0;
    restartAt(_readBufPtr, _readBufPtr + n);
    return;
  }
  if (_readState == IDLE_ST) return;
  uint8_t b = _readBuf[_readBufPtr];
  bool suspicious = b == TlWire::ACK || b == TlWire::NAK ||
                    (b == TlWire::SOH && n >= 2 &&
                     isMessageType(static_cast<int8_t>(_readBuf[_readBufPtr + 1])));
  if (suspicious) ++_nrInvStarts;
}

// Returns true when a unit was delivered: the rest of the chunk is dropped.
bool TlcdrvReader::processChunk(size_t n) {
  checkStartValidProtMsg(n);
  size_t end = _readBufPtr + n;
  if (_traceSink) {
    char head[64];
    snprintf(head, sizeof head, "%s: bytes: ", "readSerialPort");
    trace(head);
  }
  while (_readBufPtr < end) {
    uint8_t b = _readBuf[_readBufPtr];
    if (_traceSink) {
      char line[64];
      snprintf(line, sizeof line, "0x%x:%d state=%d ", b, b, static_cast<int>(_readState));
      trace(line);
    }
    switch (_readState) {
      case IDLE_ST:
        if (b == TlWire::ACK || b == TlWire::NAK) {
          trace("\n==== ack/nak msg sent to prot ====");
          if (_unitSink) _unitSink(&b, 1);
          reset();
          return true;
        }
        if (b == TlWire::SOH) _readState = READ_TYPE_ST;
        break;
      case READ_TYPE_ST:
        _readState = READ_SIZE_ST;
        break;
      case READ_SIZE_ST:
        // Device frames carry at most 127 data bytes; a larger length byte
        // is noise, and waiting for that many bytes would stall the reader.
        if (b >= 0x80) {
          size_t rest = end - (_readBufPtr + 1);
          restartAt(_readBufPtr + 1, end);
          end = rest;
          continue;
        }
        _dataNrBytes = b;
        if (_traceSink) trace("dataNrBytes=" + std::to_string(_dataNrBytes) + " ");
        _readState = READ_START_ST;
        break;
      case READ_START_ST:
        if (b == TlWire::STX) {
          _dataBytesIx = 0;
          _readState = _dataNrBytes == 0 ? READ_END_ST : READDATA_ST;
        }
        break;
      case READDATA_ST:
        if (_dataBytesIx < _dataNrBytes - 1)
          ++_dataBytesIx;
        else
          _readState = READ_END_ST;
        break;
      case READ_END_ST:
        if (b == TlWire::ETX) _readState = READ_CKSUM_ST;
        break;
      case READ_CKSUM_ST:
        emitFrame(_readBufPtr);
        reset();
        return true;
    }
    ++_readBufPtr;
  }
  if (MAXDATA - _readBufPtr < MIN_ROOM) {
    _readBufPtr = 0;
    trace(" reset readBuffPtr");
  }
  return false;
}

bool TlcdrvReader::emitFrame(size_t last) {
  size_t start = 0;
  while (start <= last && _readBuf[start] != TlWire::SOH) {
    if (++start > MAX_LEADING_NOISE) return false;
  }
  if (start > last) return false;
  size_t count = last - start + 1;
  if (count > MAXDATA - 1u) {
    B_ASSERT_TXT(false, "(strEvt->nrBytes < Tlcdrv::MAXDATA)",
                 "Too many bytes (" << count << ") > (" << MAXDATA - 1 << ")");
    return false;
  }
  if (_traceSink) trace("\n==> msg rcvd == nrBytes:" + std::to_string(count));
  if (_dumpSink) {
    std::string dump;
    char hex[8];
    for (size_t i = 0; i < count; ++i) {
      snprintf(hex, sizeof hex, "%02x ", _readBuf[start + i]);
      dump += hex;
    }
    _dumpSink(dump);
  }
  if (_unitSink) _unitSink(_readBuf + start, count);
  trace("<== msg to prot ====");
  return true;
}

size_t TlcdrvReader::bytesToNextUnit() const {
  switch (_readState) {
    case READ_TYPE_ST:
      return 5;  // type, length, STX, ETX, checksum
    case READ_SIZE_ST:
      return 4;
    case READ_START_ST:
      return 3u + _dataNrBytes;
    case READDATA_ST:
      return (_dataNrBytes > _dataBytesIx ? _dataNrBytes - _dataBytesIx : 1u) + 2u;
    case READ_END_ST:
      return 2;
    default:
      return 1;  // idle: a lone ACK or NAK is a unit; the checksum ends a frame
  }
}
