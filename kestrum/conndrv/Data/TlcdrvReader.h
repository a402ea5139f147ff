#ifndef TLCDRVREADER_H
#define TLCDRVREADER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Cuts the bytes coming from the device into units for the parser: a lone
// ACK, a lone NAK, or one frame from SOH to its checksum. It knows the
// framing, not the meaning; the parser checks the checksum.
//
// NOTE: the reader keeps its state across reads (a frame may arrive in
// pieces), and after delivering a unit it drops the rest of that chunk: the
// device sends one unit and then waits for the PC's answer, and every write
// of the PC resets the reader anyway.
class TlcdrvReader {
public:
  enum ReadState {
    IDLE_ST = 0,
    READ_TYPE_ST = 1,
    READ_SIZE_ST = 2,
    READ_START_ST = 3,
    READDATA_ST = 4,
    READ_END_ST = 5,
    READ_CKSUM_ST = 6,
  };

  static const uint16_t MAXDATA = 2048;
  static const uint8_t MAX_INV_STARTS = 4;
  // Bytes tolerated in front of the SOH of a frame.
  static const size_t MAX_LEADING_NOISE = 7;
  // The write position returns to the start when less room is left.
  static const size_t MIN_ROOM = 5;

  // Where received units go.
  typedef std::function<void(const uint8_t* unit, size_t n)> UnitSink;
  // Source of bytes: fills at most max bytes, returns the count or -1.
  typedef std::function<int(void* buffer, int max)> ByteSource;
  // Trace output (one piece of a trace line, without the component suffix).
  typedef std::function<void(const std::string& text)> TraceSink;

  TlcdrvReader();

  void unitSink(UnitSink sink) { _unitSink = sink; }
  // Detailed trace of every byte (trace level LOW).
  void traceSink(TraceSink sink) { _traceSink = sink; }
  // Dump of delivered frames (any of HIGH, MED, LOW).
  void dumpSink(TraceSink sink) { _dumpSink = sink; }

  // Reads from source while it delivers; returns the number of bytes read.
  int read(const ByteSource& source);
  // One chunk as if read from the port.
  void feed(const uint8_t* chunk, size_t n);

  // What a write does, and what follows every unit: any partly received
  // unit is forgotten.
  void reset();

  // The fewest bytes that must still arrive before the reader can deliver
  // a unit (at least 1): a frame's header tells how much of it is to come.
  size_t bytesToNextUnit() const;

  ReadState readState() const { return _readState; }
  uint8_t nrInvStarts() const { return _nrInvStarts; }
  size_t readBufPos() const { return _readBufPtr; }
  uint16_t dataNrBytes() const { return _dataNrBytes; }
  uint16_t dataBytesIx() const { return _dataBytesIx; }

private:
  bool processChunk(size_t n);
  void checkStartValidProtMsg(size_t n);
  bool emitFrame(size_t end);
  void restartAt(size_t from, size_t end);
  void trace(const std::string& text) const;

  ReadState _readState;
  uint8_t _nrInvStarts;
  uint8_t _readBuf[MAXDATA];
  size_t _readBufPtr;
  uint16_t _dataNrBytes;
  uint16_t _dataBytesIx;
  UnitSink _unitSink;
  TraceSink _traceSink;
  TraceSink _dumpSink;
};

#endif
