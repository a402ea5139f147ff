#include "RevPackFixtures.h"

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Help_View.H>

#include "../../../lib/Flu/FluTestSupport.h"
#include "RPOut.h"
#include "RPallowHwList.h"
#include "RPbinList.h"
#include "RPbtUpgrade.h"
#include "RPrefPackList.h"
#include "SBTabSheet.h"
#include "SBTabs.h"
#include "TlctrlRoot.h"

// The upgrade tab as the window builds it, over a pack made by the test.
class RPWidgetsTest : public RevPackTest {
protected:
  void SetUp() override {
    RevPackTest::SetUp();
    FLU_NEED_DISPLAY();
    addBin("TL8888GM-ED_g.bin", "H.49", "TL8888GM-ED");
    addBin("TL8888GM-ED_g2.bin", "H.49", "TL8888GM-ED", "TL-6.02");
    addBin("TL8888IM-ED_i.bin", "H.49", "TL8888IM-ED");
    addBoot("BOOT_LOAD_H49.bin", 0x49);
    writeFile("bins/TL8888GM-ED_g2.kvn", "x|1\n");
    pack = build();
    ASSERT_FALSE(pack.empty());
    RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  }
  void TearDown() override {
    delete win;
    RevPackTest::TearDown();
  }
  void makeTab() {
    // The controller root makes the database with itself as its root.
    db.reset(new RevPackDb(&root));
    win = new Fl_Double_Window(1057, 609);
    help = new Fl_Help_View(714, 10, 335, 555);
    tabs = new SBTabs(10, 225, 700, 340);
    tabs->helpView(help);
    win->end();
    sheet = new SBTabSheet(tabs, "RevPack Software Upgrade", "TabRevPacks.html");
    type = new RPOut("Tolvan Type: ");
    version = new RPOut("Software Version: ");
    hw = new RPOut("Hardware Version: ");
    special = new RPOut("Software Special: ");
    allowed = new RPallowHwList();
    bins = new RPbinList(db.get(), type, version, hw, special, &root, allowed);
    packs = new RPrefPackList(db.get(), bins, &root);
    bins->refreshList();
    packs->placeOnTabSheet(sheet);
    bins->placeOnTabSheet(sheet);
    for (RPOut* o : {type, version, hw, special}) o->placeOnTabSheet(sheet);
    allowed->placeOnTabSheet(sheet);
    button = new RPbtUpgrade(nullptr);
    button->placeOnTabSheet(sheet);
  }
  std::string pack;
  TlctrlRoot root;
  Fl_Double_Window* win = nullptr;
  Fl_Help_View* help = nullptr;
  SBTabs* tabs = nullptr;
  SBTabSheet* sheet = nullptr;
  RPOut *type = nullptr, *version = nullptr, *hw = nullptr, *special = nullptr;
  RPallowHwList* allowed = nullptr;
  RPbinList* bins = nullptr;
  RPrefPackList* packs = nullptr;
  RPbtUpgrade* button = nullptr;
};

TEST_F(RPWidgetsTest, BinListHoldsOnlyTheApplicationBinsTheDeviceMayTake) {
  makeTab();
  EXPECT_STREQ(pack.c_str(), packs->value());
  ASSERT_EQ(2, bins->list.size());
  EXPECT_STREQ("Meter G_g.bin", bins->list.text(1));
  EXPECT_STREQ("Meter G_g2.bin", bins->list.text(2));
  EXPECT_STREQ("Meter G_g.bin", bins->value());
  EXPECT_STREQ("Meter G", type->value());
  EXPECT_STREQ("TL-6.01", version->value());
  EXPECT_STREQ("H.49", hw->value());
  EXPECT_STREQ("SPEC01", special->value());
  EXPECT_STREQ(" H.**", allowed->value());
}

TEST_F(RPWidgetsTest, ChoosingABinLoadsItAndWritesItsSettingsFileAtOnce) {
  makeTab();
  ASSERT_TRUE(bins->choose("Meter G_g2.bin"));
  EXPECT_STREQ("Meter G_g2.bin", bins->value());
  EXPECT_STREQ("Meter G_g2.bin", db->actBinFileName());
  EXPECT_GT(db->binSize(), 0);
  EXPECT_EQ("x|1\n", readFile("kvn_pre_update.kvn"));
  EXPECT_STREQ("Meter G_g2.bin", root.lastBinFile());
  EXPECT_STREQ("TL-6.02", version->value());
  // The last bin, still allowed, is shown again.
  delete win;
  makeTab();
  EXPECT_STREQ("Meter G_g2.bin", bins->value());
  EXPECT_STREQ("TL-6.02", version->value());
}

TEST_F(RPWidgetsTest, PackWithNoAllowedBinLeavesTheListEmpty) {
  RevPackDb::setActHwSwVers("TL4444GM-ED", "TL-6.00", "", "H.49");
  makeTab();
  EXPECT_EQ(0, bins->list.size());
  EXPECT_STREQ("", bins->value());
  EXPECT_STREQ("", type->value());
}

TEST_F(RPWidgetsTest, ChoosingAnotherPackListsItsBins) {
  makeTab();
  // A second pack holding only the I bin.
  fs::remove("bins/TL8888GM-ED_g.bin");
  fs::remove("bins/TL8888GM-ED_g2.bin");
  RevPackDb second(nullptr);
  ASSERT_TRUE(second.createDb("bins"));
  db->setRpaFiles();
  delete win;
  win = nullptr;
  makeTab();
  ASSERT_EQ(2, packs->list.size());
  std::string other = packs->list.text(1) == pack ? packs->list.text(2) : packs->list.text(1);
  ASSERT_TRUE(packs->choose(other.c_str()));
  EXPECT_EQ(other, db->actRpFile());
  EXPECT_EQ(other, root.lastRevpackFile());
  EXPECT_EQ(0, bins->list.size());
}
