#include <gtest/gtest.h>

#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>

#include "CtrlHarness.h"
#include "SettingDiff.h"
#include "TlctrlReadBack.h"

// "Controleren na programmeren": after programming from the window the
// settings are read back and compared; the window keeps what was programmed.

namespace {

std::pair<std::string, std::string> fileEntry(int n) {
  if (n == SettingBin::TOLTYPE_POS) return {"TL8888GM-ED", ""};
  if (n == SettingBin::TOLSPECIAL_POS) return {"STD", ""};
  return {"Set" + std::to_string(n), std::to_string(5550000 + n)};
}

// Connects, switches the option on through the options dialog, loads the
// file and presses "Programmeren".
void programChecked(CtrlSystem& sys, bool check) {
  sys.start();
  ASSERT_TRUE(sys.waitConnectedIdle());
  FrmKestrum* frame = sys.root()->frame();
  frame->frmImpl()->btOptionsWindow();
  ASSERT_NE(nullptr, frame->optVerify());
  frame->optVerify()->value(check ? 1 : 0);
  frame->optVerify()->do_callback();
  frame->frmImpl()->btOptionsClose();
  writeFile(sys.path("settings.kvn"), kvnText(fileEntry));
  sys.store()->editFromDownload(false);
  sys.store()->file(sys.path("settings.kvn").c_str());
  ASSERT_TRUE(sys.store()->loadFromFile());
  frame->btProgrammeren()->do_callback();
  ASSERT_TRUE(sys.waitSim("RX", "upload-end", 1, 30000));
}

// The store holds the file's settings.
void expectFileInStore(CtrlSystem& sys) {
  for (int n = 1; n <= 200; ++n) {
    SettingBin::SettingEntry* e = sys.store()->getEntry(static_cast<uint8_t>(n));
    ASSERT_EQ(fileEntry(n).first, e->text) << n;
    ASSERT_EQ(fileEntry(n).second, e->tfnr) << n;
  }
}

}  // namespace

TEST(TlctrlReadBack, CheckAfterProgrammingReportsWhatTheDeviceDoesNotHold) {
  SKIP_WITHOUT_DISPLAY();
  struct Case {
    std::vector<std::string> simArgs;
    const char* status;
    bool red;
    size_t differences;
  } cases[] = {
      {{}, "Controle: Tolvan bevat de instellingen", false, 0},
      // Entries 151..200, text and number each.
      {{"--entries", "150"}, "Controle: verschillen gevonden", true, 100},
  };
  for (const Case& c : cases) {
    CtrlSystem sys(c.simArgs);
    programChecked(sys, true);
    ASSERT_TRUE(sys.waitStatus(c.status, 30000)) << sys.status();
    EXPECT_EQ(c.red, sys.statusRed());
    EXPECT_EQ(1, sys.simCount("RX", "download-request"));
    EXPECT_EQ(c.differences, sys.root()->readBack()->differences().size());
    if (c.differences == 0) {
      EXPECT_TRUE(sys.dialogs.alerts.empty());
    } else {
      ASSERT_EQ(1u, sys.dialogs.alerts.size());
      const std::string& a = sys.dialogs.alerts[0];
      EXPECT_NE(std::string::npos, a.find("Verschillen tussen bestand en Tolvan:")) << a;
      EXPECT_NE(std::string::npos, a.find("\n151 ")) << a;
      // Twenty listed, the rest counted.
      EXPECT_NE(std::string::npos, a.find("... 80 meer")) << a;
    }
    // What was programmed stays in the window, whatever the device holds.
    expectFileInStore(sys);
  }
}

TEST(TlctrlReadBack, WithoutTheOptionNothingIsReadBack) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--out", "@out.kvn"});
  programChecked(sys, false);
  // Two status requests answered after the programming: time enough for
  // any read-back to have been asked for.
  int after = sys.simCount("RX", "status-request");
  ASSERT_TRUE(sys.waitSim("RX", "status-request", after + 2, 5000));
  EXPECT_EQ(0, sys.simCount("RX", "download-request"));
  EXPECT_FALSE(sys.root()->readBack()->verifyAfterProgramming());
}

TEST(TlctrlReadBack, DeviceLostDuringTheCheckLeavesTheProgrammedSettingsInTheWindow) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--baud", "9600"});
  programChecked(sys, true);
  ASSERT_TRUE(sys.pump([&] { return sys.status() == "Ophalen #20 gereed."; }, 30000)) << sys.status();
  sys.sim().command("silent on");
  ASSERT_TRUE(sys.pump([&] { return sys.topState() == TlctrlRoot::TLCTRLDISCONNECTED; }, 15000));
  expectFileInStore(sys);
  EXPECT_TRUE(sys.dialogs.alerts.empty());
}
