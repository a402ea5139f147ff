#include <gtest/gtest.h>

#include <cstring>

#include "CtrlHarness.h"
#include "DiagCapture.h"
#include "ExitCode.h"
#include "TestTime.h"
#include "TlctrlUplReqEvt.h"
#include "TlctrlUploading.h"

// "Programmeren": the store's entries into the device.

namespace {

const int LONG_ENTRY = 5;  // a 12-character field
const char* const LONG_TEXT = "ABCDEFGHIJKLMNOPQRST";

std::pair<std::string, std::string> fileEntry(int n) {
  if (n == 3) return {"a\\b\\c", "123"};
  return settingsOf("Set", 5550000)(n);
}

}  // namespace

// A device busy twice before it takes the first entry, then receiving two
// frames damaged, ends with exactly the store's entries, and the status line
// says so. An entry it keeps refusing ends the next upload, named.
TEST(TlctrlUploading, DeviceEndsWithExactlyTheStoresEntriesOrTheOneItRefuses) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--out", "@out.kvn"});
  Main::_exitCode = 1;
  ASSERT_TRUE(sys.startWithFile(kvnText(fileEntry)));
  sys.sim().command("wait 2");
  sys.frame()->btProgrammeren()->do_callback();
  ASSERT_TRUE(sys.waitSub(TlctrlRoot::TLCTRLUPLOADING, 2000));
  ASSERT_TRUE(sys.waitSim("RX", "setting-entry", 1));
  sys.sim().command("garble 2");
  ASSERT_TRUE(sys.pump([&] {
    return sys.subState() == TlctrlRoot::TLCTRLCONNIDLE && sys.status() == "Verbonden";
  }, 30000));
  EXPECT_EQ(0, Main::_exitCode);
  EXPECT_TRUE(sys.saw("Programmeren, wacht tot Tolvan gereed is ...."));
  ASSERT_GE(sys.trail.size(), 3u);
  EXPECT_EQ("Programmeren gereed", sys.trail[sys.trail.size() - 2]);
  EXPECT_EQ("Programmeren #200 gereed.", sys.trail[sys.trail.size() - 3]);
  EXPECT_EQ(3, sys.simCount("RX", "upload-request"));
  EXPECT_FALSE(sys.store()->doProgramming());
  EXPECT_TRUE(sys.frame()->btProgrammeren()->active());
  // The device turns the slashes back into backslashes when it stores them.
  EXPECT_EQ(textLines(kvnText(fileEntry)), sys.uploaded());
  // On the wire entry 3 went as "a/b/c".
  EXPECT_NE(std::string::npos, sys.simLog().find("61 2F 62 2F 63"));
  EXPECT_EQ(2, sys.simCount("RX", "garbled"));
  EXPECT_EQ(1, sys.simCount("RX", "upload-end"));
  // The store keeps its own text.
  EXPECT_STREQ("a\\b\\c", sys.store()->getEntry(3)->text);
  EXPECT_TRUE(sys.dialogs.questions.empty());

  // The device refuses an entry whose field holds a quote; the store never
  // holds one, so it is put there behind its back.
  strcpy(sys.store()->getEntry(LONG_ENTRY)->text, "Lo\"c");
  int after = sys.simCount("RX", "setting-entry " + std::to_string(LONG_ENTRY + 1));
  sys.post(new TlctrlUplReqEvt());
  ASSERT_TRUE(sys.waitSub(TlctrlRoot::TLCTRLUPLOADING, 2000));
  ASSERT_TRUE(sys.waitSub(TlctrlRoot::TLCTRLCONNIDLE, 30000));
  // Sent once and repeated five times, then the end of the upload.
  EXPECT_EQ(1 + TlctrlUploading::MAX_REPEATS,
            sys.simCount("RX", "setting-entry " + std::to_string(LONG_ENTRY) + " malformed"));
  EXPECT_EQ(after, sys.simCount("RX", "setting-entry " + std::to_string(LONG_ENTRY + 1)));
  EXPECT_TRUE(sys.waitSim("RX", "upload-end", 2));
  ASSERT_EQ(1u, sys.dialogs.alerts.size());
  const std::string& msg = sys.dialogs.alerts[0];
  EXPECT_NE(std::string::npos, msg.find("De Tolvan weigert instelling #5.\nVeldnaam, \"")) << msg;
  EXPECT_NE(std::string::npos, msg.find("Waarde, \"Lo\"c\" \"")) << msg;
  EXPECT_NE(std::string::npos, msg.find("Programmeren afgebroken.")) << msg;
  EXPECT_EQ("Programmeren afgebroken bij #5", sys.status());
  // A refused programming is no success.
  EXPECT_EQ(EXIT_DEVICE_LOST, Main::_exitCode);
}

// An entry the device cannot take asks the user: stop, nobody answers (a
// command-line run, or a stop signal while it was open: the run fails naming
// the entry), or go on (programmed as it can be). Whatever the answer, the
// device is told the upload ended. Entry 80's number field does not exist
// before hardware H.
TEST(TlctrlUploading, AnEntryTheDeviceCannotTakeEndsTheUploadAsAnswered) {
  SKIP_WITHOUT_DISPLAY();
  struct Step {
    int answer;
    int sent;  // entries sent
    int exitCode;
    const char* storeText;  // entry's text in the store afterwards
  };
  const int NOBODY = UserDialog::NO_ANSWER;
  struct Device {
    std::vector<std::string> sim;
    int entry;  // the entry asked about: LONG_ENTRY holds LONG_TEXT
    const char* said;
    std::vector<Step> steps;
    const char* programmed;  // entry's line in the device in the end
  } devices[] = {
      {{}, LONG_ENTRY, "Kan niet geprogrammeerd worden!!\nText is te lang. max: 12 karakters.\n",
       {{1, LONG_ENTRY - 1, EXIT_OK, LONG_TEXT}, {NOBODY, LONG_ENTRY - 1, EXIT_INPUT_UNUSABLE, LONG_TEXT},
        {0, 200, EXIT_OK, "ABCDEFGHIJKL"}}, "ABCDEFGHIJKL|1"},
      {{"--hw", "G.10"}, 80, "\"\nwordt niet ondersteund voor deze hardware versie.",
       {{NOBODY, 79, EXIT_INPUT_UNUSABLE, "Set80"}, {0, 200, EXIT_OK, "Set80"}}, "Set80|5550080"},
  };
  for (const Device& d : devices) {
    SCOPED_TRACE(d.entry);
    std::vector<std::string> sim = d.sim;
    sim.insert(sim.end(), {"--out", "@out.kvn"});
    CtrlSystem sys(sim);
    DiagCapture diag;
    auto entry = [&](int n) {
      return n == LONG_ENTRY && d.entry == LONG_ENTRY ? std::make_pair(std::string(LONG_TEXT), std::string("1"))
                                                      : fileEntry(n);
    };
    ASSERT_TRUE(sys.startWithFile(kvnText(entry)));
    int sent = 0, ends = 0;
    std::vector<std::string> out;
    for (const Step& s : d.steps) {
      SCOPED_TRACE(s.answer);
      sys.dialogs.questions.clear();
      sys.dialogs.answers = {s.answer};
      diag.clear();
      Main::_exitCode = 1;
      ASSERT_TRUE(sys.press(sys.frame()->btProgrammeren(), TlctrlRoot::TLCTRLUPLOADING));
      ASSERT_EQ(1u, sys.dialogs.questions.size());
      const std::string& msg = sys.dialogs.questions[0];
      EXPECT_NE(std::string::npos, msg.find(d.said)) << msg;
      EXPECT_EQ(0u, msg.find("Attentie!!\nVeldnaam, \"")) << msg;
      // The device's log is read as it comes: once the upload's end is in,
      // so is every entry sent before it.
      EXPECT_TRUE(sys.waitSim("RX", "upload-end", ++ends));
      EXPECT_EQ(ends, sys.simCount("RX", "upload-end"));
      EXPECT_EQ(sent += s.sent, sys.simCount("RX", "setting-entry"));
      // The device's file of this upload, gone before the next.
      out = sys.uploaded();
      std::filesystem::remove(sys.path("out.kvn"));
      EXPECT_EQ(s.exitCode, Main::_exitCode);
      EXPECT_STREQ(s.storeText, sys.store()->getEntry(d.entry)->text);
      EXPECT_TRUE(sys.frame()->btProgrammeren()->active());
      if (s.answer == NOBODY) {
        EXPECT_TRUE(diag.has("Status Info: entry " + std::to_string(d.entry) + " \"")) << diag.remote;
        EXPECT_TRUE(diag.has("programming stopped")) << diag.remote;
      }
    }
    ASSERT_EQ(200u, out.size());
    for (int n = 1; n <= 200; ++n)
      EXPECT_EQ(n == d.entry ? d.programmed : entry(n).first + "|" + entry(n).second, out[n - 1]) << n;
  }
}

// Every wait ends: a device that keeps answering busy is given up within
// the stall limit (30 s after its last acknowledge), one that never answers
// the upload request or went away after the first entries within the life
// check, as not connected, and the window is usable.
struct Stall {
  const char* what;
  bool fetch;
  std::vector<std::string> sim;
  int goSilentAfter;  // entries; 0: at once, -1: never
};
void PrintTo(const Stall& c, std::ostream* os) { *os << c.what; }
class TlctrlStall : public ::testing::TestWithParam<Stall> {};

TEST_P(TlctrlStall, DeviceThatNeverEndsTheJobIsGivenUpAsNotConnected) {
  SKIP_WITHOUT_DISPLAY();
  const Stall& c = GetParam();
  CtrlSystem sys(c.sim);
  ASSERT_TRUE(sys.startWithFile(kvnText(fileEntry)));
  Main::_exitCode = 0;
  Fl_Button* button = c.fetch ? sys.frame()->btOphalen() : sys.frame()->btProgrammeren();
  if (c.goSilentAfter == 0) sys.sim().command("silent on");
  button->do_callback();
  ASSERT_TRUE(sys.waitSub(c.fetch ? TlctrlRoot::TLCTRLDOWNLOADING : TlctrlRoot::TLCTRLUPLOADING, 2000));
  if (c.goSilentAfter > 0) {
    ASSERT_TRUE(sys.waitSim("RX", "setting-entry", c.goSilentAfter));
    sys.sim().command("silent on");
  }
  // A busy device answers status requests and is found again at once:
  // what counts is that the job was given up.
  ASSERT_TRUE(sys.pump([&] {
    // A fetch adds how far it came.
    return sys.topState() == TlctrlRoot::TLCTRLDISCONNECTED && sys.status().rfind("Tolvan niet aangesloten", 0) == 0;
  }, scaledMs(60000)));
  EXPECT_EQ(EXIT_DEVICE_LOST, Main::_exitCode);
  EXPECT_TRUE(button->active());
  EXPECT_FALSE(sys.store()->doProgramming());
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, TlctrlStall,
    ::testing::Values(Stall{"FetchBusyForEver", true, {"--wait", "1000000"}, -1},
                      Stall{"ProgramBusyForEver", false, {"--wait", "1000000"}, -1},
                      Stall{"ProgramSilentFromTheStart", false, {}, 0},
                      Stall{"ProgramSilentAfterThreeEntries", false, {}, 3}),
    [](const ::testing::TestParamInfo<Stall>& i) { return std::string(i.param.what); });

// The device acknowledges the end of an upload the user stopped. A job
// asked for before that acknowledge waits for it (here it never comes: the
// device fell silent), or it would take the acknowledge for its own.
TEST(TlctrlUploading, AJobAfterAStoppedUploadWaitsForTheAcknowledgeOfItsEnd) {
  SKIP_WITHOUT_DISPLAY();
  struct SilencingDialogs : DialogScript {
    CtrlSystem* sys = nullptr;
    int choice(const char* text, const char* b0, const char* b1, const char* b2) override {
      DialogScript::choice(text, b0, b1, b2);
      sys->sim().command("silent on");
      return 1;  // stop
    }
  } dialogs;
  CtrlSystem sys;
  dialogs.sys = &sys;
  UserDialog::script(&dialogs);
  ASSERT_TRUE(sys.startWithFile(kvnText([](int n) {
    return n == LONG_ENTRY ? std::make_pair(std::string(LONG_TEXT), std::string("1")) : fileEntry(n);
  })));
  DiagCapture cap;
  sys.root()->debugLevel(0x0020);
  ASSERT_TRUE(sys.press(sys.frame()->btProgrammeren(), TlctrlRoot::TLCTRLUPLOADING));
  ASSERT_EQ(1u, dialogs.questions.size());
  ASSERT_TRUE(sys.waitSim("RX", "end (silent)", 1)) << sys.simLog();
  sys.frame()->btProgrammeren()->do_callback();
  std::string held = "holdRequest sig=" + std::to_string(TlctrlRoot::LOC_UPL_REQUEST);
  EXPECT_TRUE(sys.pump([&] { return cap.has(held); }, 5000)) << cap.remote;
  UserDialog::script(&sys.dialogs);
}
