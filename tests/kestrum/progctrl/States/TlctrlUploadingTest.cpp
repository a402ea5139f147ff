#include <gtest/gtest.h>

#include <FL/Fl_Button.H>

#include "CtrlHarness.h"
#include "DiagCapture.h"
#include "ExitCode.h"
#include "TestTime.h"
#include "TlctrlUplReqEvt.h"
#include "TlctrlUploading.h"

#include <cstring>

// "Programmeren": the store's entries into the device.

namespace {

const int LONG_ENTRY = 5;  // a 12-character field
const char* const LONG_TEXT = "ABCDEFGHIJKLMNOPQRST";

std::pair<std::string, std::string> fileEntry(int n) {
  if (n == SettingBin::TOLTYPE_POS) return {"TL8888GM-ED", ""};
  if (n == SettingBin::TOLSPECIAL_POS) return {"STD", ""};
  if (n == 3) return {"a\\b\\c", "123"};
  return {"Set" + std::to_string(n), std::to_string(5550000 + n)};
}

// Connects, loads the settings file into the store and asks for programming.
// Connected, with the settings file kvn opened in the store.
void openFile(CtrlSystem& sys, const std::string& kvn) {
  sys.start();
  ASSERT_TRUE(sys.waitConnectedIdle());
  writeFile(sys.path("settings.kvn"), kvn);
  sys.store()->editFromDownload(false);
  sys.store()->file(sys.path("settings.kvn").c_str());
  ASSERT_TRUE(sys.store()->loadFromFile());
}

void programFile(CtrlSystem& sys, const std::string& kvn) {
  openFile(sys, kvn);
  sys.root()->frame()->btProgrammeren()->do_callback();
  ASSERT_TRUE(sys.pump([&] { return sys.subState() == TlctrlRoot::TLCTRLUPLOADING; }, 2000));
}

bool waitIdleAgain(CtrlSystem& sys, int ms) {
  return sys.pump([&] { return sys.subState() == TlctrlRoot::TLCTRLCONNIDLE; }, ms);
}

// The simulator's upload result, entry by entry (index 0 is entry 1).
std::vector<std::string> uploaded(CtrlSystem& sys) {
  for (int i = 0; i < 100; ++i) {
    std::vector<std::string> l = lines(readFile(sys.path("out.kvn")));
    if (!l.empty()) return l;
    sys.run(20);
  }
  return {};
}

}  // namespace

TEST(TlctrlUploading, DeviceEndsWithExactlyTheStoresEntriesAndSlashesForBackslashes) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--out", "@out.kvn"});
  Main::_exitCode = 1;
  programFile(sys, kvnText(fileEntry));
  ASSERT_TRUE(waitIdleAgain(sys, 30000));
  EXPECT_EQ(0, Main::_exitCode);
  EXPECT_FALSE(sys.store()->doProgramming());
  EXPECT_TRUE(sys.root()->frame()->btProgrammeren()->active());
  std::vector<std::string> out = uploaded(sys);
  ASSERT_EQ(200u, out.size());
  // The device turns the slashes back into backslashes when it stores them.
  for (int n = 1; n <= 200; ++n) {
    auto want = fileEntry(n);
    EXPECT_EQ(want.first + "|" + want.second, out[n - 1]) << "entry " << n;
  }
  // On the wire entry 3 went as "a/b/c".
  std::string log = sys.simLog();
  EXPECT_NE(std::string::npos, log.find("61 2F 62 2F 63"));
  EXPECT_EQ(std::string::npos, log.find("61 5C 62"));
  EXPECT_EQ(200, sys.simCount("RX", "setting-entry"));
  EXPECT_TRUE(sys.waitSim("RX", "upload-end", 1));
  EXPECT_EQ(1, sys.simCount("RX", "upload-end"));
  // The store keeps its own text.
  EXPECT_STREQ("a\\b\\c", sys.store()->getEntry(3)->text);
  EXPECT_TRUE(sys.dialogs.choices.empty());
}

TEST(TlctrlUploading, OnlyTheEntriesTheDeviceHoldsAreSent) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--entries", "100"});
  programFile(sys, kvnText(fileEntry));
  ASSERT_TRUE(waitIdleAgain(sys, 30000));
  EXPECT_EQ(100, sys.simCount("RX", "setting-entry"));
  EXPECT_TRUE(sys.waitSim("RX", "upload-end", 1));
  EXPECT_EQ(1, sys.simCount("RX", "upload-end"));
}

TEST(TlctrlUploading, TooLongTextContinuedProgramsItsFirstCharacters) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--out", "@out.kvn"});
  sys.dialogs.answers = {0};
  programFile(sys, kvnText([](int n) {
    return n == LONG_ENTRY ? std::make_pair(std::string(LONG_TEXT), std::string("1")) : fileEntry(n);
  }));
  ASSERT_TRUE(waitIdleAgain(sys, 30000));
  ASSERT_EQ(1u, sys.dialogs.choices.size());
  const std::string& msg = sys.dialogs.choices[0];
  EXPECT_EQ(0u, msg.find("Attentie!!\nVeldnaam, \"")) << msg;
  EXPECT_NE(std::string::npos, msg.find("Waarde, \"ABCDEFGHIJKLMNOPQRST\"\n")) << msg;
  EXPECT_NE(std::string::npos, msg.find("Kan niet geprogrammeerd worden!!\nText is te lang. max: 12 karakters.\n"))
      << msg;
  EXPECT_NE(std::string::npos, msg.find("Waarde, \"ABCDEFGHIJKL\" wordt geprogrammeerd.\n")) << msg;
  std::vector<std::string> out = uploaded(sys);
  ASSERT_EQ(200u, out.size());
  EXPECT_EQ("ABCDEFGHIJKL|1", out[LONG_ENTRY - 1]);
  EXPECT_EQ(fileEntry(6).first + "|" + fileEntry(6).second, out[5]);
  EXPECT_STREQ("ABCDEFGHIJKL", sys.store()->getEntry(LONG_ENTRY)->text);
}

TEST(TlctrlUploading, StoppingAtTooLongTextEndsTheUploadAtOnce) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys;
  sys.dialogs.answers = {1};
  Main::_exitCode = 1;
  programFile(sys, kvnText([](int n) {
    return n == LONG_ENTRY ? std::make_pair(std::string(LONG_TEXT), std::string("1")) : fileEntry(n);
  }));
  ASSERT_TRUE(waitIdleAgain(sys, 10000));
  EXPECT_EQ(1u, sys.dialogs.choices.size());
  EXPECT_EQ(LONG_ENTRY - 1, sys.simCount("RX", "setting-entry"));
  EXPECT_TRUE(sys.waitSim("RX", "upload-end", 1));
  EXPECT_EQ(1, sys.simCount("RX", "upload-end"));
  EXPECT_EQ(0, Main::_exitCode);
  // Nothing was programmed, so nothing of the text is lost either.
  EXPECT_STREQ(LONG_TEXT, sys.store()->getEntry(LONG_ENTRY)->text);
}

TEST(TlctrlUploading, BusyReplyBeforeAnyEntryRepeatsTheUploadRequest) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--out", "@out.kvn"});
  sys.start();
  ASSERT_TRUE(sys.waitConnectedIdle());
  sys.sim().command("wait 2");
  writeFile(sys.path("settings.kvn"), kvnText(fileEntry));
  sys.store()->file(sys.path("settings.kvn").c_str());
  ASSERT_TRUE(sys.store()->loadFromFile());
  sys.post(new TlctrlUplReqEvt());
  bool sawWaiting = false;
  ASSERT_TRUE(sys.pump([&] {
    if (sys.status() == "Programmeren, wacht tot Tolvan gereed is ....") sawWaiting = true;
    return sawWaiting && sys.subState() == TlctrlRoot::TLCTRLCONNIDLE;
  }, 30000));
  EXPECT_EQ(3, sys.simCount("RX", "upload-request"));
  EXPECT_EQ(200u, uploaded(sys).size());
}

TEST(TlctrlUploading, NumberUnsupportedByOldHardwareIsReportedAndProgrammedAnyway) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--hw", "G.10", "--out", "@out.kvn"});
  programFile(sys, kvnText(fileEntry));
  ASSERT_TRUE(waitIdleAgain(sys, 30000));
  // Entry 80's number field does not exist before hardware H.
  ASSERT_EQ(1u, sys.dialogs.choices.size());
  const std::string& msg = sys.dialogs.choices[0];
  EXPECT_EQ(0u, msg.find("Attentie!!\nVeldnaam, \"")) << msg;
  EXPECT_NE(std::string::npos, msg.find("\"\nwordt niet ondersteund voor deze hardware versie.")) << msg;
  std::vector<std::string> out = uploaded(sys);
  ASSERT_EQ(200u, out.size());
  EXPECT_EQ(fileEntry(80).first + "|" + fileEntry(80).second, out[79]);
}

TEST(TlctrlUploading, AnEntryTheDeviceKeepsRefusingEndsTheUploadNamingIt) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys;
  ASSERT_NO_FATAL_FAILURE(openFile(sys, kvnText(fileEntry)));
  // The device refuses an entry whose field holds a quote; the store never
  // holds one, so it is put there behind its back.
  strcpy(sys.store()->getEntry(LONG_ENTRY)->text, "Lo\"c");
  Main::_exitCode = 0;
  sys.post(new TlctrlUplReqEvt());
  ASSERT_TRUE(sys.pump([&] { return sys.subState() == TlctrlRoot::TLCTRLUPLOADING; }, 2000));
  ASSERT_TRUE(waitIdleAgain(sys, 30000));
  // Sent once and repeated five times, then the end of the upload.
  EXPECT_EQ(1 + TlctrlUploading::MAX_REPEATS,
            sys.simCount("RX", "setting-entry " + std::to_string(LONG_ENTRY) + " malformed"));
  EXPECT_EQ(0, sys.simCount("RX", "setting-entry " + std::to_string(LONG_ENTRY + 1)));
  EXPECT_TRUE(sys.waitSim("RX", "upload-end", 1));
  ASSERT_EQ(1u, sys.dialogs.alerts.size());
  const std::string& msg = sys.dialogs.alerts[0];
  EXPECT_NE(std::string::npos, msg.find("De Tolvan weigert instelling #5.\nVeldnaam, \"")) << msg;
  EXPECT_NE(std::string::npos, msg.find("Waarde, \"Lo\"c\" \"")) << msg;
  EXPECT_NE(std::string::npos, msg.find("Programmeren afgebroken.")) << msg;
  EXPECT_EQ("Programmeren afgebroken bij #5", sys.status());
  // A refused programming is no success.
  EXPECT_EQ(1, Main::_exitCode);
}

TEST(TlctrlUploading, FinishedProgrammingSaysSoBeforeReturningToConnected) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys;
  programFile(sys, kvnText(fileEntry));
  std::vector<std::string> trail;
  ASSERT_TRUE(sys.pump([&] {
    if (trail.empty() || trail.back() != sys.status()) trail.push_back(sys.status());
    return sys.subState() == TlctrlRoot::TLCTRLCONNIDLE && sys.status() == "Verbonden";
  }, 30000));
  ASSERT_GE(trail.size(), 3u);
  EXPECT_EQ("Programmeren gereed", trail[trail.size() - 2]);
  EXPECT_EQ("Programmeren #200 gereed.", trail[trail.size() - 3]);
}

TEST(TlctrlUploading, NothingToProgramSaysWhy) {
  SKIP_WITHOUT_DISPLAY();
  struct Case {
    bool anyEntry;
    const char* status;
  } cases[] = {
      {false, "Niet geprogrammeerd: er zijn geen instellingen (Nieuw, Open of Ophalen)"},
      {true, "Niet geprogrammeerd: het Tolvan type van de instellingen is onbekend"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    CtrlSystem sys;
    sys.start();
    ASSERT_TRUE(sys.waitConnectedIdle());
    if (c.anyEntry) sys.store()->setEntry(3, "iets", nullptr, false, SBEntry::ASCII_INPUT_TYPE);
    sys.root()->frame()->btProgrammeren()->do_callback();
    ASSERT_TRUE(sys.waitStatus(c.status, 5000));
    EXPECT_EQ(TlctrlRoot::TLCTRLCONNIDLE, sys.subState());
    EXPECT_EQ(0, sys.simCount("RX", "upload-request"));
  }
}

TEST(TlctrlUploading, ADeviceThatNeverAnswersTheUploadRequestIsGivenUp) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys;
  ASSERT_NO_FATAL_FAILURE(openFile(sys, kvnText(fileEntry)));
  sys.sim().command("silent on");
  sys.post(new TlctrlUplReqEvt());
  ASSERT_TRUE(sys.pump([&] { return sys.subState() == TlctrlRoot::TLCTRLUPLOADING; }, 2000));
  // The request is repeated every two seconds, but only within the
  // life-check time: then the device counts as gone.
  ASSERT_TRUE(sys.pump([&] { return sys.subState() != TlctrlRoot::TLCTRLUPLOADING; }, 30000));
  EXPECT_EQ(TlctrlRoot::TLCTRLDISCONNECTED, sys.topState());
  EXPECT_FALSE(sys.store()->doProgramming());
}

// A question nobody answers (a command-line run, or a stop signal while it
// was open): the upload stops before the entry, the device is told the
// upload ended, the run fails naming the entry, and the store keeps its text.
TEST(TlctrlUploading, QuestionNobodyAnswersStopsBeforeTheEntryAndFailsNamingIt) {
  SKIP_WITHOUT_DISPLAY();
  struct Case {
    const char* what;
    std::vector<std::string> sim;
    int entry;
    bool longText;
  } cases[] = {
      {"text too long", {}, LONG_ENTRY, true},
      // Entry 80's number field does not exist before hardware H.
      {"number not supported", {"--hw", "G.10"}, 80, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CtrlSystem sys(c.sim);
    sys.dialogs.answers = {UserDialog::NO_ANSWER};
    DiagCapture diag;
    Main::_exitCode = 0;
    programFile(sys, kvnText([&](int n) {
      return n == LONG_ENTRY && c.longText ? std::make_pair(std::string(LONG_TEXT), std::string("1")) : fileEntry(n);
    }));
    ASSERT_TRUE(waitIdleAgain(sys, 20000));
    EXPECT_EQ(1u, sys.dialogs.choices.size());
    EXPECT_EQ(c.entry - 1, sys.simCount("RX", "setting-entry"));
    EXPECT_TRUE(sys.waitSim("RX", "upload-end", 1));
    EXPECT_EQ(EXIT_INPUT_UNUSABLE, Main::_exitCode);
    EXPECT_TRUE(diag.has("Status Info: entry " + std::to_string(c.entry) + " \"")) << diag.remote;
    EXPECT_TRUE(diag.has("programming stopped")) << diag.remote;
    if (c.longText) {
      EXPECT_STREQ(LONG_TEXT, sys.store()->getEntry(LONG_ENTRY)->text);
    }
    EXPECT_TRUE(sys.root()->frame()->btProgrammeren()->active());
  }
}

// Every wait ends: a device that keeps answering busy, or one that went
// away after the first entries, is given up within the stall limit (30 s
// after its last acknowledge) as not connected, and the window is usable.
TEST(TlctrlUploading, DeviceThatNeverTakesTheSettingsIsGivenUpAsNotConnected) {
  SKIP_WITHOUT_DISPLAY();
  struct Case {
    const char* what;
    std::vector<std::string> sim;
    int goSilentAfter;  // entries; 0: never
  } cases[] = {
      {"busy for ever", {"--wait", "1000000"}, 0},
      {"silent after three entries", {}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CtrlSystem sys(c.sim);
    Main::_exitCode = 0;
    programFile(sys, kvnText(fileEntry));
    if (c.goSilentAfter) {
      ASSERT_TRUE(sys.waitSim("RX", "setting-entry", c.goSilentAfter));
      sys.sim().command("silent on");
    }
    // A busy device answers status requests and is found again at once:
    // what counts is that the upload was given up.
    bool lost = false;
    ASSERT_TRUE(sys.pump([&] {
      lost = lost || (sys.topState() == TlctrlRoot::TLCTRLDISCONNECTED && sys.status() == "Tolvan niet aangesloten");
      return lost;
    }, scaledMs(60000)));
    EXPECT_EQ(EXIT_DEVICE_LOST, Main::_exitCode);
    EXPECT_TRUE(sys.root()->frame()->btProgrammeren()->active());
    EXPECT_FALSE(sys.store()->doProgramming());
  }
}
