#include <gtest/gtest.h>

#include "DiagCapture.h"
#include "LinkHarness.h"
#include "Serial.h"
#include "TlWire.h"
#include "TlcdrvRoot.h"
#include "TlprotAckEvt.h"
#include "TlprotBndToConnDrv.h"
#include "TlprotBootLoadData.h"
#include "TlprotChecksum.h"
#include "TlprotDlrEvt.h"
#include "TlprotNakEvt.h"
#include "TlprotPacknr.h"
#include "TlprotRoot.h"
#include "TlprotSignals.h"
#include "TlprotSrqEvt.h"
#include "TlprotUpgrData.h"
#include "TlprotUpgradeReq.h"
#include "TlprotUplEndEvt.h"
#include "TlprotUprEvt.h"
#include "kestrum/conndrv/PtyPair.h"

namespace {

typedef std::vector<unsigned char> Bytes;

const Bytes kEntry7 = {0x01, 0x04, 0x09, 0x02, 0x07, 0x22, 0x41, 0x42,
                       0x22, 0x2C, 0x22, 0x31, 0x22, 0x03, 0x82};

Bytes frame(uint8_t type, const std::string& data) {
  Bytes f = {0x01, type, static_cast<unsigned char>(data.size()), 0x02};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(0x03);
  f.push_back(TlWire::checksum(f.data(), f.size()));
  return f;
}

Bytes statusFrame(const std::string& sw) {
  return frame(1, std::string("\x05\x00\xC8", 3) + "\"TL8888GM-ED\",\"" + sw + "\",\"SP\",\"H1.2\"");
}

// The parser with the driver on a pseudo-terminal; the test is the device.
struct ParserTest : ::testing::Test {
  PtyPair pty;
  LinkSystem sys{true, false};
  DiagCapture cap;

  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    sys.choosePort(pty.slave);
    ASSERT_FALSE(sys.main->ctrlLog.empty());
    ASSERT_EQ(sys.main->ctrlLog.back().error, CdrvErrorEvt::CDRV_CLEAR_COM_NOT_OPEN);
    sys.main->ctrlLog.clear();
  }

  TlprotBndToConnDrv* parser() {
    BRootState* root = sys.main->ctrl->child(0);
    return root ? dynamic_cast<TlprotBndToConnDrv*>(
                      root->getState(TlprotBndToConnDrv::TLPROTBNDTOCONNDRV))
                : nullptr;
  }
  // A unit handed to the parser as if the driver had cut it.
  void unit(const Bytes& b) {
    TlprotBndToConnDrv* p = parser();
    ASSERT_NE(p, nullptr);
    CdrvStrEvt* e = new CdrvStrEvt(b.data(), b.size());
    p->cdrvString(e);
    e->destroy();
    sys.run(20);
  }

  size_t reportCount() const {
    size_t n = 0;
    for (const auto& r : sys.main->ctrlLog)
      if (r.from == PROT_PARSER) ++n;
    return n;
  }
  // The device sends bytes; the system runs until a report arrives or
  // quietMs pass.
  void device(const Bytes& b, int quietMs = 300) {
    size_t before = reportCount();
    pty.send(b);
    sys.pump([&] { return reportCount() > before; }, quietMs);
  }
  // What the program wrote to the device.
  Bytes written(int quietMs = 100) {
    Bytes out;
    sys.pump([&] {
      Bytes part = pty.receive(0);
      out.insert(out.end(), part.begin(), part.end());
      return false;
    }, quietMs);
    return out;
  }
  void request(BBindingEvent* e) { sys.toParser(e); }
};

}  // namespace

TEST_F(ParserTest, WorkedExampleBecomesASettingEntry) {
  device(kEntry7);
  auto see = sys.reports(TLPROT_REP_SET_ENTRY);
  ASSERT_EQ(see.size(), 1u);
  EXPECT_EQ(see[0].entryNr, 7);
  EXPECT_EQ(see[0].f1, "AB");
  EXPECT_EQ(see[0].f2, "1");
  EXPECT_TRUE(written().empty());
}

TEST_F(ParserTest, BadChecksumIsAnsweredWithNakAndNothingGoesUp) {
  Bytes bad = kEntry7;
  bad.back() = 0x83;
  device(bad);
  EXPECT_EQ(written(), Bytes{0x15});
  EXPECT_EQ(reportCount(), 0u);
  EXPECT_NE(cap.remote.find("Exception: checksum error read:-125 calc:-126"), std::string::npos)
      << cap.remote;
  EXPECT_NE(cap.log.find("kestrum/protparser/States/TlprotBndToConnDrv "), std::string::npos);
}

TEST_F(ParserTest, FiveBadFramesGiveFourNaksAndAGoodFrameResetsTheCount) {
  Bytes bad = kEntry7;
  bad.back() = 0x00;
  Bytes naks;
  for (int i = 0; i < 5; ++i) {
    device(bad, 150);
    Bytes w = written();
    naks.insert(naks.end(), w.begin(), w.end());
  }
  EXPECT_EQ(naks, Bytes(4, 0x15));
  device(kEntry7);
  EXPECT_EQ(sys.reports(TLPROT_REP_SET_ENTRY).size(), 1u);
  device(bad, 150);
  EXPECT_EQ(written(), Bytes{0x15});
}

TEST_F(ParserTest, LoneBootLoadRequestByteGoesUp) {
  unit({0x0B});
  ASSERT_EQ(reportCount(), 1u);
  EXPECT_EQ(sys.main->ctrlLog.back().sig, TLPROT_REP_BTL_REQ);
}

TEST_F(ParserTest, UnknownLoneByteIsDroppedWithAMessage) {
  unit({0x41});
  EXPECT_EQ(reportCount(), 0u);
  EXPECT_TRUE(cap.has("Assertion failed: false Unknown data:65"));
  EXPECT_TRUE(cap.has("kestrum/protparser/States/TlprotBndToConnDrv "));
}

TEST_F(ParserTest, FrameWithoutSohIsNaked) {
  Bytes noSoh = kEntry7;
  noSoh[0] = 0x00;
  unit(noSoh);
  EXPECT_EQ(reportCount(), 0u);
  EXPECT_EQ(written(), Bytes{0x15});
  EXPECT_NE(cap.remote.find("Exception:  Data does NOT start with SOH"), std::string::npos);
}

TEST_F(ParserTest, UnitsTooShortForAFrameAreNaked) {
  unit({0x01, 0x01});
  EXPECT_EQ(reportCount(), 0u);
  EXPECT_EQ(written(), Bytes{0x15});
}

TEST_F(ParserTest, ReceivedSlashBecomesBackslash) {
  device(frame(4, "\x03\"C:/dir/file\",\"0/1\""));
  auto see = sys.reports(TLPROT_REP_SET_ENTRY);
  ASSERT_EQ(see.size(), 1u);
  EXPECT_EQ(see[0].f1, "C:\\dir\\file");
  EXPECT_EQ(see[0].f2, "0/1");
}

TEST_F(ParserTest, SentBackslashBecomesSlash) {
  TlprotSeeEvt* see = new TlprotSeeEvt();
  see->entryNr(3);
  see->f1data("C:\\dir");
  see->f2data("12");
  request(see);
  EXPECT_EQ(written(), frame(4, "\x03\"C:/dir\",\"12\""));
}

TEST_F(ParserTest, WorkedExampleIsWhatASettingEntryRequestSends) {
  TlprotSeeEvt* see = new TlprotSeeEvt();
  see->entryNr(7);
  see->f1data("AB");
  see->f2data("1");
  request(see);
  EXPECT_EQ(written(), kEntry7);
}

TEST_F(ParserTest, EmptyFieldsTravelBothWays) {
  TlprotSeeEvt* see = new TlprotSeeEvt();
  see->entryNr(9);
  request(see);
  EXPECT_EQ(written(), frame(4, "\x09\"\",\"\""));
  device(frame(4, "\x09\"\",\"\""));
  auto got = sys.reports(TLPROT_REP_SET_ENTRY);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].f1, "");
  EXPECT_EQ(got[0].f2, "");
}

TEST_F(ParserTest, StatusInfoSoftwareOf17CharactersKeepsPositions9To15) {
  device(statusFrame("ABCDEFGHIJKLMNOPQ"));
  auto sti = sys.reports(TLPROT_REP_STATUS_INFO);
  ASSERT_EQ(sti.size(), 1u);
  EXPECT_EQ(sti[0].softw, "JKLMNOP");
  EXPECT_EQ(sti[0].prVer, 5);
  EXPECT_EQ(sti[0].extraStat, 0);
  EXPECT_EQ(sti[0].nrEntries, 200);
  EXPECT_EQ(sti[0].type, "TL8888GM-ED");
  EXPECT_EQ(sti[0].special, "SP");
  EXPECT_EQ(sti[0].hardw, "H1.2");
}

TEST_F(ParserTest, StatusInfoSoftwareOf12CharactersKeepsPositions9To11) {
  device(statusFrame("ABCDEFGHIJKL"));
  auto sti = sys.reports(TLPROT_REP_STATUS_INFO);
  ASSERT_EQ(sti.size(), 1u);
  EXPECT_EQ(sti[0].softw, "JKL");
}

TEST_F(ParserTest, StatusInfoSoftwareOf9CharactersKeepsNothing) {
  device(statusFrame("ABCDEFGHI"));
  auto sti = sys.reports(TLPROT_REP_STATUS_INFO);
  ASSERT_EQ(sti.size(), 1u);
  EXPECT_EQ(sti[0].softw, "");
}

TEST_F(ParserTest, Field2Of25CharactersIsCutTo20WithAMessage) {
  device(frame(4, "\x01\"x\",\"1234567890123456789012345\""));
  auto see = sys.reports(TLPROT_REP_SET_ENTRY);
  ASSERT_EQ(see.size(), 1u);
  EXPECT_EQ(see[0].f2, "12345678901234567890");
  EXPECT_TRUE(cap.has("Assertion failed: (f2Len <= Tlprot::FIELD2MAX) invalid f2 size 25"))
      << cap.remote;
}

TEST_F(ParserTest, OverlongStatusTextIsReportedAndCut) {
  device(frame(1, std::string("\x05\x00\x01", 3) + "\"TL\",\"sw\",\"" + std::string(45, 's') +
                      "\",\"H1.2\""));
  auto sti = sys.reports(TLPROT_REP_STATUS_INFO);
  ASSERT_EQ(sti.size(), 1u);
  EXPECT_EQ(sti[0].special, std::string(40, 's'));
  EXPECT_EQ(sti[0].hardw, "H1.2");
  EXPECT_TRUE(cap.has("Assertion failed: (spLen <= TlctrlStiEvt::STRSIZE) invalid spNrBytes size 45"));
}

TEST_F(ParserTest, AckAndAFrameInOneChunkBothGoUpInOrder) {
  Bytes chunk = {0x06};
  chunk.insert(chunk.end(), kEntry7.begin(), kEntry7.end());
  pty.send(chunk);
  ASSERT_TRUE(sys.pump([&] { return reportCount() >= 2; }, 2000));
  ASSERT_EQ(reportCount(), 2u);
  EXPECT_EQ(sys.main->ctrlLog[0].sig, TLPROT_REP_ACK);
  EXPECT_EQ(sys.main->ctrlLog[1].sig, TLPROT_REP_SET_ENTRY);
}

TEST_F(ParserTest, LoneNakGoesUp) {
  device({0x15});
  ASSERT_EQ(reportCount(), 1u);
  EXPECT_EQ(sys.main->ctrlLog.back().sig, TLPROT_REP_NAK);
}

TEST_F(ParserTest, FrameSplitOverReadsArrivesWhole) {
  pty.send(Bytes(kEntry7.begin(), kEntry7.begin() + 5));
  sys.run(50);
  pty.send(Bytes(kEntry7.begin() + 5, kEntry7.begin() + 11));
  sys.run(50);
  EXPECT_EQ(reportCount(), 0u);
  device(Bytes(kEntry7.begin() + 11, kEntry7.end()));
  ASSERT_EQ(sys.reports(TLPROT_REP_SET_ENTRY).size(), 1u);
}

TEST_F(ParserTest, SevenNoiseBytesBeforeSohAreTolerated) {
  pty.send(Bytes(7, 0x7E));
  sys.run(50);
  device(kEntry7);
  EXPECT_EQ(sys.reports(TLPROT_REP_SET_ENTRY).size(), 1u);
}

TEST_F(ParserTest, NoiseOfAnyLengthBeforeSohIsSkipped) {
  for (size_t n : {8u, 100u}) {
    size_t before = sys.reports(TLPROT_REP_SET_ENTRY).size();
    pty.send(Bytes(n, 0x7E));
    device(kEntry7, 2000);
    EXPECT_EQ(sys.reports(TLPROT_REP_SET_ENTRY).size(), before + 1) << n;
  }
  EXPECT_TRUE(written().empty());
}

TEST_F(ParserTest, FrameHeadThatNeverEndsDoesNotHoldBackTheNextFrame) {
  // A frame head that announces 127 data bytes which never come.
  pty.send({0x01, 0x04, 0x7F, 0x02});
  device(kEntry7, 2000);
  ASSERT_EQ(sys.reports(TLPROT_REP_SET_ENTRY).size(), 1u);
  EXPECT_EQ(reportCount(), 1u);
}

TEST_F(ParserTest, FrameTypesWithoutDataBecomeTheirEvents) {
  device(frame(5, ""));
  device(frame(9, ""));
  device(frame(11, ""));
  ASSERT_EQ(reportCount(), 3u);
  EXPECT_EQ(sys.main->ctrlLog[0].sig, TLPROT_REP_DLD_END);
  EXPECT_EQ(sys.main->ctrlLog[1].sig, TLPROT_REP_WAIT);
  EXPECT_EQ(sys.main->ctrlLog[2].sig, TLPROT_REP_BTL_REQ);
}

TEST_F(ParserTest, UnknownFrameTypeIsDroppedWithAMessage) {
  device(frame(7, ""));
  EXPECT_EQ(reportCount(), 0u);
  EXPECT_NE(cap.remote.find("Exception: Unknown data:7"), std::string::npos);
  EXPECT_TRUE(written().empty());
}

TEST_F(ParserTest, BootInfoBecomesTlctrlBootInf) {
  device(frame(13, std::string("\x00", 1) + "H1.2" + "TL8888GM-ED" + "SPEC12"));
  auto inf = sys.reports(TLPROT_REP_BOOT_INFO);
  ASSERT_EQ(inf.size(), 1u);
  EXPECT_EQ(inf[0].hardw, "H1.2");
  EXPECT_EQ(inf[0].type, "TL8888GM-ED");
  EXPECT_EQ(inf[0].special, "SPEC1");
}

TEST_F(ParserTest, BootInfoWithoutHardwareAndTypeIsDropped) {
  device(frame(13, std::string("\x00", 1) + "H1" + std::string(2, '\0') + "TL88"));
  EXPECT_EQ(reportCount(), 0u);
}

TEST_F(ParserTest, RequestsBecomeTheirUnits) {
  request(new TlprotSrqEvt());
  EXPECT_EQ(written(), (Bytes{0x01, 0x00, 0x00, 0x02, 0x03, 0x06}));
  request(new TlprotDlrEvt());
  EXPECT_EQ(written(), (Bytes{0x01, 0x03, 0x00, 0x02, 0x03, 0x09}));
  request(new TlprotUprEvt());
  EXPECT_EQ(written(), (Bytes{0x01, 0x02, 0x00, 0x02, 0x03, 0x08}));
  request(new TlprotUplEndEvt());
  EXPECT_EQ(written(), (Bytes{0x01, 0x05, 0x00, 0x02, 0x03, 0x0B}));
  request(new TlprotUpgradeReq());
  EXPECT_EQ(written(), (Bytes{0x01, 0x0A, 0x00, 0x02, 0x03, 0x10}));
  request(new BBindingEvent(TLPROT_LIFE_CHECK, true));
  EXPECT_EQ(written(), (Bytes{0x01, 0x08, 0x00, 0x02, 0x03, 0x0E}));
  request(new TlprotAckEvt());
  EXPECT_EQ(written(), Bytes{0x06});
  request(new TlprotNakEvt());
  EXPECT_EQ(written(), Bytes{0x15});
  request(new BBindingEvent(TLPROT_EOT, true));
  EXPECT_EQ(written(), Bytes{0x04});
  request(new BBindingEvent(TLPROT_SOH, true));
  EXPECT_EQ(written(), Bytes{0x01});
  request(new TlprotChecksum(0xA5));
  EXPECT_EQ(written(), Bytes{0xA5});
  request(new TlprotPacknr(7));
  EXPECT_EQ(written(), Bytes{0x07});
  TlprotPacknr* cmpl = new TlprotPacknr(248);
  cmpl->signalId(TLPROT_PACKNR_1CMPL);
  request(cmpl);
  EXPECT_EQ(written(), Bytes{248});
}

TEST_F(ParserTest, UpgradePacketDataGoesOutUnframed) {
  TlWire::UpgradePacket p = TlWire::upgradePacket(1, reinterpret_cast<const uint8_t*>("abc"), 3);
  TlprotUpgrData* d = new TlprotUpgrData();
  d->assign(p.data, sizeof p.data);
  request(d);
  EXPECT_EQ(written(), Bytes(p.data, p.data + 128));
}

TEST_F(ParserTest, BootLoaderGoesOutAsOneFrameWithZeroLength) {
  std::vector<uint8_t> image(1500);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 3);
  TlprotBootLoadData* d = new TlprotBootLoadData();
  d->assign(image.data(), image.size());
  request(d);
  Bytes w = written(300);
  ASSERT_EQ(w.size(), 1506u);
  EXPECT_EQ((Bytes(w.begin(), w.begin() + 4)), (Bytes{0x01, 0x0C, 0x00, 0x02}));
  EXPECT_EQ(w[1504], 0x03);
  EXPECT_EQ(w[1505], TlWire::checksum(w.data(), 1505));
}

TEST_F(ParserTest, BootLoaderTooLargeForAFrameIsNotSent) {
  std::vector<uint8_t> image(2043, 0x11);
  TlprotBootLoadData* d = new TlprotBootLoadData();
  d->assign(image.data(), image.size());
  request(d);
  EXPECT_TRUE(written().empty());
}
