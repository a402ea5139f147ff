#include <gtest/gtest.h>

#include <FL/Fl_Browser.H>
#include <FL/Fl_Check_Button.H>

#include "CtrlHarness.h"
#include "SBInput.h"
#include "SBTabs.h"
#include "TlctrlReadBack.h"

// "Controleren na programmeren": after programming from the window the
// settings are read back and compared; the window keeps what was programmed.
// "Ophalen" with a settings file open shows what differs from the file.

namespace {

const EntryMaker fileEntry = settingsOf("Set", 5550000);

// Sets the option through the options dialog.
void verifyOption(CtrlSystem& sys, bool on) {
  FrmKestrum* frame = sys.frame();
  frame->frmImpl()->btOptionsWindow();
  ASSERT_NE(nullptr, frame->optVerify());
  frame->optVerify()->value(on ? 1 : 0);
  frame->optVerify()->do_callback();
  frame->frmImpl()->btOptionsClose();
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

// With the option off nothing is read back. On, a device holding all the
// settings says so; one holding only 150 entries takes only those, and
// entries 151..200 differ, text and number each.
TEST(TlctrlCheck, CheckAfterProgrammingReportsWhatTheDeviceDoesNotHold) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys;
  ASSERT_TRUE(sys.startWithFile(kvnText(fileEntry)));
  FrmKestrum* frame = sys.frame();
  struct {
    bool option;
    int entries;         // the device holds
    const char* status;  // null: nothing read back
    int sent;            // entries the device took, in all
    size_t differences;
  } cases[] = {{false, 200, nullptr, 200, 0},
               {true, 200, "Controle: Tolvan bevat de instellingen", 400, 0},
               {true, 150, "Controle: verschillen gevonden", 550, 100}};
  int ends = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sent);
    std::string entries = "entries " + std::to_string(c.entries);
    ASSERT_EQ("OK " + entries, sys.sim().command(entries));
    // The program learns what the device holds from a status info: the one
    // before the last is surely read.
    ASSERT_TRUE(sys.waitSim("TX", "status-info", sys.simCount("TX", "status-info") + 2, 5000));
    verifyOption(sys, c.option);
    frame->btProgrammeren()->do_callback();
    ASSERT_TRUE(sys.waitSim("RX", "upload-end", ++ends, 30000));
    EXPECT_EQ(c.sent, sys.simCount("RX", "setting-entry"));
    if (!c.status) {
      // Two status requests answered after the programming: time enough for
      // any read-back to have been asked for.
      int after = sys.simCount("RX", "status-request");
      ASSERT_TRUE(sys.waitSim("RX", "status-request", after + 2, 5000));
      EXPECT_EQ(0, sys.simCount("RX", "download-request"));
      EXPECT_FALSE(sys.root()->readBack()->verifyAfterProgramming());
      continue;
    }
    ASSERT_TRUE(sys.waitStatus(c.status, 30000)) << sys.status();
    EXPECT_EQ(c.differences > 0, sys.statusRed());
    EXPECT_EQ(ends - 1, sys.simCount("RX", "download-request"));
    EXPECT_EQ(c.differences, sys.root()->readBack()->differences().size());
    if (c.differences == 0) {
      EXPECT_EQ(nullptr, frame->diffWindow());
    } else {
      // Listed under the heading, the first one first: a field config.csv
      // does not describe is named by its entry and half.
      ASSERT_NE(nullptr, frame->diffWindow());
      ASSERT_EQ(static_cast<int>(c.differences) + 1, frame->diffList()->size());
      EXPECT_STREQ("@.\t@.151 tekst\t@.Set151\t@.", frame->diffList()->text(2));
      EXPECT_STREQ("@.\t@.151 nummer\t@.5550151\t@.", frame->diffList()->text(3));
    }
    // What was programmed stays in the window, whatever the device holds.
    expectFileInStore(sys);
  }
  EXPECT_TRUE(sys.dialogs.alerts.empty());
}

TEST(TlctrlCheckLoss, DeviceLostDuringTheCheckLeavesTheProgrammedSettingsInTheWindow) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--baud", "9600"});
  ASSERT_TRUE(sys.startWithFile(kvnText(fileEntry)));
  verifyOption(sys, true);
  sys.frame()->btProgrammeren()->do_callback();
  ASSERT_TRUE(sys.pump([&] { return sys.status() == "Ophalen #20 gereed."; }, 60000)) << sys.status();
  sys.sim().command("silent on");
  ASSERT_TRUE(sys.pump([&] { return sys.topState() == TlctrlRoot::TLCTRLDISCONNECTED; }, 15000));
  expectFileInStore(sys);
  EXPECT_TRUE(sys.dialogs.alerts.empty());
}

namespace {
std::string g_chosen;
const char* chooseFile(const char*, const char*, const char*) { return g_chosen.c_str(); }

// The device's settings: the file's with entry 12's number and entry 31's text changed.
std::pair<std::string, std::string> deviceEntry(int n) {
  if (n == 12) return {"Set12", "0699"};
  if (n == 31) return {"Pomp", fileEntry(31).second};
  return fileEntry(n);
}

// The colour of the form's field for entry nr and list ('T' or 'N'); 0 when
// the form has none.
Fl_Color fieldColour(FrmKestrum* frame, int nr, char list) {
  SBTabs* tabs = frame->settingEdit();
  for (int t = 0; t < tabs->children(); ++t) {
    Fl_Group* sheet = tabs->child(t)->as_group();
    for (int i = 0; sheet && i < sheet->children(); ++i) {
      SBInput* f = dynamic_cast<SBInput*>(sheet->child(i));
      if (f && f->sbEntry()->entry() == nr && f->sbEntry()->list() == list) return f->color();
    }
  }
  return 0;
}
}  // namespace

// "Ophalen" without a file lists nothing; with one it marks and lists what
// differs. "Programmeren" after "Ophalen" asks only when something will
// change in the device, and a stop keeps the list.
TEST(TlctrlCompare, OphalenComparesWithTheFileAndProgrammerenAsksBeforeChanging) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--kvn", "@device.kvn"}, "", {{"device.kvn", kvnText(deviceEntry)}});
  sys.start();
  ASSERT_TRUE(sys.waitConnectedIdle());
  FrmKestrum* frame = sys.frame();
  ASSERT_TRUE(sys.press(frame->btOphalen(), TlctrlRoot::TLCTRLDOWNLOADING));
  EXPECT_EQ(nullptr, frame->diffWindow());
  ASSERT_TRUE(sys.press(frame->btProgrammeren(), TlctrlRoot::TLCTRLUPLOADING));
  EXPECT_TRUE(sys.dialogs.questions.empty());
  EXPECT_EQ(1, sys.simCount("RX", "upload-request"));

  sys.store()->markUnmodified();
  writeFile(sys.path("settings.kvn"), kvnText(fileEntry));
  g_chosen = sys.path("settings.kvn");
  FrmKestrumImpl::fileChooser(chooseFile);
  frame->btOpen()->do_callback();
  FrmKestrumImpl::fileChooser(nullptr);
  ASSERT_TRUE(sys.press(frame->btOphalen(), TlctrlRoot::TLCTRLDOWNLOADING));
  ASSERT_NE(nullptr, frame->diffWindow());
  Fl_Browser* list = frame->diffList();
  ASSERT_EQ(3, list->size());  // the heading and two fields
  EXPECT_STREQ("@.Telefoonnummers\t@.Telefoon 2\t@.5550012\t@.0699", list->text(2));
  EXPECT_STREQ("@.Ingangen\t@.Ingang 1 tekst\t@.Set31\t@.Pomp", list->text(3));
  // The form shows the device's settings, the two fields marked.
  EXPECT_STREQ("0699", sys.store()->getEntry(12)->tfnr);
  EXPECT_EQ(static_cast<Fl_Color>(FrmKestrum::DIFF_COLOR), fieldColour(frame, 12, 'N'));
  EXPECT_EQ(static_cast<Fl_Color>(FrmKestrum::DIFF_COLOR), fieldColour(frame, 31, 'T'));
  EXPECT_NE(static_cast<Fl_Color>(FrmKestrum::DIFF_COLOR), fieldColour(frame, 12, 'T'));
  EXPECT_NE(0u, fieldColour(frame, 12, 'T'));

  sys.store()->setEntry(12, nullptr, "0612", false, SBEntry::TEL_INPUT_TYPE);
  for (int answer : {1, 0}) {  // stop, then go on
    SCOPED_TRACE(answer);
    sys.dialogs.questions.clear();
    sys.dialogs.answers = {answer};
    frame->btProgrammeren()->do_callback();
    sys.run(300);
    if (answer == 0) {
      ASSERT_TRUE(sys.waitSim("RX", "upload-end", 2, 30000));
    }
    ASSERT_EQ(1u, sys.dialogs.questions.size());
    EXPECT_NE(std::string::npos, sys.dialogs.questions[0].find("1 velden worden in de Tolvan gewijzigd"))
        << sys.dialogs.questions[0];
    EXPECT_EQ(2 - answer, sys.simCount("RX", "upload-request"));
    // Stopped: the list stays, naming the field with the file's and the device's value.
    if (answer == 1) {
      ASSERT_NE(nullptr, frame->diffWindow());
      EXPECT_STREQ("@.Telefoonnummers\t@.Telefoon 2\t@.0612\t@.0699", frame->diffList()->text(2));
    }
  }
}
