#include "RevPackFixtures.h"

// A pack of G and I bins of several hardware versions, both boot loaders and
// a settings file beside the I bin.
class RevPackCheckTest : public RevPackTest {
protected:
  void SetUp() override {
    RevPackTest::SetUp();
    addBin("TL8888GM-ED_g.bin", "H.49", "TL8888GM-ED");
    addBin("TL8888IM-ED_i.bin", "H.49", "TL8888IM-ED");
    addBin("TL8888GM-ED_old.bin", "G.49", "TL8888GM-ED");
    addBin("TL8888GM-ED_48.bin", "H.48", "TL8888GM-ED");
    addBoot("BOOT_LOAD_B00.bin", 0x00);
    addBoot("BOOT_LOAD_H49.bin", 0x49);
    writeFile("bins/TL8888IM-ED_i.kvn", "line 1|5\r\r\nline 2|6\r\r\n");
  }
  // Builds the pack with the given restriction rows ("" for the built-in ones) and selects it.
  void select(const std::string& rows = "") {
    removePacks();
    fs::create_directory("RevPacks");
    fs::remove("RevPacks/SwHwRestrictions.txt");
    if (!rows.empty()) writeFile("RevPacks/SwHwRestrictions.txt", std::string(kRestrictionHeader) + rows);
    pack = build();
    ASSERT_FALSE(pack.empty());
    ASSERT_TRUE(db->selectRpFile(pack.c_str()));
  }
  std::string pack;
};

TEST_F(RevPackCheckTest, BinIsCheckedAgainstTheDevicesTypeHardwareVersionAndSpecial) {
  const std::string typeRow = "1:6.**;H.**\n2:TL----G----;TL----I----\n";
  struct Case {
    std::string rows;
    const char *type, *special, *hw, *bin;
    bool ok;
    const char* alert;
    bool hwCheck;
  } cases[] = {
      {"", "TL8888GM-ED", "", "H.49", "Meter G_g.bin", true, "", true},
      {"", "TL8888GM-ED", "", "H.49", "Meter I_i.bin", false,
       " Error!!, incompatible tolvan types actual:Meter G, in bin file:Meter I", true},
      {typeRow, "TL8888GM-ED", "", "H.49", "Meter I_i.bin", true, "", true},
      {typeRow, "TL8888IM-ED", "", "H.49", "Meter G_g.bin", false, "incompatible tolvan types", true},
      {"", "TL8888GM-ED", "", "H.49", "Meter G_old.bin", false,
       "Error !!, incompatible hardware versions, binFile:G.49 tolvan:H.49", true},
      {"", "TL8888GM-ED", "", "H.49", "Meter G_48.bin", false,
       "Error !!, incompatible hardware versions, binFile:H.48 tolvan:H.49", true},
      {"", "TL8888GM-ED", "", "", "Meter G_g.bin", false,
       "Error !!, hardware versions not detected, binFile:H.49 tolvan:", true},
      // Rows after the first type row are not version rows.
      {"1:5.**;H.**\n2:TL---------;TL---------\n3:6.**;H.**\n", "TL8888GM-ED", "", "H.49", "Meter G_g.bin",
       false, "Error !!, not able to upgrade due restrictions or incompatibility.", true},
      {"", "TL8888GM-ED", "SPEC99", "H.49", "Meter G_g.bin", true, "", true},
      {"", "TL8888GM-ED", "OTHER", "H.49", "Meter G_g.bin", false, "", true},
      {"", "TL8888GM-ED", "", "B.48", "Meter I_i.bin", true, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.special + " " + c.hw + " " + c.bin + " rows " + c.rows);
    select(c.rows);
    RevPackDb::CHECK_HARDWARE = c.hwCheck;
    RevPackDb::setActHwSwVers(c.type, "TL-6.00", c.special, c.hw);
    dialogs.alerts.clear();
    EXPECT_EQ(c.ok, db->checkTypeSwHwVers(c.bin));
    if (*c.alert) {
      ASSERT_EQ(1u, dialogs.alerts.size());
      EXPECT_NE(std::string::npos, dialogs.alerts[0].find(c.alert)) << dialogs.alerts[0];
    } else if (c.ok) {
      EXPECT_TRUE(dialogs.alerts.empty());
    }
  }
}

// A type row lets a bin of another network in; its settings go in first.
TEST_F(RevPackCheckTest, BinOfAnotherNetworkProgramsThePackSettingsFirst) {
  select("1:6.**;H.**\n2:TL----G----;TL----I----\n");
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  EXPECT_TRUE(db->binFileAllowed("Meter I_i.bin"));
  EXPECT_TRUE(db->autoProgKvnFile());
  EXPECT_STREQ("kvn_pre_update.kvn", db->setBinData("Meter I_i.bin"));
  EXPECT_STREQ("kvn_pre_update.kvn", RevPackDb::activeKvnFile());
  // One of two CRs in a row is dropped.
  EXPECT_EQ("line 1|5\r\nline 2|6\r\n", readFile("kvn_pre_update.kvn"));
  select("1:6.**;H.**\n2:TL---------;TL---------\n");
  EXPECT_TRUE(db->binFileAllowed("Meter G_g.bin"));
  EXPECT_FALSE(db->autoProgKvnFile());
  EXPECT_STREQ("", db->setBinData("Meter G_g.bin"));
  EXPECT_EQ(" H.**", db->allowedHwList("Meter G_g.bin"));
  select("1:6.**;H.**\n2:6.01;G.49\n3:6.**;H.**\n4:5.**;F.**\n");
  EXPECT_EQ(" H.** G.49", db->allowedHwList("Meter G_g.bin"));
}

// The device's hardware decides the loader; unknown hardware (a device
// waiting in its boot loader) takes one of the pack, whichever there is.
TEST_F(RevPackTest, BootLoaderForKnownAndUnknownHardware) {
  struct Case {
    std::vector<std::pair<const char*, const char*>> boots;  // name, hardware
    const char* deviceHw;
    const char* code;  // setBootData's argument
    bool ok;
    const char* chosenHw;
    const char* status;  // the status line's end
  } cases[] = {
      {{{"BOOT_LOAD_H49.bin", "49"}}, "", nullptr, true, "49", "With 2nd boot for HW version: onbekend"},
      {{{"BOOT_LOAD_B00.bin", "00"}}, "", nullptr, true, "00", "With 2nd boot for HW version: onbekend"},
      {{{"BOOT_LOAD_B00.bin", "00"}, {"BOOT_LOAD_H49.bin", "49"}}, "", nullptr, true, "00", "onbekend"},
      {{{"BOOT_LOAD_B00.bin", "00"}, {"BOOT_LOAD_H49.bin", "49"}}, "H.49", nullptr, true, "49",
       "Correct Revpack:TLc3[0000].rpa. With 2nd boot for HW version: H.49"},
      {{{"BOOT_LOAD_B00.bin", "00"}, {"BOOT_LOAD_H49.bin", "49"}}, "B.48", nullptr, true, "00",
       "HW version: B.48"},
      {{{"BOOT_LOAD_H49.bin", "49"}}, "B.48", nullptr, false, "",
       "Invalid Revpack:TLc5[0000].rpa. No 2nd boot for HW version: B.48"},
      // The boot information asked for a loader the pack does not have.
      {{{"BOOT_LOAD_H49.bin", "49"}}, "", "02", false, "", "No 2nd boot for HW version: 02"},
      {{{"BOOT_LOAD_B00.bin", "00"}, {"BOOT_LOAD_H49.bin", "49"}}, "", "49", true, "49", "HW version: 49"},
      {{}, "", nullptr, false, "",
       "Status Info: Error!! No 2nd stage boot loader in Revpack TLc8[0000].rpa."},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    std::string name = "TLc" + std::to_string(n++) + "[0000].rpa";
    handMadePack(name, [&](Fl_Preferences& p) {
      for (const auto& b : c.boots) binGroup(p, b.first, b.second, 1536, 1536);
    });
    RevPackDb::setActHwSwVers(c.deviceHw[0] ? "TL8888GM-ED" : "", "", "", c.deviceHw);
    RevPackDb rp(nullptr);
    DiagCapture diag;
    int beeps = dialogs.beeps;
    ASSERT_TRUE(rp.selectRpFile(name.c_str()));
    EXPECT_EQ(c.ok, rp.setBootData(c.code));
    EXPECT_EQ(!c.ok, dialogs.beeps > beeps);
    if (c.ok) {
      EXPECT_STREQ(c.chosenHw, rp.setBtlHwVersion());
    }
    EXPECT_NE(std::string::npos, diag.log.find(c.status)) << diag.log;
    EXPECT_EQ(std::string::npos, diag.log.find("HW version: \n")) << diag.log;  // always names the hardware
  }
}

// Packs that do not hold what their entries say are refused, never read past.
TEST_F(RevPackTest, DamagedPacksAreRefusedWithAMessage) {
  handMadePack("TLbig[0000].rpa",
               [](Fl_Preferences& p) { binGroup(p, "BOOT_LOAD_H49.bin", "49", 2048, 2048); });
  handMadePack("TLsz[0000].rpa", [](Fl_Preferences& p) {
    binGroup(p, "BOOT_LOAD_H49.bin", "49", 1536, 10);
    binGroup(p, "app.bin", nullptr, 0x18000, 16);
  });
  std::string bad = "; a\n; b\n; c\n\n[.]\n\n[General]\n\nversion:3\n";
  writeFile("RevPacks/TLbad[0000].rpa", bad);
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  RevPackDb rp(nullptr);
  rp.selectRpFile("TLbig[0000].rpa");
  ASSERT_EQ(1u, dialogs.alerts.size());
  EXPECT_EQ("BOOT_LOAD_H49.bin too big", dialogs.alerts[0]);
  EXPECT_FALSE(rp.setBootData("49"));
  EXPECT_EQ(2u, dialogs.alerts.size());
  rp.selectRpFile("TLsz[0000].rpa");
  EXPECT_EQ(0, rp.bootSize());
  EXPECT_STREQ("", rp.setBinData("app.bin"));
  EXPECT_EQ(0, rp.binSize());
  EXPECT_FALSE(rp.binFileSelected());
  EXPECT_EQ(4u, dialogs.alerts.size());
  EXPECT_FALSE(rp.selectRpFile("TLbad[0000].rpa"));
  EXPECT_FALSE(rp.rpSelected());
  ASSERT_EQ(5u, dialogs.alerts.size());
  EXPECT_NE(std::string::npos, dialogs.alerts[4].find("[General]"));
  EXPECT_EQ(bad, readFile("RevPacks/TLbad[0000].rpa"));
  EXPECT_STREQ("", rp.setBinData("x.bin"));
  // The pack's name may come with or without its extension.
  ASSERT_TRUE(rp.selectRpFile("TLsz[0000]"));
  EXPECT_TRUE(rp.selectRpFile("TLsz[0000].RPA"));
  EXPECT_EQ(2, rp.actNrBinFiles());
  // The toolkit writes "./" and a group's name into 128 characters.
  EXPECT_TRUE(RevPackDb::safeGroupName(std::string(125, 'b').c_str()));
  std::string longName(126, 'b');
  rp.setEntry(longName.c_str(), "size", 4);
  EXPECT_FALSE(rp.grpExist(longName.c_str()));
  EXPECT_STREQ("", rp.setBinData(longName.c_str()));
  // A pack of the old format, without its version, names its list otherwise.
  handMadePack(
      "TLold[0000].rpa", [](Fl_Preferences& p) { Fl_Preferences(p, "BinFileList").set("a.bin", "a.bin"); }, false);
  rp.selectRpFile("TLold[0000].rpa");
  ASSERT_EQ(1, rp.actNrBinFiles());
  EXPECT_STREQ("a.bin", rp.actBinFile(0));
}

TEST_F(RevPackTest, IdentificationIsFoundInTheImageAndTheBootLoadersName) {
  for (auto c : {std::make_pair("BOOT_LOAD_B00.bin", "00"),
                 {"x_BOOT_LOAD_C48.bin", "00"},
                 {"BOOT_LOAD_H49.bin", "49"},
                 {"BOOT_LOAD_J51.BIN", "49"},
                 {"BOOT_LOAD", "00"}})
    EXPECT_STREQ(c.second, RevPackDb::getHwFmBootName(c.first)) << c.first;
  auto b = imageBytes(0x800, "H.49TL8888GM-ED", "TL-6.01", "SPEC01");
  std::string type, hw, version, special;
  RevPackDb::findTypeHw(b.data(), static_cast<int>(b.size()), type, hw);
  EXPECT_EQ("TL8888GM-ED", type);
  EXPECT_EQ("H.49", hw);
  EXPECT_TRUE(RevPackDb::findVersion(b.data(), static_cast<int>(b.size()), version, special));
  EXPECT_EQ("TL-6.01", version);
  EXPECT_EQ("SPEC01", special);
  // "TL" needs four digits after it and a "." three places before.
  std::string noType = "H.49TLx888GM-ED H-49TL8888GM-ED";
  RevPackDb::findTypeHw(reinterpret_cast<const uint8_t*>(noType.data()), static_cast<int>(noType.size()),
                        type, hw);
  EXPECT_EQ("", type);
  // Cut off at the end of the data: no reading past it.
  std::string cut = "VERSION: TL-6";
  EXPECT_TRUE(RevPackDb::findVersion(reinterpret_cast<const uint8_t*>(cut.data()),
                                     static_cast<int>(cut.size()), version, special));
  EXPECT_EQ("TL-6", version);
  EXPECT_EQ("", special);
}
