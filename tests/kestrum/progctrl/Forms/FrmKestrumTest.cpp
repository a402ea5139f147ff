#include <gtest/gtest.h>

#include "FrmKestrum.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Help_View.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>

#include <cstring>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "ConfigInit.h"
#include "DiagCapture.h"
#include "FormsTestSupport.h"
#include "FrmKestrumImpl.h"
#include "KesInputChoice.h"
#include "SBEntry.h"
#include "SBTabs.h"
#include "SettingBin.h"
#include "TlctrlRoot.h"
#include "lib/Flu/Flu_Combo_List.h"
#include "main/Main.h"

namespace {

// What the file and directory choosers were asked, and what they answer.
struct ChooserScript {
  struct Call {
    std::string title, pattern, start;
  };
  static std::vector<Call>& calls() {
    static std::vector<Call> c;
    return c;
  }
  // An empty answer stands for a cancelled dialog.
  static std::deque<std::string>& answers() {
    static std::deque<std::string> a;
    return a;
  }
  static const char* choose(const char* title, const char* pattern, const char* start) {
    calls().push_back({title ? title : "", pattern ? pattern : "", start ? start : ""});
    static std::string answer;
    if (answers().empty()) return nullptr;
    answer = answers().front();
    answers().pop_front();
    return answer.empty() ? nullptr : answer.c_str();
  }
};

std::vector<std::string> g_edited;
void recordEdit(const char* path) { g_edited.push_back(path); }

const char* const kConfigIni =
    "settingfile=\n"
    "comport=/dev/ttyS7\n"
    "tolvantype=TL8888GM-ED;Tolvan 8888 GSM\n"
    "tolvantype=TL4400GS-EA;Tolvan 4400 GSM SMS\n"
    "tolvantype=TL2200IM-EB;Tolvan 2200 GPRS\n"
    "lastrevpack=\n"
    "lastbin=\n";

const char* const kConfigCsv =
    "1;T;Locatie;Algemeen;ascii;;;;;;;;;;;;;\n"
    "38;T;Ingang 8;Ingangen;ascii;;;;8;;;;;;;;;\n"
    "21;T;APN;GPRS;ascii;;;;;;;;IN;;;;;\n";

class FrmKestrumTest : public ::testing::Test {
protected:
  void SetUp() override {
    FLU_NEED_DISPLAY();
    _dir = new TempDir(TempDir::Entered);
    std::filesystem::create_directory("dev");
    ConfigInit::devDir((_dir->path() + "/dev").c_str());
    writeFile("config.ini", kConfigIni);
    formstest::writeConfigCsv(kConfigCsv);
    writeFile("Startup.html", "<html><body>Welkom</body></html>");
    std::filesystem::copy_file(KESTRUM_SOURCE_DIR "/data/tolvan.gif", "tolvan.gif");
    _dialogs = new DialogScript();
    ChooserScript::calls().clear();
    ChooserScript::answers().clear();
    FrmKestrumImpl::fileChooser(ChooserScript::choose);
    FrmKestrumImpl::dirChooser(ChooserScript::choose);
    g_edited.clear();
    FrmKestrumImpl::editor(recordEdit);
    Main::_shutdown = false;
    _sb = new SettingBin(nullptr);
    _frm = new FrmKestrum(nullptr, _sb);
    _sb->frame(_frm);
    _cfg = new ConfigInit(_sb, _frm, nullptr);
    _impl = _frm->frmImpl();
  }
  void TearDown() override {
    delete _cfg;
    delete _frm;
    delete _sb;
    formstest::settle();
    FrmKestrumImpl::fileChooser(nullptr);
    FrmKestrumImpl::dirChooser(nullptr);
    FrmKestrumImpl::editor(nullptr);
    ConfigInit::devDir(nullptr);
    Main::_shutdown = false;
    delete _dialogs;
    delete _dir;
  }

  int sheets() const { return _frm->settingEdit()->children(); }

  TempDir* _dir = nullptr;
  DialogScript* _dialogs = nullptr;
  SettingBin* _sb = nullptr;
  FrmKestrum* _frm = nullptr;
  ConfigInit* _cfg = nullptr;
  FrmKestrumImpl* _impl = nullptr;
};

}  // namespace

TEST_F(FrmKestrumTest, WindowIsCentredTitledAndShown) {
  Fl_Double_Window* w = _frm->window();
  EXPECT_EQ(1057, w->w());
  EXPECT_EQ(609, w->h());
  EXPECT_EQ(Fl::w() / 2 - 1057 / 2, w->x());
  EXPECT_EQ(Fl::h() / 2 - 609 / 2, w->y());
  EXPECT_STREQ("Tolvan Programmeer Omgeving", w->label());
  EXPECT_TRUE(w->shown());
  ASSERT_NE(nullptr, Fl::scheme());
  EXPECT_STREQ("plastic", Fl::scheme());
  ASSERT_NE(nullptr, _frm->helpView()->filename());
  EXPECT_NE(nullptr, strstr(_frm->helpView()->filename(), "Startup.html"));
  ASSERT_NE(nullptr, _frm->bxCompLogo()->image());
  EXPECT_EQ(122, _frm->bxCompLogo()->image()->w());
}

TEST_F(FrmKestrumTest, ToolbarButtonsCarryLabelsTooltipsAndImages) {
  struct {
    Fl_Button* b;
    const char* label;
    const char* tip;
    int x, w;
  } expected[] = {{_frm->btNieuw(), "Nieuw", "Nieuw", 15, 65},
                  {_frm->btOpen(), "Open", "Open", 85, 65},
                  {_frm->btOpslaan(), "Opslaan", "Opslaan", 155, 65},
                  {_frm->btProgrammeren(), "Programmeren", "Programmeer Tolvan", 280, 100},
                  {_frm->btOphalen(), "Ophalen", "Haal Tolvan instellingen op", 395, 100},
                  {_frm->btOpties(), "Opties", "Opties", 580, 65}};
  for (auto& e : expected) {
    SCOPED_TRACE(e.label);
    EXPECT_STREQ(e.label, e.b->label());
    EXPECT_STREQ(e.tip, e.b->tooltip());
    ASSERT_NE(nullptr, e.b->image());
    EXPECT_EQ(18, e.b->image()->h());
    EXPECT_EQ(e.x, e.b->x());
    EXPECT_EQ(12, e.b->y());
    EXPECT_EQ(e.w, e.b->w());
    EXPECT_EQ(50, e.b->h());
  }
  EXPECT_STREQ("Afsluiten", _frm->btAfsluiten()->label());
}

TEST_F(FrmKestrumTest, StatusLineShowsTheText) {
  _frm->txtStatusInfo("Tolvan niet aangesloten");
  EXPECT_STREQ("Tolvan niet aangesloten", _frm->statusInfo()->value());
  EXPECT_EQ(12, _frm->statusInfo()->textsize());
  _frm->txtStatusInfo(nullptr);
  EXPECT_STREQ("", _frm->statusInfo()->value());
}

TEST_F(FrmKestrumTest, ButtonsGoOffAndOnTogether) {
  _impl->activateButtons(false);
  for (Fl_Button* b : {_frm->btNieuw(), _frm->btOpen(), _frm->btOpslaan(),
                       _frm->btProgrammeren(), _frm->btOphalen(), _frm->btOpties()})
    EXPECT_FALSE(b->active());
  EXPECT_TRUE(_frm->btAfsluiten()->active());
  _impl->activateButtons(true);
  for (Fl_Button* b : {_frm->btNieuw(), _frm->btOpen(), _frm->btOpslaan(),
                       _frm->btProgrammeren(), _frm->btOphalen(), _frm->btOpties()})
    EXPECT_TRUE(b->active());
  _impl->cursorBusy(true);
  _impl->cursorBusy(false);
}

TEST_F(FrmKestrumTest, DeviceGroupShowsCustomerNameOfType) {
  _frm->showTolvanGroup("TL8888GM-ED", "2.01", "PRJ", "H1");
  EXPECT_STREQ("Tolvan 8888 GSM", _frm->txtTolType()->value());
  EXPECT_STREQ("2.01", _frm->txtTolSwVer()->value());
  EXPECT_STREQ("PRJ", _frm->txtTolSpecial()->value());
  EXPECT_STREQ("H1", _frm->txtTolHwVer()->value());
  _frm->showTolvanGroup("TL9999XX-XX", "", "", "");
  EXPECT_STREQ("TL9999XX-XX", _frm->txtTolType()->value());
}

TEST_F(FrmKestrumTest, FileGroupShowsBaseNameAndCustomerName) {
  _frm->showBestGroup("/some/dir/klant.kvn", "TL4400GS-EA");
  EXPECT_STREQ("klant.kvn", _frm->txtBestName()->value());
  EXPECT_STREQ("Tolvan 4400 GSM SMS", _frm->txtInTolTypeInstBest()->value());
  _frm->showBestGroup(nullptr, nullptr);
  EXPECT_STREQ("klant.kvn", _frm->txtBestName()->value());
  EXPECT_STREQ("Tolvan 4400 GSM SMS", _frm->txtInTolTypeInstBest()->value());
}

TEST_F(FrmKestrumTest, NieuwListsTypesSortedAndOkMakesNewSettings) {
  _sb->setEntry(1, "oud", nullptr, false, SBEntry::ASCII_INPUT_TYPE);
  _dialogs->answers = {2};  // the unsaved edit may go
  _impl->btNewSb();
  ASSERT_EQ(1u, _dialogs->questions.size());
  Flu_Combo_List* combo = _frm->btNewChoiceTolType();
  ASSERT_NE(nullptr, combo);
  EXPECT_STREQ("Selecteer Tolvan Type", _frm->btNewWindow()->label());
  EXPECT_TRUE(_frm->btNewWindow()->shown());
  ASSERT_EQ(3, combo->list.size());
  EXPECT_STREQ("Tolvan 2200 GPRS", combo->list.text(1));
  EXPECT_STREQ("Tolvan 4400 GSM SMS", combo->list.text(2));
  EXPECT_STREQ("Tolvan 8888 GSM", combo->list.text(3));
  ASSERT_TRUE(combo->choose("Tolvan 2200 GPRS"));
  _frm->btNewOk()->do_callback();
  EXPECT_EQ(nullptr, _frm->btNewWindow());
  EXPECT_STREQ("TL2200IM-EB", _sb->tolType());
  EXPECT_STREQ("", _sb->getEntry(1)->text);
  EXPECT_STREQ("Tolvan 2200 GPRS", _frm->txtInTolTypeInstBest()->value());
  // Two inputs, GPRS: the eight-input sheet is left out.
  ASSERT_EQ(2, sheets());
  EXPECT_STREQ("Algemeen", _frm->settingEdit()->child(0)->label());
  EXPECT_STREQ("GPRS", _frm->settingEdit()->child(1)->label());
  // New settings nobody filled in lose nothing when closed.
  EXPECT_FALSE(_sb->modified());
  formstest::settle();
}

TEST_F(FrmKestrumTest, NieuwOkWithoutATypeChangesNothing) {
  _sb->tolTypeFromNew("Tolvan 8888 GSM", true);
  _sb->setEntry(1, "blijft", "1", false, SBEntry::ASCII_INPUT_TYPE);
  _sb->markUnmodified();
  int before = sheets();
  _impl->btNewSb();
  _frm->btNewOk()->do_callback();
  EXPECT_EQ(nullptr, _frm->btNewWindow());
  EXPECT_STREQ("TL8888GM-ED", _sb->tolType());
  EXPECT_STREQ("blijft", _sb->getEntry(1)->text);
  EXPECT_EQ(before, sheets());
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
      {"window", CANCEL, nullptr, false},    {"Nieuw", CANCEL, nullptr, false},
      {"Nieuw", DISCARD, nullptr, true},      {"Open", CANCEL, nullptr, false},
      {"Open", SAVE, "bewaard.kvn", true},    {"Ophalen", CANCEL, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.action) + " answer " + std::to_string(c.answer));
    std::filesystem::remove("bewaard.kvn");
    _sb->setEntry(1, "", nullptr, false, SBEntry::ASCII_INPUT_TYPE);
    _sb->markUnmodified();
    _sb->setEntry(1, "bewerkt", nullptr, false, SBEntry::ASCII_INPUT_TYPE);
    _dialogs->questions.clear();
    _dialogs->answers = {c.answer};
    ChooserScript::calls().clear();
    ChooserScript::answers().clear();
    if (c.saveAs) ChooserScript::answers().push_back(c.saveAs);
    ChooserScript::answers().push_back("");  // the Open chooser, if it comes
    Main::_shutdown = false;
    _frm->deleteNewWindow();
    std::string a = c.action;
    if (a == "Afsluiten") _frm->btAfsluiten()->do_callback();
    if (a == "window") _frm->window()->do_callback();
    if (a == "Nieuw") _impl->btNewSb();
    if (a == "Open") _impl->btOpenSb();
    if (a == "Ophalen") _impl->btOphalen();
    ASSERT_EQ(1u, _dialogs->questions.size());
    EXPECT_NE(std::string::npos, _dialogs->questions[0].find("niet opgeslagen")) << _dialogs->questions[0];
    EXPECT_EQ(c.answer == SAVE && c.saveAs && *c.saveAs, std::filesystem::exists("bewaard.kvn"));
    EXPECT_STREQ("bewerkt", _sb->getEntry(1)->text);
    if (a == "Afsluiten" || a == "window") {
      EXPECT_EQ(c.goesOn, Main::_shutdown);
    } else if (a == "Nieuw") {
      EXPECT_EQ(c.goesOn, _frm->btNewWindow() != nullptr);
    } else if (a == "Open") {
      EXPECT_EQ(c.goesOn ? 2u : 0u, ChooserScript::calls().size());
    }
  }
  // Nothing unsaved: no question.
  _sb->markUnmodified();
  _dialogs->questions.clear();
  _frm->btAfsluiten()->do_callback();
  EXPECT_TRUE(_dialogs->questions.empty());
  EXPECT_TRUE(Main::_shutdown);
  formstest::settle();
}

TEST_F(FrmKestrumTest, CommandLineRunsNeverAskAboutUnsavedEdits) {
  _sb->setEntry(1, "bewerkt", nullptr, false, SBEntry::ASCII_INPUT_TYPE);
  FrmKestrumImpl::CMDL_PROGRAM = true;
  bool asked = !_impl->confirmDiscard();
  FrmKestrumImpl::CMDL_PROGRAM = false;
  EXPECT_FALSE(asked);
  EXPECT_TRUE(_dialogs->questions.empty());
}

TEST_F(FrmKestrumTest, NieuwTwiceKeepsOneDialog) {
  _impl->btNewSb();
  _impl->btNewSb();
  formstest::settle();
  EXPECT_EQ(3, _frm->btNewChoiceTolType()->list.size());
}

TEST_F(FrmKestrumTest, TypeFieldRebuildsFormAndKeepsEntries) {
  _sb->setEntry(1, "blijft", nullptr, false, SBEntry::ASCII_INPUT_TYPE);
  formstest::typeInto(_frm->txtInTolTypeInstBest(), "Tolvan 8888 GSM");
  EXPECT_STREQ("TL8888GM-ED", _sb->tolType());
  EXPECT_STREQ("blijft", _sb->getEntry(1)->text);
  EXPECT_EQ(2, sheets());
}

TEST_F(FrmKestrumTest, OpslaanWithoutExtensionAsksAndJaSavesUnderThatName) {
  ChooserScript::answers() = {"instellingen"};
  _dialogs->answers = {1};
  _impl->btStoreSb();
  ASSERT_EQ(1u, ChooserScript::calls().size());
  EXPECT_EQ("Opslaan van Setting Bestand", ChooserScript::calls()[0].title);
  EXPECT_EQ("*.kvn", ChooserScript::calls()[0].pattern);
  ASSERT_EQ(1u, _dialogs->questions.size());
  EXPECT_EQ(
      "Attentie!! Bestands naam: instellingen\nbevat geen extensie '.kvn'\n"
      "Deze bestands naam is correct?\n",
      _dialogs->questions[0]);
  EXPECT_EQ((std::vector<std::string>{"Nee", "Ja", ""}), _dialogs->buttons[0]);
  EXPECT_EQ(1, _dialogs->beeps);
  EXPECT_TRUE(fileExists("instellingen"));
  EXPECT_FALSE(fileExists("instellingen.kvn"));
  EXPECT_STREQ("instellingen", _sb->file());
  EXPECT_STREQ("instellingen", _frm->txtBestName()->value());
}

TEST_F(FrmKestrumTest, OpslaanNeeAsksForTheNameAgain) {
  ChooserScript::answers() = {"eerste", "tweede.kvn"};
  _dialogs->answers = {0};
  _sb->setEntry(3, "drie", "33", false, SBEntry::ASCII_INPUT_TYPE);
  _impl->btStoreSb();
  EXPECT_EQ(2u, ChooserScript::calls().size());
  EXPECT_EQ(1u, _dialogs->questions.size());
  EXPECT_FALSE(fileExists("eerste"));
  std::string saved = readFile("tweede.kvn");
  EXPECT_EQ("|\n|\ndrie|33\n", saved.substr(0, 12));
  EXPECT_EQ(200, std::count(saved.begin(), saved.end(), '\n'));
}

TEST_F(FrmKestrumTest, OpslaanCancelledWritesNothing) {
  ChooserScript::answers() = {"x", ""};
  _dialogs->answers = {0};
  _impl->btStoreSb();
  EXPECT_EQ(2u, ChooserScript::calls().size());
  EXPECT_EQ(nullptr, _sb->file());
  EXPECT_TRUE(std::filesystem::is_empty("dev"));
  EXPECT_FALSE(fileExists("x"));
}

TEST_F(FrmKestrumTest, OpslaanStartsAtTheCurrentFile) {
  _sb->file("huidig.kvn");
  ChooserScript::answers() = {"nieuw.kvn"};
  _impl->btStoreSb();
  ASSERT_EQ(1u, ChooserScript::calls().size());
  EXPECT_EQ("huidig.kvn", ChooserScript::calls()[0].start);
  EXPECT_TRUE(_dialogs->questions.empty());
  EXPECT_TRUE(fileExists("nieuw.kvn"));
}

TEST_F(FrmKestrumTest, OpenLoadsTheChosenFileAndBuildsTheForm) {
  std::string kvn;
  for (int i = 1; i <= 200; i++)
    kvn += i == 1 ? "abc|112\n" : i == 10 ? "TL4400GS-EA|\n" : "|\n";
  writeFile("klant.kvn", kvn);
  ChooserScript::answers() = {_dir->path() + "/klant.kvn"};
  _impl->btOpenSb();
  ASSERT_EQ(1u, ChooserScript::calls().size());
  EXPECT_EQ("Selecteer Bestand", ChooserScript::calls()[0].title);
  EXPECT_EQ("*.kvn", ChooserScript::calls()[0].pattern);
  EXPECT_STREQ("abc", _sb->getEntry(1)->text);
  EXPECT_STREQ("112", _sb->getEntry(1)->tfnr);
  EXPECT_STREQ("klant.kvn", _frm->txtBestName()->value());
  EXPECT_STREQ("Tolvan 4400 GSM SMS", _frm->txtInTolTypeInstBest()->value());
  EXPECT_EQ(1, sheets());
  EXPECT_FALSE(_sb->editFromDownload());
}

TEST_F(FrmKestrumTest, OpenCancelledLeavesTheSettings) {
  _sb->setEntry(1, "blijft", nullptr, false, SBEntry::ASCII_INPUT_TYPE);
  _sb->markUnmodified();
  ChooserScript::answers() = {""};
  _impl->btOpenSb();
  EXPECT_EQ(1u, ChooserScript::calls().size());
  EXPECT_STREQ("blijft", _sb->getEntry(1)->text);
  EXPECT_EQ(nullptr, _sb->file());
}

TEST_F(FrmKestrumTest, AFailedOpenTellsWhyAndKeepsTheSettings) {
  DiagCapture diag;
  _sb->setEntry(1, "blijft", nullptr, false, SBEntry::ASCII_INPUT_TYPE);
  _sb->markUnmodified();
  std::filesystem::create_directory("map.kvn");
  writeFile("plaatje.kvn", std::string("GIF89a\0\0\x01", 9));
  struct Case {
    const char* name;
    const char* reason;
  } cases[] = {
      {"weg.kvn", "No such file or directory"},
      {"map.kvn", "dit is een map, geen bestand"},
      {"plaatje.kvn", "dit is geen instellingen bestand"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    _dialogs->alerts.clear();
    ChooserScript::answers() = {c.name};
    _impl->btOpenSb();
    ASSERT_EQ(1u, _dialogs->alerts.size());
    const std::string& a = _dialogs->alerts[0];
    EXPECT_EQ(0u, a.find(std::string("Fout!! Bestand \"") + c.name + "\" kan niet geopend worden:\n")) << a;
    EXPECT_NE(std::string::npos, a.find(c.reason)) << a;
    EXPECT_STREQ("blijft", _sb->getEntry(1)->text);
    EXPECT_NE(std::string::npos, diag.log.find(std::string("File:") + c.name + " can not be openened!!"));
  }
  EXPECT_NE(std::string::npos, diag.log.find("kestrum/progctrl/Forms/FrmKestrumImpl"));
}

TEST_F(FrmKestrumTest, OpenInCommandLineModeTakesTheNamedFileWithoutDialog) {
  std::string kvn;
  for (int i = 1; i <= 200; i++) kvn += i == 2 ? "naam|\n" : "|\n";
  writeFile("cmdl.kvn", kvn);
  char name[] = "cmdl.kvn";
  char* oldFile = FrmKestrumImpl::PROG_FILE_KVN;
  FrmKestrumImpl::PROG_FILE_KVN = name;
  FrmKestrumImpl::CMDL_PROGRAM = true;
  _impl->btOpenSb();
  FrmKestrumImpl::PROG_FILE_KVN = oldFile;
  FrmKestrumImpl::CMDL_PROGRAM = false;
  EXPECT_TRUE(ChooserScript::calls().empty());
  EXPECT_STREQ("naam", _sb->getEntry(2)->text);
  EXPECT_STREQ("cmdl.kvn", _sb->file());
}

TEST_F(FrmKestrumTest, CommandLineModeFollowsTheNamedFile) {
  char name[] = "x.kvn";
  char* oldFile = FrmKestrumImpl::PROG_FILE_KVN;
  FrmKestrumImpl::PROG_FILE_KVN = name;
  FrmKestrumImpl impl(_frm, nullptr);
  EXPECT_TRUE(FrmKestrumImpl::CMDL_PROGRAM);
  FrmKestrumImpl::PROG_FILE_KVN = oldFile;
  FrmKestrumImpl impl2(_frm, nullptr);
  EXPECT_FALSE(FrmKestrumImpl::CMDL_PROGRAM);
}

TEST_F(FrmKestrumTest, OptiesListsPortInUseFirstThenThePortsFound) {
  writeFile("dev/ttyS0", "");
  writeFile("dev/ttyS7", "");
  _cfg->initComPorts();
  _cfg->comActive((_dir->path() + "/dev/ttyS7").c_str());
  _impl->btOptionsWindow();
  KesInputChoice* port = _frm->btOptComPort();
  ASSERT_NE(nullptr, port);
  EXPECT_STREQ("Opties", _frm->btOptionsWindow()->label());
  EXPECT_EQ(293, _frm->btOptionsWindow()->w());
  // 30 pixels taller than it was, for "Controleren na programmeren" below
  // the widgets that keep their places.
  EXPECT_EQ(192, _frm->btOptionsWindow()->h());
  EXPECT_EQ(160, _frm->optVerify()->y());
  EXPECT_EQ(_frm->window()->x() + (1057 - 293) / 2, _frm->btOptionsWindow()->x());
  ASSERT_EQ(3, port->size());
  EXPECT_STREQ((_dir->path() + "/dev/ttyS7").c_str(), port->value());
  EXPECT_EQ(0, port->menuValue());
  EXPECT_STREQ((_dir->path() + "/dev/ttyS0").c_str(), port->menubutton()->text(1));
  EXPECT_STREQ((_dir->path() + "/dev/ttyS7").c_str(), port->menubutton()->text(2));
  EXPECT_STREQ("KR-2.18", _frm->txtSwVersie()->value());
  std::string stamp = _frm->txtSwDatumTijd()->value();
  EXPECT_EQ(std::string(__DATE__).size() + 2 + 8, stamp.size());
  EXPECT_EQ(", ", stamp.substr(std::string(__DATE__).size(), 2));
  EXPECT_FALSE(_frm->optUpgrade()->visible());
  EXPECT_FALSE(_frm->btCrtRevPackWndw()->visible());
}

TEST_F(FrmKestrumTest, OptiesWithoutPortInUseStartsWithEmptyItem) {
  _cfg->comActive("");
  _impl->btOptionsWindow();
  EXPECT_EQ(1, _frm->btOptComPort()->size());
  EXPECT_STREQ("", _frm->btOptComPort()->value());
}

TEST_F(FrmKestrumTest, OptiesOkTakesTheChosenPortAndClosesTheForm) {
  writeFile("dev/ttyUSB0", "");
  _cfg->initComPorts();
  _sb->tolTypeFromNew("Tolvan 8888 GSM", true);
  ASSERT_GT(sheets(), 0);
  _impl->btOptionsWindow();
  KesInputChoice* port = _frm->btOptComPort();
  Fl_Menu_Button* m = port->menubutton();
  m->picked(m->menu() + 1);
  _frm->btOptOk()->do_callback();
  EXPECT_EQ(_dir->path() + "/dev/ttyUSB0", std::string(_cfg->comActive()));
  EXPECT_EQ(nullptr, _frm->btOptionsWindow());
  // Without the upgrade the settings form stays as it was.
  EXPECT_GT(sheets(), 0);
  EXPECT_EQ(_sb, _frm->settingEdit()->settingBin());
  formstest::settle();
}

TEST_F(FrmKestrumTest, ClosingOptiesDeletesTheDialog) {
  _sb->tolTypeFromNew("Tolvan 8888 GSM", true);
  int before = sheets();
  _impl->btOptionsWindow();
  _frm->btOptionsWindow()->do_callback();
  EXPECT_EQ(nullptr, _frm->btOptionsWindow());
  EXPECT_EQ(before, sheets());
  EXPECT_STREQ("/dev/ttyS7", _cfg->comActive());
  formstest::settle();
}

TEST_F(FrmKestrumTest, RevisionPackCreationOfferedOnlyWhenAllowed) {
  FrmKestrumImpl::CREATE_REVPACK = true;
  _impl->btOptionsWindow();
  FrmKestrumImpl::CREATE_REVPACK = false;
  ASSERT_TRUE(_frm->btCrtRevPackWndw()->visible());
  _frm->btCrtRevPackWndw()->do_callback();
  ASSERT_NE(nullptr, _frm->crtRevPackWndw());
  EXPECT_STREQ("Create RevPack Db", _frm->crtRevPackWndw()->label());
  ChooserScript::answers() = {"/tmp/bins", ""};
  _frm->btSelectBin()->do_callback();
  EXPECT_STREQ("/tmp/bins", _frm->txtBinDir()->value());
  EXPECT_EQ("*.bin", ChooserScript::calls()[0].pattern);
  EXPECT_EQ("Select a dir where *.bin files are stored", ChooserScript::calls()[0].title);
  _frm->btSelectBin()->do_callback();
  EXPECT_STREQ("", _frm->txtBinDir()->value());
  // Missing, the file is made from the built-in rows, then opened.
  _frm->btEditRestrictions()->do_callback();
  EXPECT_EQ((std::vector<std::string>{"RevPacks/SwHwRestrictions.txt"}), g_edited);
  std::string made = readFile("RevPacks/SwHwRestrictions.txt");
  EXPECT_NE(std::string::npos, made.find("\n6:6.**;H.**\n")) << made;
  // The user's own file is opened as it is.
  writeFile("RevPacks/SwHwRestrictions.txt", "mine");
  _frm->btEditRestrictions()->do_callback();
  EXPECT_EQ(2u, g_edited.size());
  EXPECT_EQ("mine", readFile("RevPacks/SwHwRestrictions.txt"));
  _frm->btCreateRevPack()->do_callback();
  EXPECT_EQ(nullptr, _frm->crtRevPackWndw());
  formstest::settle();
}

TEST_F(FrmKestrumTest, AfsluitenEndsTheProgramWithItsExitCode) {
  DiagCapture diag;
  Main::_exitCode = 0;
  _frm->btAfsluiten()->do_callback();
  EXPECT_TRUE(Main::_shutdown);
  EXPECT_TRUE(Main::shutdownActive());
  EXPECT_EQ(0, Main::_exitCode);
  EXPECT_NE(std::string::npos, diag.log.find("=-->FrmKestrumImpl::shutdown"));
}

TEST_F(FrmKestrumTest, ClosingTheWindowEndsTheProgram) {
  _frm->window()->do_callback();
  EXPECT_TRUE(Main::_shutdown);
}

TEST_F(FrmKestrumTest, EscapeDoesNotEndTheProgram) {
  Fl::e_keysym = FL_Escape;
  Fl::e_text = const_cast<char*>("");
  Fl::e_length = 0;
  Fl::e_state = 0;
  // The toolkit hands Escape to the window's callback, which ignores it.
  EXPECT_EQ(1, Fl::handle(FL_KEYBOARD, _frm->window()));
  EXPECT_FALSE(Main::_shutdown);
  EXPECT_TRUE(_frm->window()->shown());
}

TEST_F(FrmKestrumTest, UpgradeCheckFailsWithoutRevisionPacks) {
  DiagCapture diag;
  EXPECT_FALSE(_impl->checkTypeHwVers());
  EXPECT_TRUE(diag.has("rpDb and binList has no value") ||
              diag.log.find("rpDb and binList has no value") != std::string::npos);
  EXPECT_FALSE(_impl->btExecUpgrade());
}

TEST_F(FrmKestrumTest, RemovingTheFormUnlinksTheFields) {
  _sb->tolTypeFromNew("Tolvan 8888 GSM", true);
  ASSERT_NE(nullptr, _sb->getEntry(1)->sbEntryT);
  _frm->removeSettingEdit();
  EXPECT_EQ(0, sheets());
  EXPECT_EQ(nullptr, _sb->getEntry(1)->sbEntryT);
}

namespace {
TlctrlRoot* g_root = nullptr;
std::vector<bool> g_armedWhileChoosing;
const char* chooseAndLookAtLifeCheck(const char*, const char*, const char*) {
  g_armedWhileChoosing.push_back(g_root->isArmedLifeCkTimeout());
  return nullptr;
}
}  // namespace

TEST_F(FrmKestrumTest, ChoosersRunWithTheLifeCheckStoppedAndRearmItAfter) {
  TlctrlRoot root;
  g_root = &root;
  g_armedWhileChoosing.clear();
  FrmKestrum frm(&root, _sb);
  FrmKestrumImpl::fileChooser(chooseAndLookAtLifeCheck);
  root.startLifeCkTimeout();
  ASSERT_TRUE(root.isArmedLifeCkTimeout());
  frm.frmImpl()->btOpenSb();
  EXPECT_TRUE(root.isArmedLifeCkTimeout());
  frm.frmImpl()->btStoreSb();
  EXPECT_TRUE(root.isArmedLifeCkTimeout());
  root.stopLifeCkTimeout();
  frm.frmImpl()->btOpenSb();
  EXPECT_FALSE(root.isArmedLifeCkTimeout());
  EXPECT_EQ((std::vector<bool>{false, false, false}), g_armedWhileChoosing);
}
