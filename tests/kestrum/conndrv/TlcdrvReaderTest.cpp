#include <gtest/gtest.h>

#include <vector>

#include "DiagCapture.h"
#include "TlcdrvReader.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const Bytes kEntry7 = {0x01, 0x04, 0x09, 0x02, 0x07, 0x22, 0x41, 0x42,
                       0x22, 0x2C, 0x22, 0x31, 0x22, 0x03, 0x82};
const Bytes kStatusReq = {0x01, 0x00, 0x00, 0x02, 0x03, 0x06};

struct Collect {
  TlcdrvReader reader;
  std::vector<Bytes> units;
  Collect() {
    reader.unitSink([this](const uint8_t* u, size_t n) { units.push_back(Bytes(u, u + n)); });
  }
  void feed(const Bytes& b) { reader.feed(b.data(), b.size()); }
};

Bytes cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

TEST(TlcdrvReader, CompleteFrameIsOneUnit) {
  Collect c;
  c.feed(kEntry7);
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.units[0], kEntry7);
  EXPECT_EQ(c.reader.readState(), TlcdrvReader::IDLE_ST);
  EXPECT_EQ(c.reader.readBufPos(), 0u);
}

TEST(TlcdrvReader, FrameSplitOverReadsIsAssembled) {
  Collect c;
  c.feed(Bytes(kEntry7.begin(), kEntry7.begin() + 2));
  EXPECT_EQ(c.reader.readState(), TlcdrvReader::READ_SIZE_ST);
  c.feed(Bytes(kEntry7.begin() + 2, kEntry7.begin() + 9));
  EXPECT_EQ(c.reader.readState(), TlcdrvReader::READDATA_ST);
  EXPECT_TRUE(c.units.empty());
  c.feed(Bytes(kEntry7.begin() + 9, kEntry7.end()));
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.units[0], kEntry7);
}

TEST(TlcdrvReader, FrameByteByByteIsAssembled) {
  Collect c;
  for (unsigned char b : kEntry7) c.feed({b});
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.units[0], kEntry7);
}

TEST(TlcdrvReader, AckAndNakAreUnitsOfTheirOwn) {
  Collect c;
  c.feed({0x06});
  c.feed({0x15});
  ASSERT_EQ(c.units.size(), 2u);
  EXPECT_EQ(c.units[0], Bytes{0x06});
  EXPECT_EQ(c.units[1], Bytes{0x15});
}

TEST(TlcdrvReader, AckFollowedByFrameBytesInOneChunkDeliversOnlyTheAck) {
  Collect c;
  c.feed(cat({0x06}, kEntry7));
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.units[0], Bytes{0x06});
  EXPECT_EQ(c.reader.readState(), TlcdrvReader::IDLE_ST);
  // The reader is clean for the next unit.
  c.feed(kStatusReq);
  ASSERT_EQ(c.units.size(), 2u);
  EXPECT_EQ(c.units[1], kStatusReq);
}

TEST(TlcdrvReader, TwoFramesInOneChunkDeliverOnlyTheFirst) {
  Collect c;
  c.feed(cat(kStatusReq, kEntry7));
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.units[0], kStatusReq);
}

TEST(TlcdrvReader, ZeroLengthFrameEndsAtEtxAfterStx) {
  Collect c;
  c.feed(kStatusReq);
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.units[0].size(), 6u);
}

TEST(TlcdrvReader, SevenNoiseBytesBeforeSohAreTolerated) {
  Collect c;
  Bytes noise(7, 0x55);
  c.feed(noise);
  c.feed(kEntry7);
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.units[0], kEntry7);
}

TEST(TlcdrvReader, EightNoiseBytesBeforeSohLoseTheFrameSilently) {
  Collect c;
  DiagCapture cap;
  c.feed(cat(Bytes(8, 0x55), kEntry7));
  EXPECT_TRUE(c.units.empty());
  EXPECT_EQ(cap.remote, "");
  EXPECT_EQ(c.reader.readState(), TlcdrvReader::IDLE_ST);
  // The next frame arrives normally.
  c.feed(kEntry7);
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.units[0], kEntry7);
}

TEST(TlcdrvReader, BytesBetweenLengthAndStxOrDataAndEtxStayInTheUnit) {
  Collect c;
  Bytes f = {0x01, 0x05, 0x00, 0x44, 0x02, 0x45, 0x03, 0x92};
  c.feed(f);
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.units[0], f);
}

TEST(TlcdrvReader, LengthByteOf0x80OrMoreResetsTheReader) {
  Collect c;
  // The bad frame head and a good frame in one chunk: the good one arrives.
  c.feed(cat({0x01, 0x04, 0x80}, kStatusReq));
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.units[0], kStatusReq);
  c.feed({0x01, 0x04, 0xFF, 0x02, 0x11, 0x22});
  EXPECT_EQ(c.reader.readState(), TlcdrvReader::IDLE_ST);
  c.feed(kEntry7);
  ASSERT_EQ(c.units.size(), 2u);
  EXPECT_EQ(c.units[1], kEntry7);
}

TEST(TlcdrvReader, StuckReaderRecoversAfterFiveSuspiciousStarts) {
  Collect c;
  // Waits for 127 data bytes that never come.
  c.feed({0x01, 0x04, 0x7F, 0x02});
  ASSERT_EQ(c.reader.readState(), TlcdrvReader::READDATA_ST);
  // Each read that starts like a new unit counts once.
  c.feed({0x01, 0x00});
  c.feed({0x06});
  c.feed({0x15});
  c.feed({0x01, 0x0D});
  c.feed({0x41});  // not suspicious
  EXPECT_EQ(c.reader.nrInvStarts(), 4u);
  c.feed({0x01, 0x08});
  EXPECT_EQ(c.reader.nrInvStarts(), 5u);
  EXPECT_TRUE(c.units.empty());
  EXPECT_EQ(c.reader.readState(), TlcdrvReader::READDATA_ST);
  // The next read starts afresh, and its frame arrives intact.
  c.feed(kEntry7);
  EXPECT_EQ(c.reader.nrInvStarts(), 0u);
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.units[0], kEntry7);
}

TEST(TlcdrvReader, SohWithAnUnusedTypeIsNotSuspicious) {
  Collect c;
  c.feed({0x01, 0x04, 0x7F, 0x02});
  c.feed({0x01, 0x06});
  c.feed({0x01, 0x0E});
  c.feed({0x01, 0x80});
  c.feed({0x01});  // type not yet read
  EXPECT_EQ(c.reader.nrInvStarts(), 0u);
}

TEST(TlcdrvReader, ResetForgetsAHalfReceivedFrame) {
  Collect c;
  c.feed(Bytes(kEntry7.begin(), kEntry7.begin() + 8));
  c.reader.reset();
  EXPECT_EQ(c.reader.readState(), TlcdrvReader::IDLE_ST);
  EXPECT_EQ(c.reader.readBufPos(), 0u);
  c.feed(kStatusReq);
  ASSERT_EQ(c.units.size(), 1u);
  EXPECT_EQ(c.units[0], kStatusReq);
}

TEST(TlcdrvReader, LongNoiseWrapsTheBufferWithoutHarm) {
  Collect c;
  Bytes noise(100, 0x55);
  for (int i = 0; i < 60; ++i) {
    c.feed(noise);
    EXPECT_LT(c.reader.readBufPos(), TlcdrvReader::MAXDATA - TlcdrvReader::MIN_ROOM + 1);
  }
  EXPECT_TRUE(c.units.empty());
  c.reader.reset();
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

TEST(TlcdrvReader, AckLikeBytesOfGoodFramesDoNotAddUpToAReset) {
  // Entry 6 with a checksum of 0x15: read a byte at a time, several reads
  // start with an ACK- or NAK-like byte. Frame after frame must arrive.
  Bytes f = {0x01, 0x04, 0x06, 0x02, 0x06, 0x22, 0x22, 0x2C, 0x22, 0x22, 0x03};
  uint8_t sum = 0;
  for (unsigned char b : f) sum = static_cast<uint8_t>(sum + b);
  f.push_back(sum);
  Collect c;
  for (int n = 0; n < 20; ++n)
    for (unsigned char b : f) c.feed({b});
  EXPECT_EQ(c.units.size(), 20u);
}

TEST(TlcdrvReader, WriteResetAlsoForgetsSuspiciousStarts) {
  Collect c;
  c.feed({0x01, 0x04, 0x7F, 0x02});
  c.feed({0x06});
  c.feed({0x15});
  EXPECT_EQ(c.reader.nrInvStarts(), 2u);
  c.reader.reset();
  EXPECT_EQ(c.reader.nrInvStarts(), 0u);
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
