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
    _dir = new TempDir(TempDir::Entered);
    std::filesystem::create_directory("dev");
    ConfigInit::devDir((_dir->path() + "/dev").c_str());
    writeFile("config.ini",
              "comport=\ntolvantype=TL8888GM-ED;Meter A\ntolvantype=TL4400GS-EA;Meter B\n");
    formstest::writeConfigCsv("1;T;Locatie;Algemeen;ascii;;;;;;;;;;;;;\n");
    _dialogs = new DialogScript();
    RevPackDb::bootPauseMs(0);
    RevPackDb::setActHwSwVers("TL8888GM-ED", "6.11.00", "SPEC01", "H.49");
    _sb = new SettingBin(nullptr);
    _root = new TlctrlRoot();
    _frm = new FrmKestrum(_root, _sb);
    _sb->frame(_frm);
    _root->frame(_frm);
    _impl = _frm->frmImpl();
  }
  void TearDown() override {
    _root->frame(nullptr);
    delete _frm;
    delete _root;
    delete _sb;
    formstest::settle();
    ConfigInit::devDir(nullptr);
    delete _dialogs;
    delete _dir;
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
    _root->createRevPack();
    ASSERT_TRUE(_root->revPack()->createDb("bins"));
    _root->createRevPack();
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

  TempDir* _dir = nullptr;
  DialogScript* _dialogs = nullptr;
  SettingBin* _sb = nullptr;
  TlctrlRoot* _root = nullptr;
  FrmKestrum* _frm = nullptr;
  FrmKestrumImpl* _impl = nullptr;
};

TEST_F(UpgradeTabTest, WithoutPacksTheUpgradeOptionIsNotOffered) {
  _impl->btOptionsWindow();
  EXPECT_FALSE(_frm->optUpgrade()->visible());
  _impl->btOptionsOk();
}

TEST_F(UpgradeTabTest, SheetOffersOnlyTheBinsTheDeviceMayTake) {
  makePack();
  openUpgradeSheet();
  Fl_Tabs* tabs = _frm->settingEdit();
  ASSERT_EQ(tabs->children(), 1);
  EXPECT_STREQ(tabs->child(0)->label(), "RevPack Software Upgrade");
  EXPECT_EQ(offeredBins(), (std::vector<std::string>{"Meter A_612.bin", "Meter A_613.bin"}));
  EXPECT_FALSE(_root->isArmedLifeCkTimeout());  // the life check rests while the user chooses
}

TEST_F(UpgradeTabTest, ChoosingABinWithSettingsWritesThemAndReopeningShowsIt) {
  makePack();
  openUpgradeSheet();
  std::filesystem::remove("kvn_pre_update.kvn");
  _impl->binList()->choose("Meter A_612.bin");
  EXPECT_EQ(readFile("kvn_pre_update.kvn"), "text|1\n");
  _impl->binList()->choose("Meter A_613.bin");
  openUpgradeSheet();
  EXPECT_STREQ(_impl->binList()->value(), "Meter A_613.bin");
}

TEST_F(UpgradeTabTest, UpgradeNeedsAConnectedDevice) {
  makePack();
  openUpgradeSheet();
  EXPECT_FALSE(_impl->btExecUpgrade());
  EXPECT_FALSE(_root->binFileSet());
}

}  // namespace

namespace {

TEST_F(UpgradeTabTest, DeviceAskingForFirmwareIsToldAndGetsTheSheet) {
  makePack();
  _root->upgrInitByTol(true);
  _root->informSetBinFile();
  ASSERT_EQ(_dialogs->alerts.size(), 1u);
  EXPECT_NE(_dialogs->alerts[0].find("Revisie pakketten (*.rpa) en bin bestanden zijn bij uw leverancier verkrijgbaar."),
            std::string::npos);
  EXPECT_EQ(offeredBins().size(), 2u);
}

TEST_F(UpgradeTabTest, PackNamedOnTheCommandLineOpensTheUpgradeCheck) {
  makePack();
  std::vector<std::string> packs = packsInDir();
  ASSERT_EQ(packs.size(), 1u);
  Main::_refPackFile = packs[0].c_str();
  _root->checkForRevpack();
  Main::_refPackFile = nullptr;
  EXPECT_TRUE(_frm->optUpgrade()->value());
  EXPECT_EQ(offeredBins().size(), 2u);
}

}  // namespace

namespace {

TEST_F(UpgradeTabTest, UpgradeOfAConnectedDeviceLoadsTheBinAndItsBootLoader) {
  makePack();
  openUpgradeSheet();
  _root->connected(true);
  _impl->binList()->choose("Meter A_612.bin");
  ASSERT_TRUE(_impl->btExecUpgrade()) << (_dialogs->alerts.empty() ? "" : _dialogs->alerts.back()) << " / "
                                      << _frm->statusInfo()->value() << " / " << _impl->rpList()->value();
  EXPECT_TRUE(_root->binFileSet());
  EXPECT_EQ(_root->revPack()->binSize(), 0x2000 - 0x100);  // processor 49: from 0x100 on
  EXPECT_GT(_root->revPack()->bootSize(), 0);
  // Same network letter: the pack's settings are not programmed first.
  EXPECT_EQ(_sb->file(), nullptr);
}

}  // namespace

// "Gen. RevPack Db" shows what came of it.
TEST_F(UpgradeTabTest, GeneratingAPackTellsTheResult) {
  std::filesystem::create_directory("bins");
  writeBytes("bins/TL8888GM-ED_612.bin", imageBytes(0x2000, "H.49TL8888GM-ED", "TL-6.12", "SPEC01"));
  writeBytes("bins/TL9999GM-ED_612.bin", imageBytes(0x2000, "H.49TL9999GM-ED", "TL-6.12", "SPEC01", 3));
  struct Case {
    const char* dir;
    const char* start;
    const char* also;
  } cases[] = {
      {"bins", "RevPack gemaakt: TL-6.12_SPEC01[", "\nNiet opgenomen: TL9999GM-ED_612.bin (geen klantnaam voor het type)"},
      {"none", "Geen RevPack gemaakt: Map ", "none/ bestaat niet"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dir);
    _dialogs->alerts.clear();
    _frm->makeCrtRevPackWndw();
    _frm->txtBinDir()->value(c.dir);
    _frm->btCreateRevPack()->do_callback();
    EXPECT_EQ(nullptr, _frm->crtRevPackWndw());
    ASSERT_EQ(1u, _dialogs->alerts.size());
    EXPECT_EQ(0u, _dialogs->alerts[0].find(c.start)) << _dialogs->alerts[0];
    EXPECT_NE(std::string::npos, _dialogs->alerts[0].find(c.also)) << _dialogs->alerts[0];
  }
  formstest::settle();
}
