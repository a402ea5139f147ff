// The driver and the parser against the device simulator over a real
// pseudo-terminal: identification and a complete download of the settings,
// at full speed and at the device's 9600 baud.

#include <gtest/gtest.h>

#include <fstream>

#include "DiagCapture.h"
#include "LinkHarness.h"
#include "TlprotAckEvt.h"
#include "TlprotDlrEvt.h"
#include "TlprotSignals.h"
#include "TlprotSrqEvt.h"
#include "SimProcess.h"

namespace {

struct Entry {
  std::string text, number;
};

// 200 entries, some with backslashes, some empty.
std::vector<Entry> makeSettings() {
  std::vector<Entry> e(201);
  for (int i = 1; i <= 200; ++i) {
    if (i % 17 == 0) continue;
    e[i].text = "Ingang " + std::to_string(i);
    if (i % 10 == 0) e[i].text += " C:\\map\\bestand";
    e[i].number = "0612" + std::to_string(100000 + i);
  }
  return e;
}

std::string writeKvn(const std::vector<Entry>& e) {
  std::string path = "link_sim_" + std::to_string(getpid()) + ".kvn";
  std::ofstream out(path);
  for (int i = 1; i <= 200; ++i) out << e[i].text << "|" << e[i].number << "\n";
  return path;
}

struct SimLink {
  std::vector<Entry> settings = makeSettings();
  std::string kvn = writeKvn(settings);
  SimProcess sim;
  LinkSystem sys{true, false};

  explicit SimLink(const std::vector<std::string>& extra)
      : sim(args(extra)) {}
  ~SimLink() { std::remove(kvn.c_str()); }
  std::vector<std::string> args(const std::vector<std::string>& extra) {
    std::vector<std::string> a = {"--kvn", kvn, "--exit-on-eof"};
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  }

  size_t parserReports() const {
    size_t n = 0;
    for (const auto& r : sys.main->ctrlLog)
      if (r.from == PROT_PARSER) ++n;
    return n;
  }
  // Waits for the next report of the parser.
  const Received* next(size_t& seen, int ms) {
    for (;;) {
      for (; seen < sys.main->ctrlLog.size(); ++seen)
        if (sys.main->ctrlLog[seen].from == PROT_PARSER) return &sys.main->ctrlLog[seen++];
      if (!sys.pump([&] { return sys.main->ctrlLog.size() > seen; }, ms)) return nullptr;
    }
  }

  void identifyAndDownload() {
    ASSERT_FALSE(sim.port().empty());
    sys.choosePort(sim.port());
    ASSERT_EQ(sys.main->ctrlLog.back().error, CdrvErrorEvt::CDRV_CLEAR_COM_NOT_OPEN);
    size_t seen = sys.main->ctrlLog.size();

    sys.toParser(new TlprotSrqEvt());
    const Received* sti = next(seen, 3000);
    ASSERT_NE(sti, nullptr);
    ASSERT_EQ(sti->sig, TLPROT_REP_STATUS_INFO);
    EXPECT_EQ(sti->type, "TL8888GM-ED");
    EXPECT_EQ(sti->softw, "6.12.03");
    EXPECT_EQ(sti->special, "STD");
    EXPECT_EQ(sti->hardw, "H.49");
    EXPECT_EQ(sti->nrEntries, 200);

    // The controller's side of a download: ACK every entry, ask again
    // when the device is busy, stop at the end.
    std::vector<Received> got(201);
    int entries = 0, waits = 0;
    sys.toParser(new TlprotDlrEvt());
    for (;;) {
      const Received* r = next(seen, 5000);
      ASSERT_NE(r, nullptr) << "no answer after " << entries << " entries";
      if (r->sig == TLPROT_REP_SET_ENTRY) {
        ASSERT_GE(r->entryNr, 1);
        got[r->entryNr] = *r;
        ++entries;
        sys.toParser(new TlprotAckEvt());
      } else if (r->sig == TLPROT_REP_WAIT) {
        ++waits;
        sys.toParser(new TlprotDlrEvt());
      } else {
        ASSERT_EQ(r->sig, TLPROT_REP_DLD_END);
        break;
      }
    }
    EXPECT_EQ(entries, 200);
    for (int i = 1; i <= 200; ++i) {
      EXPECT_EQ(got[i].entryNr, i);
      EXPECT_EQ(got[i].f1, settings[i].text) << i;
      EXPECT_EQ(got[i].f2, settings[i].number) << i;
    }
  }
};

}  // namespace

TEST(LinkSim, StatusAndCompleteDownloadAtFullSpeed) {
  DiagCapture cap;
  SimLink link({});
  link.identifyAndDownload();
  EXPECT_EQ(cap.remote.find("Exception"), std::string::npos) << cap.remote;
}

TEST(LinkSim, StatusAndCompleteDownloadAt9600Baud) {
  DiagCapture cap;
  SimLink link({"--baud", "9600"});
  link.identifyAndDownload();
  EXPECT_EQ(cap.remote.find("Exception"), std::string::npos) << cap.remote;
}

TEST(LinkSim, DownloadSurvivesBadChecksumsNoiseAndWaiting) {
  DiagCapture cap;
  SimLink link({"--corrupt", "3", "--noise", "5", "--wait", "1"});
  link.identifyAndDownload();
  EXPECT_NE(cap.remote.find("checksum error read:"), std::string::npos);
}
