#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "DiagCapture.h"
#include "TestFrame.h"
#include "TlWire.h"
#include "TlcdrvReader.h"

namespace {

// A setting entry; its number byte may look like SOH, ACK or NAK.
Bytes entry(char nr) { return frame(4, std::string(1, nr) + "\"AB\",\"1\""); }

const Bytes kEntry7 = entry(7), kAck = {0x06}, kNak = {0x15}, kEnd = frame(5, "");
const Bytes kStatus = frame(1, std::string("\x01\xFF\xC8", 3) + "\"TL8888GM-ED\",\"TOLVAN SW6.12.03\",\"STD\",\"H.49\"");

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
  for (size_t i = 0; i < n; ++i) out.push_back(static_cast<unsigned char>(0x20 + (i * 37) % 200));
  return out;
}

struct Collect {
  TlcdrvReader reader;
  std::vector<Bytes> units;
  Collect() { reader.unitSink([this](const uint8_t* u, size_t n) { units.push_back(Bytes(u, u + n)); }); }
  void feed(const Bytes& b) { reader.feed(b.data(), b.size()); }
};

// One read of the port; an empty one stands for a request written by the PC.
const Bytes W;

}  // namespace

// What the device sent, in whatever reads it arrives, and what must come out.
TEST(TlcdrvReader, ByteStreamsGiveExactlyTheUnitsTheDeviceSent) {
  Bytes damagedLength = {0x01, 0x04, 0x85, 0x02, 0x06, 0x01, 0x22, 0x15, 0x03, 0x7A};
  Bytes badSum = cat({head(kEntry7, 14), {0x83}});
  const struct {
    const char* name;
    std::vector<Bytes> reads;
    std::vector<Bytes> units;
  } cases[] = {
      {"back to back in one read", {cat({kStatus, kAck, kEntry7, kEnd, kAck, kNak})}, {kStatus, kAck, kEntry7, kEnd, kAck, kNak}},
      {"write mid-frame, its rest and the reply in one read", {head(kStatus, 20), W, cat({tail(kStatus, 20), entry(1)})}, {kStatus, entry(1)}},
      {"write mid-frame, the reply later", {head(kStatus, 20), W, tail(kStatus, 20), entry(1)}, {kStatus, entry(1)}},
      {"write mid-frame, the reply an ACK", {head(kStatus, 1), W, cat({tail(kStatus, 1), kAck})}, {kStatus, kAck}},
      {"entry numbers like ACK, NAK and SOH", {cat({entry(6), entry(21), entry(1)})}, {entry(6), entry(21), entry(1)}},
      {"length byte 0x80 or more: inner bytes are no units", {cat({damagedLength, kEntry7})}, {kEntry7}},
      {"damaged length, the next frame later", {damagedLength, kEntry7}, {kEntry7}},
      {"length byte 0xFF", {cat({{0x01, 0x04, 0xFF, 0x02, 0x11, 0x06}, kEntry7})}, {kEntry7}},
      {"no STX after the length", {cat({{0x01, 0x04, 0x02, 0x41, 0x06, 0x15}, kEnd})}, {kEnd}},
      {"no ETX where the length puts it", {cat({{0x01, 0x04, 0x02, 0x02, 0x41, 0x42, 0x43, 0x06}, kEntry7})}, {kEntry7}},
      {"bad checksum: delivered, the parser refuses it", {cat({badSum, kAck})}, {badSum, kAck}},
      {"cut frame, the next in the same read", {cat({head(kStatus, 27), kStatus})}, {kStatus}},
      {"cut frame, the next in a later read", {head(kStatus, 27), W, kStatus}, {kStatus}},
      {"cut long frame, a short frame behind it", {head(kStatus, 27), W, kEnd}, {kEnd}},
      {"cut frame at its SOH", {cat({{0x01}, kEntry7})}, {kEntry7}},
      {"cut entry then a write, then a frame", {head(kEntry7, 14), W, kStatus}, {kStatus}},
      {"lone bytes other than ACK and NAK are noise", {{0x0B, 0x04, 0x02, 0x03, 0x06}}, {kAck}},
      {"inner bytes after a damaged head are skipped until a write", {{0x01, 0x04, 0x90, 0x06, 0x15}, W, kAck}, {kAck}},
  };
  for (const auto& c : cases) {
    Collect col;
    for (const Bytes& r : c.reads) {
      if (r.empty())
        col.reader.written();
      else
        col.feed(r);
    }
    EXPECT_EQ(col.units, c.units) << c.name;
    EXPECT_EQ(col.reader.readState(), TlcdrvReader::IDLE_ST) << c.name;
  }
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
    for (size_t u = 0, count = 1 + below(4); u < count; ++u) {
      for (size_t i = 0, len = below(3) == 0 ? below(12) : 0; i < len; ++i) {
        unsigned char b;
        do b = static_cast<unsigned char>(rng()); while (b == 0x01 || b == 0x06 || b == 0x15);
        stream.push_back(b);
      }
      Bytes unit = below(2) ? kAck : kNak;
      if (below(2)) {
        std::string data(1, static_cast<char>(rng()));
        for (size_t i = 0, len = below(20); i < len; ++i) data += static_cast<char>(0x20 + below(0x5F));
        unit = frame(types[below(sizeof types)], data);
      }
      units.push_back(unit);
      stream.insert(stream.end(), unit.begin(), unit.end());
    }
    auto run = [&](const std::vector<size_t>& cuts, const std::vector<bool>& writes) {
      Collect c;
      for (size_t k = 0, from = 0; k <= cuts.size(); ++k) {
        size_t to = k < cuts.size() ? cuts[k] : stream.size();
        c.feed(Bytes(stream.begin() + from, stream.begin() + to));
        if (k < writes.size() && writes[k]) c.reader.written();
        from = to;
      }
      return c.units;
    };
    const size_t n = stream.size();
    std::vector<size_t> every;
    for (size_t a = 1; a < n; ++a) {
      every.push_back(a);
      ASSERT_EQ(run({a}, {true}), units) << "round " << round << " cut " << a;
      for (size_t b = a + 1; b < n; ++b)
        ASSERT_EQ(run({a, b}, {b % 2 == 0, a % 2 == 0}), units) << "round " << round << " cuts " << a << "," << b;
    }
    ASSERT_EQ(run(every, std::vector<bool>(every.size(), false)), units) << "round " << round << " byte by byte";
  }
}

TEST(TlcdrvReader, NoiseIsCountedTracedAndNeverHeld) {
  Collect c;
  std::vector<std::string> dumps;
  c.reader.dumpSink([&](const std::string& t) { dumps.push_back(t); });
  c.feed(cat({{0x41, 0x42, 0x43}, kEntry7}));
  c.feed({0x44, 0x45});
  EXPECT_EQ(c.reader.noiseBytes(), 5u);
  ASSERT_GE(dumps.size(), 3u);
  EXPECT_EQ(dumps[0], "TlcdrvReader: 3 noise bytes skipped: 41 42 43 ");
  for (int i = 0; i < 60; ++i) {
    c.feed(noise(100));
    ASSERT_EQ(c.reader.readBufPos(), 0u);
  }
  c.feed(kEntry7);
  EXPECT_EQ(c.units.size(), 2u);
}

TEST(TlcdrvReader, ReadEndsWhenTheSourceIsEmptyOrTheBufferFull) {
  Collect c;
  EXPECT_EQ(c.reader.read([](void*, int) { return -1; }), 0);
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
  EXPECT_TRUE(c.units.empty());
}

// The loop sleeps until this many bytes wait: it must never ask for more
// than the unit still needs, or the unit would wait for the poll timer.
TEST(TlcdrvReader, BytesToNextUnitIsWhatTheFrameStillNeedsAndResetForgetsIt) {
  Collect c;
  for (size_t i = 0; i < kEntry7.size(); ++i) {
    size_t left = kEntry7.size() - i;
    // Before the length byte the least a unit needs; after it, the frame's rest exactly.
    const size_t expected[] = {1, 5, 4};
    EXPECT_EQ(c.reader.bytesToNextUnit(), i < 3 ? expected[i] : left) << "before byte " << i;
    c.feed({kEntry7[i]});
  }
  EXPECT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.reader.bytesToNextUnit(), 1u);
  c.feed(head(kEntry7, 8));
  EXPECT_EQ(c.reader.readState(), TlcdrvReader::READDATA_ST);
  c.reader.reset();
  EXPECT_EQ(c.reader.readBufPos(), 0u);
  EXPECT_EQ(c.reader.bytesToNextUnit(), 1u);
  c.feed(kEnd);
  EXPECT_EQ(c.units.back(), kEnd);
}
