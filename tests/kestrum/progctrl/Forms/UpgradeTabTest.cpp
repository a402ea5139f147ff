// The "RevPack Software Upgrade" sheet: which bins it offers, what it
// remembers, and when it is offered at all.
#include <gtest/gtest.h>

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Tabs.H>

#include <filesystem>
#include <string>

#include "ConfigInit.h"
#include "FormsTestSupport.h"
#include "FrmKestrum.h"
#include "FrmKestrumImpl.h"
#include "RPbinList.h"
#include "RPrefPackList.h"
#include "RevPackDb.h"
#include "SBTabs.h"
#include "SettingBin.h"
#include "TlctrlRoot.h"
#include "kestrum/progctrl/revpack/RevPackFixtures.h"
#include "main/Main.h"

namespace {

class UpgradeTabTest : public ::testing::Test {
protected:
  void SetUp() override {
    FLU_NEED_DISPLAY();
    std::filesystem::create_directory("dev");
    ConfigInit::devDir((_dir.path() + "/dev").c_str());
    writeFile("config.ini", "comport=\ntolvantype=TL8888GM-ED;Meter A\ntolvantype=TL4400GS-EA;Meter B\n");
    formstest::writeConfigCsv("1;T;Locatie;Algemeen;ascii;;;;;;;;;;;;;\n");
    RevPackDb::bootPauseMs(0);
    RevPackDb::setActHwSwVers("TL8888GM-ED", "6.11.00", "SPEC01", "H.49");
    _frm = new FrmKestrum(&_root, &_sb);
    _sb.frame(_frm);
    _root.frame(_frm);
    _impl = _frm->frmImpl();
  }
  void TearDown() override {
    _root.frame(nullptr);
    _sb.frame(nullptr);
    delete _frm;
    formstest::settle();
    ConfigInit::devDir(nullptr);
  }
  // A pack holding a bin for the connected type (with a settings file), one
  // for another type and a boot loader.
  void makePack() {
    std::filesystem::create_directory("bins");
    writeBytes("bins/TL8888GM-ED_612.bin", imageBytes(0x2000, "H.49TL8888GM-ED", "TL-6.12", "SPEC01"));
    writeFile("bins/TL8888GM-ED_612.kvn", "text|1\n");
    writeBytes("bins/TL8888GM-ED_613.bin", imageBytes(0x2000, "H.49TL8888GM-ED", "TL-6.13", "SPEC01", 3));
    writeBytes("bins/TL4400GS-EA_612.bin", imageBytes(0x2000, "H.49TL4400GS-EA", "TL-6.12", "SPEC01", 5));
    writeBytes("bins/BOOT_LOAD_H49.bin", imageBytes(0x800, "", "", "", 9));
    _root.createRevPack();
    ASSERT_TRUE(_root.revPack()->createDb("bins"));
    _root.createRevPack();
  }
  // Opens the options, ticks the upgrade option and confirms.
  void openUpgradeSheet() {
    _impl->btOptionsWindow();
    ASSERT_TRUE(_frm->optUpgrade()->visible());
    _frm->optUpgrade()->value(1);
    _impl->btOptionsOk();
  }
  std::vector<std::string> offeredBins() {
    std::vector<std::string> v;
    RPbinList* list = _impl->binList();
    for (int i = 1; list && i <= list->list.size(); ++i) v.push_back(list->list.text(i));
    return v;
  }
  // What the sheet shows of the chosen bin: type, version, hardware, special
  // and the hardware it may go on.
  std::vector<std::string> shownInfo() {
    std::vector<std::string> v;
    Fl_Group* sheet = _frm->settingEdit()->child(0)->as_group();
    for (int i = 0; i < sheet->children(); ++i)
      if (Fl_Output* o = dynamic_cast<Fl_Output*>(sheet->child(i))) v.push_back(o->value());
    return v;
  }

  TempDir _dir{TempDir::Entered};
  DialogScript _dialogs;
  SettingBin _sb{nullptr};
  TlctrlRoot _root;
  FrmKestrum* _frm = nullptr;
  FrmKestrumImpl* _impl = nullptr;
};

}  // namespace

// Without packs there is no upgrade; with one, only the bins the device may
// take, the first shown with what it holds; the life check rests while the
// user chooses; a bin with settings writes them; the choice is remembered;
// the upgrade needs a connected device; another pack offers its own bins.
TEST_F(UpgradeTabTest, SheetOffersOnlyTheBinsTheDeviceMayTakeAndRemembersTheChoice) {
  _impl->btOptionsWindow();
  EXPECT_FALSE(_frm->optUpgrade()->visible());
  _impl->btOptionsOk();
  makePack();
  // A pack named on the command line opens the sheet at once.
  ASSERT_EQ(1u, packsInDir().size());
  std::string named = packsInDir()[0];
  Main::_refPackFile = named.c_str();
  _root.checkForRevpack();
  Main::_refPackFile = nullptr;
  EXPECT_TRUE(_frm->optUpgrade()->value());
  Fl_Tabs* tabs = _frm->settingEdit();
  ASSERT_EQ(1, tabs->children());
  EXPECT_STREQ("RevPack Software Upgrade", tabs->child(0)->label());
  EXPECT_EQ((std::vector<std::string>{"Meter A_612.bin", "Meter A_613.bin"}), offeredBins());
  EXPECT_EQ((std::vector<std::string>{"Meter A", "TL-6.12", "H.49", "SPEC01", " H.**"}), shownInfo());
  EXPECT_FALSE(_root.isArmedLifeCkTimeout());
  std::filesystem::remove("kvn_pre_update.kvn");
  _impl->binList()->choose("Meter A_612.bin");
  EXPECT_EQ("text|1\n", readFile("kvn_pre_update.kvn"));
  EXPECT_FALSE(_impl->btExecUpgrade());
  EXPECT_FALSE(_root.binFileSet());
  _impl->binList()->choose("Meter A_613.bin");
  EXPECT_EQ("TL-6.13", shownInfo()[1]);
  openUpgradeSheet();
  EXPECT_STREQ("Meter A_613.bin", _impl->binList()->value());
  // A second pack without the bins of the device's type.
  std::string first = _impl->rpList()->value();
  for (const char* bin : {"bins/TL8888GM-ED_612.bin", "bins/TL8888GM-ED_613.bin"})
    std::filesystem::remove(bin);
  ASSERT_TRUE(_root.revPack()->createDb("bins"));
  _root.createRevPack();
  openUpgradeSheet();
  RPrefPackList* packs = _impl->rpList();
  ASSERT_EQ(2, packs->list.size());
  std::string other = packs->list.text(1) == first ? packs->list.text(2) : packs->list.text(1);
  ASSERT_TRUE(packs->choose(other.c_str()));
  EXPECT_EQ(other, _root.lastRevpackFile());
  EXPECT_TRUE(offeredBins().empty());
  EXPECT_EQ("", shownInfo()[0]);
}

// "Gen. RevPack Db" shows what came of it (the report's wording is the
// database's) and closes its window.
TEST_F(UpgradeTabTest, GeneratingAPackTellsTheResult) {
  _frm->makeCrtRevPackWndw();
  _frm->txtBinDir()->value("none");
  _frm->btCreateRevPack()->do_callback();
  EXPECT_EQ(nullptr, _frm->crtRevPackWndw());
  ASSERT_EQ(1u, _dialogs.alerts.size());
  EXPECT_EQ(0u, _dialogs.alerts[0].find("Geen RevPack gemaakt: Map ")) << _dialogs.alerts[0];
}

