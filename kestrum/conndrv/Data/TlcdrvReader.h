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
// No byte is dropped unseen: the bytes after a unit start the next one, and
// a frame starts at its own SOH wherever it lies. What comes before it is
// noise, skipped, counted and traced. A frame head that cannot be right (a
// length byte of 0x80 or more, no STX or no ETX where the length puts them)
// was no frame: the reader looks for the next SOH, and the bytes up to it
// are noise, never units of their own (a frame's inner bytes may look like
// ACK or NAK). The checksum decides between readings: a frame still
// incomplete, or complete with a bad checksum, was cut short on the line when
// a later SOH inside it starts a complete frame with a good checksum; a frame
// complete with a bad checksum otherwise goes to the parser, which refuses it
// (the device then sends it again).
class TlcdrvReader {
public:
  // How far the unit being read has come (kept for the trace and the tests).
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
  // Dump of delivered frames and skipped noise (any of HIGH, MED, LOW).
  void dumpSink(TraceSink sink) { _dumpSink = sink; }

  // Reads from source while it delivers; returns the number of bytes read.
  int read(const ByteSource& source);
  // One chunk as if read from the port.
  void feed(const uint8_t* chunk, size_t n);

  // The PC wrote a request: what arrives from now on answers it. A frame
  // half received goes on (its rest may still come, right behind it the
  // answer); a reader skipping the remains of a damaged frame starts afresh.
  void written();
  // Forgets everything held (the port was closed).
  void reset();

  // The fewest bytes that must still arrive before the reader can deliver
  // a unit (at least 1): a frame's header tells how much of it is to come.
  size_t bytesToNextUnit() const;

  ReadState readState() const;
  // Bytes held: the part of a frame received so far.
  size_t readBufPos() const { return _len; }
  // Bytes skipped as noise since the start.
  uint64_t noiseBytes() const { return _noiseTotal; }

private:
  enum FrameCheck { FRAME_INCOMPLETE, FRAME_DAMAGED, FRAME_COMPLETE };
  FrameCheck checkFrameAt(size_t pos, size_t* size) const;
  bool goodFrameAt(size_t pos) const;
  size_t cutBy(size_t pos, size_t size) const;
  void process();
  void skipNoise(size_t pos, size_t n);
  void flushNoise();
  void deliver(size_t pos, size_t n);
  void trace(const std::string& text) const;

  uint8_t _buf[MAXDATA];
  // Bytes held, from the start of _buf.
  size_t _len;
  // Skipping to the next SOH after a damaged frame.
  bool _resync;
  // Where the bytes received after the last write begin, while a frame
  // begun before it is held; NO_MARK otherwise.
  size_t _writeMark;
  static const size_t NO_MARK = static_cast<size_t>(-1);
  static const size_t WAIT = static_cast<size_t>(-2);
  uint64_t _noiseTotal;
  // The run of noise being skipped, traced when it ends.
  std::string _noiseRun;
  size_t _noiseRunLen;
  UnitSink _unitSink;
  TraceSink _traceSink;
  TraceSink _dumpSink;
};

#endif
