#include <gtest/gtest.h>

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Help_View.H>
#include <FL/Fl_Output.H>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "ConfigInit.h"
#include "DiagCapture.h"
#include "FormsTestSupport.h"
#include "FrmKestrum.h"
#include "FrmKestrumImpl.h"
#include "KesInputChoice.h"
#include "SBTabs.h"
#include "SettingBin.h"
#include "SwVersion.h"
#include "TlctrlRoot.h"
#include "lib/Flu/Flu_Combo_List.h"
#include "main/Main.h"

namespace {

// What the file and directory choosers were asked (title, pattern, start),
// and what they answer: an empty answer stands for a cancelled dialog.
std::vector<std::vector<std::string>> g_calls;
std::deque<std::string> g_answers;
const char* choose(const char* title, const char* pattern, const char* start) {
  g_calls.push_back({title ? title : "", pattern ? pattern : "", start ? start : ""});
  static std::string answer;
  if (g_answers.empty()) return nullptr;
  answer = g_answers.front();
  g_answers.pop_front();
  return answer.empty() ? nullptr : answer.c_str();
}
std::vector<std::string> g_edited;

class FrmKestrumTest : public ::testing::Test {
protected:
  void SetUp() override {
    FLU_NEED_DISPLAY();
    std::filesystem::create_directory("dev");
    ConfigInit::devDir((_dir.path() + "/dev").c_str());
    writeFile("config.ini",
              "settingfile=\ncomport=/dev/ttyS7\ntolvantype=TL8888GM-ED;Tolvan 8888 GSM\n"
              "tolvantype=TL4400GS-EA;Tolvan 4400 GSM SMS\ntolvantype=TL2200IM-EB;Tolvan 2200 GPRS\n"
              "lastrevpack=\nlastbin=\n");
    formstest::writeConfigCsv(
        "1;T;Locatie;Algemeen;ascii;;;;;;;;;;;;;\n38;T;Ingang 8;Ingangen;ascii;;;;8;;;;;;;;;\n"
        "21;T;APN;GPRS;ascii;;;;;;;;IN;;;;;\n");
    writeFile("Startup.html", "<html><body>Welkom</body></html>");
    std::filesystem::copy_file(KESTRUM_SOURCE_DIR "/data/tolvan.gif", "tolvan.gif");
    g_calls.clear();
    g_answers.clear();
    g_edited.clear();
    FrmKestrumImpl::fileChooser(choose);
    FrmKestrumImpl::dirChooser(choose);
    FrmKestrumImpl::editor([](const char* path) { g_edited.push_back(path); });
    Main::_shutdown = false;
    _frm = new FrmKestrum(nullptr, &_sb);
    _sb.frame(_frm);
    _cfg = new ConfigInit(&_sb, _frm, nullptr);
    _impl = _frm->frmImpl();
  }
  void TearDown() override {
    delete _cfg;
    delete _frm;
    _sb.frame(nullptr);
    formstest::settle();
    FrmKestrumImpl::fileChooser(nullptr);
    FrmKestrumImpl::dirChooser(nullptr);
    FrmKestrumImpl::editor(nullptr);
    FrmKestrumImpl::CMDL_PROGRAM = false;
    ConfigInit::devDir(nullptr);
    Main::_shutdown = false;
  }
  int sheets() const { return _frm->settingEdit()->children(); }
  // Settings holding text in entry 1, unsaved or not.
  void edited(const char* text, bool unsaved) {
    _sb.setEntry(1, text, nullptr, false, SBEntry::ASCII_INPUT_TYPE);
    if (!unsaved) _sb.markUnmodified();
  }

  TempDir _dir{TempDir::Entered};
  DialogScript _dialogs;
  SettingBin _sb{nullptr};
  FrmKestrum* _frm = nullptr;
  ConfigInit* _cfg = nullptr;
  FrmKestrumImpl* _impl = nullptr;
};

}  // namespace

TEST_F(FrmKestrumTest, WindowShowsItsPartsAndWhatItIsGiven) {
  EXPECT_TRUE(_frm->window()->shown());
  ASSERT_NE(nullptr, _frm->helpView()->filename());
  EXPECT_NE(nullptr, strstr(_frm->helpView()->filename(), "Startup.html"));
  ASSERT_NE(nullptr, _frm->bxCompLogo()->image());
  Fl_Button* toolbar[] = {_frm->btNieuw(), _frm->btOpen(), _frm->btOpslaan(), _frm->btProgrammeren(),
                          _frm->btOphalen(), _frm->btOpties()};
  // The toolbar goes off and on together; "Afsluiten" stays.
  for (bool on : {false, true}) {
    _impl->activateButtons(on);
    for (Fl_Button* b : toolbar) EXPECT_EQ(on, b->active() != 0) << b->label();
    EXPECT_TRUE(_frm->btAfsluiten()->active());
  }
  // Types show under the customer's name where config.ini gives one.
  _frm->showTolvanGroup("TL8888GM-ED", "2.01", "PRJ", "H1");
  EXPECT_STREQ("Tolvan 8888 GSM", _frm->txtTolType()->value());
  _frm->showTolvanGroup("TL9999XX-XX", "", "", "");
  EXPECT_STREQ("TL9999XX-XX", _frm->txtTolType()->value());
  _frm->showBestGroup("/some/dir/klant.kvn", "TL4400GS-EA");
  EXPECT_STREQ("klant.kvn", _frm->txtBestName()->value());
  EXPECT_STREQ("Tolvan 4400 GSM SMS", _frm->txtInTolTypeInstBest()->value());
  // The toolkit hands Escape to the window's callback, which ignores it.
  flutest::pressKey(FL_Escape);
  EXPECT_FALSE(Main::_shutdown);
}

TEST_F(FrmKestrumTest, NieuwListsTypesSortedAndOkMakesNewSettingsOfTheChosenType) {
  // Without a type chosen, OK changes nothing; pressed twice, one dialog.
  _sb.tolTypeFromNew("Tolvan 8888 GSM", true);
  edited("blijft", false);
  int before = sheets();
  _impl->btNewSb();
  _impl->btNewSb();
  formstest::settle();
  EXPECT_EQ(3, _frm->btNewChoiceTolType()->list.size());
  _frm->btNewOk()->do_callback();
  EXPECT_EQ(nullptr, _frm->btNewWindow());
  EXPECT_STREQ("TL8888GM-ED", _sb.tolType());
  EXPECT_STREQ("blijft", _sb.getEntry(1)->text);
  EXPECT_EQ(before, sheets());

  edited("oud", true);
  _dialogs.answers = {2};  // the unsaved edit may go
  _impl->btNewSb();
  EXPECT_EQ(1u, _dialogs.questions.size());
  Flu_Combo_List* combo = _frm->btNewChoiceTolType();
  ASSERT_NE(nullptr, combo);
  EXPECT_TRUE(_frm->btNewWindow()->shown());
  ASSERT_EQ(3, combo->list.size());
  EXPECT_STREQ("Tolvan 2200 GPRS", combo->list.text(1));
  EXPECT_STREQ("Tolvan 8888 GSM", combo->list.text(3));
  ASSERT_TRUE(combo->choose("Tolvan 2200 GPRS"));
  _frm->btNewOk()->do_callback();
  EXPECT_EQ(nullptr, _frm->btNewWindow());
  EXPECT_STREQ("TL2200IM-EB", _sb.tolType());
  EXPECT_STREQ("", _sb.getEntry(1)->text);
  EXPECT_STREQ("Tolvan 2200 GPRS", _frm->txtInTolTypeInstBest()->value());
  // Two inputs, GPRS: the eight-input sheet is left out.
  ASSERT_EQ(2, sheets());
  EXPECT_STREQ("Algemeen", _frm->settingEdit()->child(0)->label());
  EXPECT_STREQ("GPRS", _frm->settingEdit()->child(1)->label());
  // New settings nobody filled in lose nothing when closed.
  EXPECT_FALSE(_sb.modified());
  // The type field rebuilds the form and keeps the entries.
  edited("blijft", true);
  _frm->txtInTolTypeInstBest()->value("");
  formstest::typeInto(_frm->txtInTolTypeInstBest(), "Tolvan 8888 GSM");
  EXPECT_STREQ("TL8888GM-ED", _sb.tolType());
  EXPECT_STREQ("blijft", _sb.getEntry(1)->text);
  EXPECT_EQ(2, sheets());
  formstest::settle();
}

TEST_F(FrmKestrumTest, UnsavedEditsAreNeverLostWithoutAsking) {
  // Each action that replaces or closes the settings asks first: cancel
  // keeps everything, "Niet opslaan" goes on, "Opslaan" saves and goes on.
  enum Answer { CANCEL = 0, SAVE = 1, DISCARD = 2 };
  struct Case {
    const char* action;
    Answer answer;
    const char* saveAs;  // the save chooser's answer ("" cancels it)
    bool goesOn;
  } cases[] = {
      {"Afsluiten", CANCEL, nullptr, false}, {"Afsluiten", DISCARD, nullptr, true},
      {"Afsluiten", SAVE, "bewaard.kvn", true}, {"Afsluiten", SAVE, "", false},
      {"window", CANCEL, nullptr, false},    {"window", DISCARD, nullptr, true},
      {"Nieuw", CANCEL, nullptr, false},
      {"Nieuw", DISCARD, nullptr, true},      {"Open", CANCEL, nullptr, false},
      {"Open", SAVE, "bewaard.kvn", true},    {"Ophalen", CANCEL, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.action) + " answer " + std::to_string(c.answer));
    std::filesystem::remove("bewaard.kvn");
    edited("", false);
    edited("bewerkt", true);
    _dialogs.questions.clear();
    _dialogs.answers = {c.answer};
    g_calls.clear();
    g_answers.clear();
    if (c.saveAs) g_answers.push_back(c.saveAs);
    g_answers.push_back("");  // the Open chooser, if it comes
    Main::_shutdown = false;
    _frm->deleteNewWindow();
    std::string a = c.action;
    if (a == "Afsluiten") _frm->btAfsluiten()->do_callback();
    if (a == "window") _frm->window()->do_callback();
    if (a == "Nieuw") _frm->btNieuw()->do_callback();
    if (a == "Open") _frm->btOpen()->do_callback();
    if (a == "Ophalen") _impl->btOphalen();
    ASSERT_EQ(1u, _dialogs.questions.size());
    EXPECT_NE(std::string::npos, _dialogs.questions[0].find("niet opgeslagen")) << _dialogs.questions[0];
    EXPECT_EQ(c.answer == SAVE && c.saveAs && *c.saveAs, std::filesystem::exists("bewaard.kvn"));
    EXPECT_STREQ("bewerkt", _sb.getEntry(1)->text);
    if (a == "Afsluiten" || a == "window") {
      EXPECT_EQ(c.goesOn, Main::_shutdown);
    } else if (a == "Nieuw") {
      EXPECT_EQ(c.goesOn, _frm->btNewWindow() != nullptr);
    } else if (a == "Open") {
      EXPECT_EQ(c.goesOn ? 2u : 0u, g_calls.size());
    }
  }
  // A command-line run never asks.
  FrmKestrumImpl::CMDL_PROGRAM = true;
  EXPECT_TRUE(_impl->confirmDiscard());
  FrmKestrumImpl::CMDL_PROGRAM = false;
  // Nothing unsaved: no question; the program ends with its exit code.
  DiagCapture diag;
  _sb.markUnmodified();
  _dialogs.questions.clear();
  Main::_exitCode = 0;
  _frm->btAfsluiten()->do_callback();
  EXPECT_TRUE(_dialogs.questions.empty());
  EXPECT_TRUE(Main::_shutdown);
  EXPECT_TRUE(Main::shutdownActive());
  EXPECT_EQ(0, Main::_exitCode);
  EXPECT_NE(std::string::npos, diag.log.find("=-->FrmKestrumImpl::shutdown"));
  formstest::settle();
}

// A name without ".kvn" is asked about: "Ja" saves under it, "Nee" asks
// for the name again, a cancelled chooser writes nothing.
TEST_F(FrmKestrumTest, OpslaanAsksAboutANameWithoutExtension) {
  _sb.setEntry(3, "drie", "33", false, SBEntry::ASCII_INPUT_TYPE);
  g_answers = {"eerste", "tweede.kvn"};
  _dialogs.answers = {0};
  _frm->btOpslaan()->do_callback();
  ASSERT_EQ(2u, g_calls.size());
  EXPECT_EQ("*.kvn", g_calls[0][1]);
  EXPECT_FALSE(fileExists("eerste"));
  EXPECT_EQ("|\n|\ndrie|33\n", readFile("tweede.kvn").substr(0, 12));
  // The next save starts at the current file.
  g_calls.clear();
  g_answers = {"instellingen"};
  _dialogs.questions.clear();
  _dialogs.answers = {1};
  _impl->btStoreSb();
  ASSERT_EQ(1u, g_calls.size());
  EXPECT_EQ("tweede.kvn", g_calls[0][2]);
  ASSERT_EQ(1u, _dialogs.questions.size());
  EXPECT_NE(std::string::npos, _dialogs.questions[0].find(": instellingen\n")) << _dialogs.questions[0];
  EXPECT_EQ((std::vector<std::string>{"Nee", "Ja", ""}), _dialogs.buttons[0]);
  EXPECT_EQ(2, _dialogs.beeps);
  EXPECT_TRUE(fileExists("instellingen"));
  EXPECT_FALSE(fileExists("instellingen.kvn"));
  EXPECT_STREQ("instellingen", _sb.file());
  EXPECT_STREQ("instellingen", _frm->txtBestName()->value());
  g_answers = {"x", ""};
  _dialogs.answers = {0};
  _impl->btStoreSb();
  EXPECT_FALSE(fileExists("x"));
  EXPECT_STREQ("instellingen", _sb.file());
  EXPECT_TRUE(std::filesystem::is_empty("dev"));
}

TEST_F(FrmKestrumTest, OpenLoadsTheChosenFileOrTellsWhyNot) {
  DiagCapture diag;
  edited("blijft", false);
  g_answers = {""};
  _frm->btOpen()->do_callback();
  EXPECT_EQ(1u, g_calls.size());
  EXPECT_STREQ("blijft", _sb.getEntry(1)->text);
  EXPECT_EQ(nullptr, _sb.file());
  std::filesystem::create_directory("map.kvn");
  writeFile("plaatje.kvn", std::string("GIF89a\0\0\x01", 9));
  const char* failures[][2] = {{"weg.kvn", "No such file or directory"},
                               {"map.kvn", "dit is een map, geen bestand"},
                               {"plaatje.kvn", "dit is geen instellingen bestand"}};
  for (auto& c : failures) {
    SCOPED_TRACE(c[0]);
    _dialogs.alerts.clear();
    g_answers = {c[0]};
    _impl->btOpenSb();
    ASSERT_EQ(1u, _dialogs.alerts.size());
    const std::string& a = _dialogs.alerts[0];
    EXPECT_EQ(0u, a.find(std::string("Fout!! Bestand \"") + c[0] + "\" kan niet geopend worden:\n")) << a;
    EXPECT_NE(std::string::npos, a.find(c[1])) << a;
    EXPECT_STREQ("blijft", _sb.getEntry(1)->text);
    EXPECT_NE(std::string::npos, diag.log.find(std::string("File:") + c[0] + " can not be openened!!"));
  }
  writeFile("klant.kvn", "abc|112\n");
  _sb.editFromDownload(true);
  g_answers = {_dir.path() + "/klant.kvn"};
  _impl->btOpenSb();
  EXPECT_STREQ("abc", _sb.getEntry(1)->text);
  EXPECT_STREQ("klant.kvn", _frm->txtBestName()->value());
  EXPECT_GT(sheets(), 0);
  EXPECT_FALSE(_sb.editFromDownload());
  // Removing the form unlinks its fields.
  ASSERT_NE(nullptr, _sb.getEntry(1)->sbEntryT);
  _frm->removeSettingEdit();
  EXPECT_EQ(0, sheets());
  EXPECT_EQ(nullptr, _sb.getEntry(1)->sbEntryT);
}

TEST_F(FrmKestrumTest, OptiesListsThePortInUseFirstAndOkTakesTheChosenOne) {
  for (const char* dev : {"dev/ttyS0", "dev/ttyS7"}) writeFile(dev, "");
  _cfg->initComPorts();
  std::string dev = _dir.path() + "/dev/";
  // Without a port in use the list starts with an empty item.
  _cfg->comActive("");
  _frm->btOpties()->do_callback();
  EXPECT_EQ(3, _frm->btOptComPort()->size());
  EXPECT_STREQ("", _frm->btOptComPort()->value());
  // Closed, the dialog is gone and nothing changed.
  _frm->btOptionsWindow()->do_callback();
  EXPECT_EQ(nullptr, _frm->btOptionsWindow());
  EXPECT_STREQ("", _cfg->comActive());
  _cfg->comActive((dev + "ttyS7").c_str());
  _sb.tolTypeFromNew("Tolvan 8888 GSM", true);
  ASSERT_GT(sheets(), 0);
  _frm->btOpties()->do_callback();
  KesInputChoice* port = _frm->btOptComPort();
  ASSERT_EQ(3, port->size());
  EXPECT_EQ(dev + "ttyS7", port->value());
  EXPECT_EQ(dev + "ttyS0", port->menubutton()->text(1));
  EXPECT_EQ(dev + "ttyS7", port->menubutton()->text(2));
  EXPECT_STREQ(Sw_VERSION, _frm->txtSwVersie()->value());
  EXPECT_FALSE(_frm->optUpgrade()->visible());
  EXPECT_FALSE(_frm->btCrtRevPackWndw()->visible());
  port->menubutton()->picked(port->menubutton()->menu() + 1);
  _frm->btOptOk()->do_callback();
  EXPECT_EQ(dev + "ttyS0", std::string(_cfg->comActive()));
  EXPECT_EQ(nullptr, _frm->btOptionsWindow());
  // Without the upgrade the settings form stays as it was.
  EXPECT_GT(sheets(), 0);
  EXPECT_EQ(&_sb, _frm->settingEdit()->settingBin());
  formstest::settle();
}

TEST_F(FrmKestrumTest, RevisionPackCreationOfferedOnlyWhenAllowedAndNoUpgradeWithoutPacks) {
  DiagCapture diag;
  EXPECT_FALSE(_impl->checkTypeHwVers());
  EXPECT_NE(std::string::npos, (diag.remote + diag.log).find("rpDb and binList has no value"));
  EXPECT_FALSE(_impl->btExecUpgrade());
  FrmKestrumImpl::CREATE_REVPACK = true;
  _impl->btOptionsWindow();
  FrmKestrumImpl::CREATE_REVPACK = false;
  ASSERT_TRUE(_frm->btCrtRevPackWndw()->visible());
  _frm->btCrtRevPackWndw()->do_callback();
  ASSERT_NE(nullptr, _frm->crtRevPackWndw());
  g_answers = {"/tmp/bins", ""};
  _frm->btSelectBin()->do_callback();
  EXPECT_STREQ("/tmp/bins", _frm->txtBinDir()->value());
  EXPECT_EQ((std::vector<std::string>{"Select a dir where *.bin files are stored", "*.bin"}),
            std::vector<std::string>(g_calls[0].begin(), g_calls[0].begin() + 2));
  _frm->btSelectBin()->do_callback();
  EXPECT_STREQ("", _frm->txtBinDir()->value());
  // Missing, the file is made from the built-in rows, then opened.
  _frm->btEditRestrictions()->do_callback();
  EXPECT_EQ((std::vector<std::string>{"RevPacks/SwHwRestrictions.txt"}), g_edited);
  EXPECT_TRUE(fileExists("RevPacks/SwHwRestrictions.txt"));
  // The user's own file is opened as it is.
  writeFile("RevPacks/SwHwRestrictions.txt", "mine");
  _frm->btEditRestrictions()->do_callback();
  EXPECT_EQ(2u, g_edited.size());
  EXPECT_EQ("mine", readFile("RevPacks/SwHwRestrictions.txt"));
}

TEST_F(FrmKestrumTest, ChoosersRunWithTheLifeCheckStoppedAndRearmItAfter) {
  static TlctrlRoot* root;
  static std::vector<bool> armed;
  TlctrlRoot r;
  root = &r;
  armed.clear();
  FrmKestrum frm(&r, &_sb);
  FrmKestrumImpl::fileChooser([](const char*, const char*, const char*) -> const char* {
    armed.push_back(root->isArmedLifeCkTimeout());
    return nullptr;
  });
  r.startLifeCkTimeout();
  frm.frmImpl()->btOpenSb();
  EXPECT_TRUE(r.isArmedLifeCkTimeout());
  frm.frmImpl()->btStoreSb();
  EXPECT_TRUE(r.isArmedLifeCkTimeout());
  r.stopLifeCkTimeout();
  frm.frmImpl()->btOpenSb();
  EXPECT_FALSE(r.isArmedLifeCkTimeout());
  EXPECT_EQ((std::vector<bool>{false, false, false}), armed);
}
