#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "DiagCapture.h"
#include "TlWire.h"
#include "TlcdrvReader.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const Bytes kEntry7 = {0x01, 0x04, 0x09, 0x02, 0x07, 0x22, 0x41, 0x42,
                       0x22, 0x2C, 0x22, 0x31, 0x22, 0x03, 0x82};
const Bytes kAck = {0x06}, kNak = {0x15};

Bytes frame(uint8_t type, const Bytes& data) {
  Bytes f = {0x01, type, static_cast<unsigned char>(data.size()), 0x02};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(0x03);
  f.push_back(TlWire::checksum(f.data(), f.size()));
  return f;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A setting entry; its number byte may look like SOH, ACK or NAK.
Bytes entry(uint8_t nr, const std::string& f1 = "AB", const std::string& f2 = "1") {
  Bytes d = {nr};
  Bytes t = text("\"" + f1 + "\",\"" + f2 + "\"");
  d.insert(d.end(), t.begin(), t.end());
  return frame(4, d);
}

const Bytes kStatus = frame(1, text(std::string("\x01\xFF\xC8", 3) + "\"TL8888GM-ED\",\"TOLVAN SW6.12.03\",\"STD\",\"H.49\""));
const Bytes kEnd = frame(5, {});

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes head(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + n); }
Bytes tail(const Bytes& b, size_t from) { return Bytes(b.begin() + from, b.end()); }
// Noise that starts no unit.
Bytes noise(size_t n) {
  Bytes out;
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(0x20 + (i * 37) % 200);
    out.push_back(c);
  }
  return out;
}

struct Collect {
  TlcdrvReader reader;
  std::vector<Bytes> units;
  Collect() {
    reader.unitSink([this](const uint8_t* u, size_t n) { units.push_back(Bytes(u, u + n)); });
  }
  void feed(const Bytes& b) { reader.feed(b.data(), b.size()); }
};

// One read of the port, or (write) a request written by the PC.
struct Step {
  Bytes bytes;
  bool write;
};
Step rd(const Bytes& b) { return {b, false}; }
const Step kWrite = {{}, true};

struct StreamCase {
  const char* name;
  std::vector<Step> steps;
  std::vector<Bytes> units;
};

}  // namespace

// What the device sent, in whatever reads it arrives, and what must come out.
TEST(TlcdrvReader, ByteStreamsGiveExactlyTheUnitsTheDeviceSent) {
  Bytes damagedLength = {0x01, 0x04, 0x85, 0x02, 0x06, 0x01, 0x22, 0x15, 0x03, 0x7A};
  Bytes entry6 = entry(6), entry21 = entry(21), entry1 = entry(1);
  const std::vector<StreamCase> cases = {
      {"one frame", {rd(kEntry7)}, {kEntry7}},
      {"one noise byte before a frame", {rd(cat({noise(1), kEntry7}))}, {kEntry7}},
      {"seven noise bytes before a frame", {rd(cat({noise(7), kEntry7}))}, {kEntry7}},
      {"eight noise bytes before a frame", {rd(cat({noise(8), kEntry7}))}, {kEntry7}},
      {"500 noise bytes before a frame, over reads", {rd(noise(300)), rd(cat({noise(200), kEntry7}))}, {kEntry7}},
      {"noise, then a frame in the next read", {rd(noise(8)), rd(kEntry7)}, {kEntry7}},
      {"frames back to back in one read", {rd(cat({kStatus, kEntry7, kEnd}))}, {kStatus, kEntry7, kEnd}},
      {"ACK then a frame in one read", {rd(cat({kAck, kEntry7}))}, {kAck, kEntry7}},
      {"frame then ACK then NAK in one read", {rd(cat({kEntry7, kAck, kNak}))}, {kEntry7, kAck, kNak}},
      {"status info behind entry 1 in one read", {rd(cat({kStatus, entry1}))}, {kStatus, entry1}},
      {"frame split over many reads",
       {rd(head(kStatus, 1)), rd(Bytes(kStatus.begin() + 1, kStatus.begin() + 3)),
        rd(Bytes(kStatus.begin() + 3, kStatus.begin() + 30)), rd(tail(kStatus, 30))},
       {kStatus}},
      {"write mid-frame, its rest and the reply in one read",
       {rd(head(kStatus, 20)), kWrite, rd(cat({tail(kStatus, 20), entry1}))},
       {kStatus, entry1}},
      {"write mid-frame, the reply in a later read",
       {rd(head(kStatus, 20)), kWrite, rd(tail(kStatus, 20)), rd(entry1)},
       {kStatus, entry1}},
      {"write mid-frame, the reply an ACK", {rd(head(kStatus, 1)), kWrite, rd(cat({tail(kStatus, 1), kAck}))}, {kStatus, kAck}},
      {"frame with entry numbers like ACK, NAK and SOH", {rd(cat({entry6, entry21, entry1}))}, {entry6, entry21, entry1}},
      {"damaged length byte: its inner bytes are no units", {rd(cat({damagedLength, kEntry7}))}, {kEntry7}},
      {"damaged length byte, the next frame in a later read", {rd(damagedLength), rd(kEntry7)}, {kEntry7}},
      {"length byte 0xFF", {rd(cat({{0x01, 0x04, 0xFF, 0x02, 0x11, 0x06}, kEntry7}))}, {kEntry7}},
      {"no STX after the length", {rd(cat({{0x01, 0x04, 0x02, 0x41, 0x06, 0x15}, kEnd}))}, {kEnd}},
      {"no ETX where the length puts it",
       {rd(cat({{0x01, 0x04, 0x02, 0x02, 0x41, 0x42, 0x43, 0x06}, kEntry7}))},
       {kEntry7}},
      {"bad checksum: delivered, the parser refuses it",
       {rd(cat({head(kEntry7, 14), {0x83}, kAck}))},
       {cat({head(kEntry7, 14), {0x83}}), kAck}},
      {"cut frame, the next frame in the same read", {rd(cat({head(kStatus, 27), kStatus}))}, {kStatus}},
      {"cut frame, the next frame in a later read", {rd(head(kStatus, 27)), kWrite, rd(kStatus)}, {kStatus}},
      {"cut long frame, a short frame behind it", {rd(head(kStatus, 27)), kWrite, rd(kEnd)}, {kEnd}},
      {"cut frame at its SOH", {rd(cat({{0x01}, kEntry7}))}, {kEntry7}},
      {"cut entry then ACK after a write, then a frame",
       {rd(head(kEntry7, 14)), kWrite, rd(kStatus)},
       {kStatus}},
      {"lone bytes other than ACK and NAK are noise", {rd({0x0B, 0x04, 0x02, 0x03, 0x06})}, {kAck}},
      {"inner bytes after a damaged head are skipped until a write",
       {rd({0x01, 0x04, 0x90, 0x06, 0x15}), kWrite, rd(kAck)},
       {kAck}},
  };
  for (const StreamCase& c : cases) {
    Collect col;
    for (const Step& s : c.steps) {
      if (s.write)
        col.reader.written();
      else
        col.feed(s.bytes);
    }
    EXPECT_EQ(col.units, c.units) << c.name;
    EXPECT_EQ(col.reader.readState(), TlcdrvReader::IDLE_ST) << c.name;
  }
}

TEST(TlcdrvReader, NoiseIsCountedAndTraced) {
  Collect c;
  std::vector<std::string> dumps;
  c.reader.dumpSink([&](const std::string& t) { dumps.push_back(t); });
  c.feed(cat({{0x41, 0x42, 0x43}, kEntry7}));
  c.feed({0x44, 0x45});
  EXPECT_EQ(c.reader.noiseBytes(), 5u);
  ASSERT_GE(dumps.size(), 3u);
  EXPECT_EQ(dumps[0], "TlcdrvReader: 3 noise bytes skipped: 41 42 43 ");
  EXPECT_EQ(dumps.back(), "TlcdrvReader: 2 noise bytes skipped: 44 45 ");
}

// Any stream of frames and ACK/NAK units with noise between them (noise
// that starts no unit) gives exactly those units, however it is cut into
// reads and wherever the PC writes between two reads.
TEST(TlcdrvReader, EveryCuttingOfAStreamGivesTheSameUnits) {
  std::mt19937 rng(12345);
  auto below = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  const uint8_t types[] = {1, 4, 5, 9, 11, 13};
  for (int round = 0; round < 40; ++round) {
    std::vector<Bytes> units;
    Bytes stream;
    size_t count = 1 + below(4);
    for (size_t u = 0; u < count; ++u) {
      size_t noiseLen = below(3) == 0 ? below(12) : 0;
      for (size_t i = 0; i < noiseLen; ++i) {
        unsigned char b;
        do b = static_cast<unsigned char>(rng()); while (b == 0x01 || b == 0x06 || b == 0x15);
        stream.push_back(b);
      }
      Bytes unit;
      switch (below(4)) {
        case 0: unit = kAck; break;
        case 1: unit = kNak; break;
        default: {
          Bytes data = {static_cast<unsigned char>(rng())};
          size_t len = below(20);
          for (size_t i = 0; i < len; ++i) data.push_back(static_cast<unsigned char>(0x20 + below(0x5F)));
          unit = frame(types[below(sizeof types)], data);
        }
      }
      units.push_back(unit);
      stream.insert(stream.end(), unit.begin(), unit.end());
    }
    auto run = [&](const std::vector<size_t>& cuts, const std::vector<bool>& writes) {
      Collect c;
      size_t from = 0;
      for (size_t k = 0; k <= cuts.size(); ++k) {
        size_t to = k < cuts.size() ? cuts[k] : stream.size();
        c.feed(Bytes(stream.begin() + from, stream.begin() + to));
        if (k < writes.size() && writes[k]) c.reader.written();
        from = to;
      }
      return c.units;
    };
    const size_t n = stream.size();
    // Every single cut and every pair of cuts, with and without writes.
    for (size_t a = 1; a < n; ++a) {
      ASSERT_EQ(run({a}, {true}), units) << "round " << round << " cut " << a;
      for (size_t b = a + 1; b < n; ++b) ASSERT_EQ(run({a, b}, {b % 2 == 0, a % 2 == 0}), units)
          << "round " << round << " cuts " << a << "," << b;
    }
    // Byte by byte, and random cuttings into many reads.
    std::vector<size_t> every;
    for (size_t a = 1; a < n; ++a) every.push_back(a);
    ASSERT_EQ(run(every, std::vector<bool>(every.size(), false)), units) << "round " << round;
    for (int r = 0; r < 50; ++r) {
      std::vector<size_t> cuts;
      std::vector<bool> writes;
      for (size_t a = 1; a < n; ++a)
        if (below(3) == 0) {
          cuts.push_back(a);
          writes.push_back(below(2) == 0);
        }
      ASSERT_EQ(run(cuts, writes), units) << "round " << round;
    }
  }
}

TEST(TlcdrvReader, ResetForgetsAHalfReceivedFrame) {
  Collect c;
  c.feed(head(kEntry7, 8));
  EXPECT_EQ(c.reader.readState(), TlcdrvReader::READDATA_ST);
  c.reader.reset();
  EXPECT_EQ(c.reader.readState(), TlcdrvReader::IDLE_ST);
  EXPECT_EQ(c.reader.readBufPos(), 0u);
  c.feed(kEnd);
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.units[0], kEnd);
}

TEST(TlcdrvReader, LongNoiseHoldsNothing) {
  Collect c;
  for (int i = 0; i < 60; ++i) {
    c.feed(noise(100));
    EXPECT_EQ(c.reader.readBufPos(), 0u);
  }
  EXPECT_TRUE(c.units.empty());
  c.feed(kEntry7);
  ASSERT_EQ(c.units.size(), 1u);
}

TEST(TlcdrvReader, EndlessInputEndsTheReadWithAMessage) {
  Collect c;
  DiagCapture cap;
  int calls = 0;
  int total = c.reader.read([&](void* buf, int max) {
    ++calls;
    int n = max < 100 ? max : 100;
    memset(buf, 0x55, static_cast<size_t>(n));
    return n;
  });
  EXPECT_GT(total, 2047);
  EXPECT_LT(calls, 30);
  EXPECT_TRUE(cap.has("Assertion failed: (totalRead < Tlcdrv::MAXDATA) Too many bytes ("));
}

TEST(TlcdrvReader, ReadStopsWhenTheSourceHasNothing) {
  Collect c;
  EXPECT_EQ(c.reader.read([](void*, int) { return -1; }), 0);
  EXPECT_TRUE(c.units.empty());
}

// The loop sleeps until this many bytes wait: it must never ask for more
// than the unit still needs, or the unit would wait for the poll timer.
TEST(TlcdrvReader, BytesToNextUnitNeverExceedWhatTheFrameStillNeeds) {
  Collect c;
  EXPECT_EQ(c.reader.bytesToNextUnit(), 1u);
  for (size_t i = 0; i < kEntry7.size(); ++i) {
    size_t left = kEntry7.size() - i;
    EXPECT_LE(c.reader.bytesToNextUnit(), left) << "before byte " << i;
    // Once the length byte is in, the frame's remainder is known exactly.
    if (i >= 3) {
      EXPECT_EQ(c.reader.bytesToNextUnit(), left) << "before byte " << i;
    }
    c.feed({kEntry7[i]});
  }
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.reader.bytesToNextUnit(), 1u);
}

TEST(TlcdrvReader, BytesToNextUnitOfAnEmptyFrameAndAfterAReset) {
  Collect c;
  c.feed({0x01, 0x05, 0x00});
  EXPECT_EQ(c.reader.bytesToNextUnit(), 3u);  // STX, ETX, checksum
  c.feed({0x02});
  EXPECT_EQ(c.reader.bytesToNextUnit(), 2u);
  c.reader.reset();
  EXPECT_EQ(c.reader.bytesToNextUnit(), 1u);
}
