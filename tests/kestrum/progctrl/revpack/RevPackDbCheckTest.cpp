#include <FL/Fl_Preferences.H>

#include <functional>

#include "RevPackFixtures.h"
#include "TlctrlRoot.h"

namespace {
// A pack written by the toolkit itself, for contents createDb never makes.
void handMadePack(const std::string& name, const std::function<void(Fl_Preferences&)>& fill) {
  fs::create_directories("RevPacks");
  fs::create_directories("hand");
  {
    Fl_Preferences prefs("hand", "RevPacks", "pack");
    Fl_Preferences gen(prefs, "General");
    gen.set("version", 3);
    fill(prefs);
  }
  fs::rename("hand/pack.prefs", "RevPacks/" + name);
}

void bootGroup(Fl_Preferences& prefs, const char* name, const char* hw, int size, int stored) {
  Fl_Preferences list(prefs, "BinFileList_2");
  list.set(name, name);
  Fl_Preferences g(prefs, name);
  g.set("size", size);
  g.set("hardware", hw);
  std::vector<uint8_t> data(stored, 0x5A);
  g.set("data", data.data(), stored);
}
}  // namespace

// A pack with a G and an I bin, both boot loaders and a settings file.
class RevPackCheckTest : public RevPackTest {
protected:
  void SetUp() override {
    RevPackTest::SetUp();
    addBin("TL8888GM-ED_g.bin", "H.49", "TL8888GM-ED");
    addBin("TL8888IM-ED_i.bin", "H.49", "TL8888IM-ED");
    addBin("TL8888GM-ED_old.bin", "G.49", "TL8888GM-ED");
    addBin("TL8888GM-ED_48.bin", "H.48", "TL8888GM-ED");
    boot00 = addBoot("BOOT_LOAD_B00.bin", 0x00);
    boot49 = addBoot("BOOT_LOAD_H49.bin", 0x49);
    writeFile("bins/TL8888IM-ED_i.kvn", "line 1|5\r\r\nline 2|6\r\r\n");
  }
  void restrictions(const std::string& rows) {
    fs::create_directory("RevPacks");
    writeFile("RevPacks/SwHwRestrictions.txt", std::string(kRestrictionHeader) + rows);
  }
  void select() {
    for (const std::string& old : packsInDir()) fs::remove("RevPacks/" + old);
    pack = build();
    ASSERT_FALSE(pack.empty());
    ASSERT_TRUE(db->selectRpFile(pack.c_str()));
  }
  std::string pack;
  std::vector<uint8_t> boot00, boot49;
};

TEST_F(RevPackCheckTest, OtherTypeIsRefusedWithoutATypeRow) {
  select();
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  EXPECT_TRUE(db->binFileAllowed("Meter G_g.bin"));
  EXPECT_FALSE(db->binFileAllowed("Meter I_i.bin"));
  EXPECT_FALSE(db->checkTypeSwHwVers("Meter I_i.bin"));
  ASSERT_EQ(1u, dialogs.alerts.size());
  EXPECT_EQ(" Error!!, incompatible tolvan types actual:Meter G, in bin file:Meter I", dialogs.alerts[0]);
}

TEST_F(RevPackCheckTest, TypeRowAllowsOtherNetworkAndProgramsThePackSettingsFirst) {
  restrictions("1:6.**;H.**\n2:TL----G----;TL----I----\n");
  select();
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  EXPECT_TRUE(db->binFileAllowed("Meter I_i.bin"));
  EXPECT_TRUE(db->autoProgKvnFile());
  EXPECT_TRUE(db->checkTypeSwHwVers("Meter I_i.bin"));
  EXPECT_STREQ("kvn_pre_update.kvn", db->setBinData("Meter I_i.bin"));
  EXPECT_STREQ("kvn_pre_update.kvn", RevPackDb::activeKvnFile());
  // One of two CRs in a row is dropped.
  EXPECT_EQ("line 1|5\r\nline 2|6\r\n", readFile("kvn_pre_update.kvn"));
  // The other way round the row does not fit.
  RevPackDb::setActHwSwVers("TL8888IM-ED", "TL-6.00", "", "H.49");
  EXPECT_FALSE(db->binFileAllowed("Meter G_g.bin"));
}

TEST_F(RevPackCheckTest, SameNetworkProgramsNoSettingsFile) {
  restrictions("1:6.**;H.**\n2:TL---------;TL---------\n");
  select();
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  EXPECT_TRUE(db->binFileAllowed("Meter G_g.bin"));
  EXPECT_FALSE(db->autoProgKvnFile());
  EXPECT_STREQ("", db->setBinData("Meter G_g.bin"));
}

TEST_F(RevPackCheckTest, LowerHardwareLetterOrOtherProcessorIsIncompatible) {
  select();
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  EXPECT_FALSE(db->checkTypeSwHwVers("Meter G_old.bin"));
  EXPECT_FALSE(db->checkTypeSwHwVers("Meter G_48.bin"));
  ASSERT_EQ(2u, dialogs.alerts.size());
  EXPECT_EQ("Error !!, incompatible hardware versions, binFile:G.49 tolvan:H.49", dialogs.alerts[0]);
  EXPECT_EQ("Error !!, incompatible hardware versions, binFile:H.48 tolvan:H.49", dialogs.alerts[1]);
  EXPECT_TRUE(db->checkTypeSwHwVers("Meter G_g.bin"));
  EXPECT_EQ(2u, dialogs.alerts.size());
}

TEST_F(RevPackCheckTest, UnknownDeviceHardwareIsNotDetected) {
  select();
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "");
  EXPECT_FALSE(db->checkTypeSwHwVers("Meter G_g.bin"));
  ASSERT_EQ(1u, dialogs.alerts.size());
  EXPECT_EQ("Error !!, hardware versions not detected, binFile:H.49 tolvan:", dialogs.alerts[0]);
}

TEST_F(RevPackCheckTest, VersionRowsAndSpecialDecide) {
  restrictions("1:5.**;H.**\n2:TL---------;TL---------\n3:6.**;H.**\n");
  select();
  // Rows after the first type row are not version rows.
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  EXPECT_FALSE(db->checkTypeSwHwVers("Meter G_g.bin"));
  ASSERT_EQ(1u, dialogs.alerts.size());
  EXPECT_EQ("Error !!, not able to upgrade due restrictions or incompatibility.", dialogs.alerts[0]);
}

TEST_F(RevPackCheckTest, DeviceSpecialMustMatchTheBinSpecial) {
  select();
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "SPEC99", "H.49");
  EXPECT_TRUE(db->checkTypeSwHwVers("Meter G_g.bin"));
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "OTHER", "H.49");
  EXPECT_FALSE(db->checkTypeSwHwVers("Meter G_g.bin"));
}

TEST_F(RevPackCheckTest, HardwareCheckOffAllowsAnyType) {
  select();
  RevPackDb::CHECK_HARDWARE = false;
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "B.48");
  EXPECT_TRUE(db->checkTypeSwHwVers("Meter I_i.bin"));
  EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(RevPackCheckTest, BootLoaderIsChosenByProcessorVersion) {
  select();
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  ASSERT_TRUE(db->setBootData(nullptr));
  EXPECT_EQ(1536, db->bootSize());
  EXPECT_EQ(0, memcmp(db->bootData(), boot49.data(), 1536));
  EXPECT_STREQ("49", db->setBtlHwVersion());
  EXPECT_TRUE(db->checkBtlHwVersion());

  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-4.00", "", "B.48");
  EXPECT_FALSE(db->checkBtlHwVersion());
  ASSERT_TRUE(db->setBootData(nullptr));
  EXPECT_EQ(0, memcmp(db->bootData(), boot00.data(), 1536));
  EXPECT_STREQ("00", db->setBtlHwVersion());
  EXPECT_TRUE(db->checkBtlHwVersion());
  // An explicit code wins over the device's.
  ASSERT_TRUE(db->setBootData("49"));
  EXPECT_STREQ("49", db->setBtlHwVersion());
}

TEST_F(RevPackCheckTest, SelectingAPackReportsItsBootLoaderInTheStatusLine) {
  DiagCapture diag;
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  select();
  EXPECT_NE(std::string::npos,
            diag.log.find("Status Info: Correct Revpack:" + pack + ". With 2nd boot for HW version: H.49"));
}

TEST_F(RevPackCheckTest, AllowedHardwareFollowsTheVersionRows) {
  select();
  EXPECT_EQ(" H.**", db->allowedHwList("Meter G_g.bin"));
  restrictions("1:6.**;H.**\n2:6.01;G.49\n3:6.**;H.**\n4:5.**;F.**\n");
  select();
  EXPECT_EQ(" H.** G.49", db->allowedHwList("Meter G_g.bin"));
}

TEST_F(RevPackCheckTest, LastPackAndBinAreKeptByTheControllerRoot) {
  pack = build();
  TlctrlRoot root;
  RevPackDb rp(&root);
  ASSERT_TRUE(rp.selectRpFile(pack.c_str()));
  EXPECT_EQ(pack, root.lastRevpackFile());
  rp.setBinData("Meter G_g.bin");
  EXPECT_STREQ("Meter G_g.bin", root.lastBinFile());
}

TEST_F(RevPackCheckTest, ReadingAPackNeverRewritesIt) {
  pack = build();
  std::string before = readFile("RevPacks/" + pack);
  auto stamp = fs::last_write_time("RevPacks/" + pack);
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  ASSERT_TRUE(db->selectRpFile(pack.c_str()));
  db->setBinData("Meter I_i.bin");
  db->checkTypeSwHwVers("Meter G_g.bin");
  db->setEntry("General", "extra", 1);
  db.reset();
  EXPECT_EQ(before, readFile("RevPacks/" + pack));
  EXPECT_EQ(stamp, fs::last_write_time("RevPacks/" + pack));
}

TEST_F(RevPackTest, PackWithoutBootLoaderSaysSoInTheStatusLine) {
  DiagCapture diag;
  handMadePack("TLnob[0000].rpa", [](Fl_Preferences&) {});
  RevPackDb rp(nullptr);
  ASSERT_TRUE(rp.selectRpFile("TLnob[0000].rpa"));
  EXPECT_EQ(1, dialogs.beeps);
  EXPECT_NE(std::string::npos,
            diag.log.find("Status Info: Error!! No 2nd stage boot loader in Revpack TLnob[0000].rpa."));
}

TEST_F(RevPackTest, MissingBootLoaderForTheHardwareIsReported) {
  DiagCapture diag;
  handMadePack("TLb[0000].rpa", [](Fl_Preferences& p) { bootGroup(p, "BOOT_LOAD_B00.bin", "00", 1536, 1536); });
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  RevPackDb rp(nullptr);
  rp.selectRpFile("TLb[0000].rpa");
  EXPECT_FALSE(rp.setBootData(nullptr));
  EXPECT_NE(std::string::npos,
            diag.log.find("Status Info: Invalid Revpack:TLb[0000].rpa. No 2nd boot for HW version: H.49"));
}

TEST_F(RevPackTest, BootLoaderOf2048BytesIsRefused) {
  handMadePack("TLbig[0000].rpa",
               [](Fl_Preferences& p) { bootGroup(p, "BOOT_LOAD_H49.bin", "49", 2048, 2048); });
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  RevPackDb rp(nullptr);
  rp.selectRpFile("TLbig[0000].rpa");
  ASSERT_EQ(1u, dialogs.alerts.size());
  EXPECT_EQ("BOOT_LOAD_H49.bin too big", dialogs.alerts[0]);
  EXPECT_FALSE(rp.setBootData("49"));
}

TEST_F(RevPackTest, SizeThatDoesNotMatchTheDataIsRefused) {
  handMadePack("TLsz[0000].rpa", [](Fl_Preferences& p) {
    bootGroup(p, "BOOT_LOAD_H49.bin", "49", 1536, 10);
    Fl_Preferences list(p, "BinFileList_2");
    list.set("app.bin", "app.bin");
    Fl_Preferences g(p, "app.bin");
    g.set("size", 0x18000);
    uint8_t few[16] = {1, 2, 3};
    g.set("data", few, sizeof few);
  });
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "", "H.49");
  RevPackDb rp(nullptr);
  rp.selectRpFile("TLsz[0000].rpa");
  EXPECT_EQ(0, rp.bootSize());
  EXPECT_STREQ("", rp.setBinData("app.bin"));
  EXPECT_EQ(0, rp.binSize());
  EXPECT_FALSE(rp.binFileSelected());
  EXPECT_EQ(2u, dialogs.alerts.size());
}

TEST_F(RevPackTest, MalformedPackIsRefusedWithAMessage) {
  fs::create_directory("RevPacks");
  std::string bad = "; a\n; b\n; c\n\n[.]\n\n[General]\n\nversion:3\n";
  writeFile("RevPacks/TLbad[0000].rpa", bad);
  RevPackDb rp(nullptr);
  EXPECT_FALSE(rp.selectRpFile("TLbad[0000].rpa"));
  EXPECT_FALSE(rp.rpSelected());
  ASSERT_EQ(1u, dialogs.alerts.size());
  EXPECT_NE(std::string::npos, dialogs.alerts[0].find("[General]"));
  EXPECT_EQ(bad, readFile("RevPacks/TLbad[0000].rpa"));
  EXPECT_STREQ("", rp.setBinData("x.bin"));
}

TEST_F(RevPackTest, GroupNamesMustFitTheToolkitsPathBuffer) {
  // The toolkit writes "./" and the name into 128 characters.
  EXPECT_TRUE(RevPackDb::safeGroupName(std::string(125, 'b').c_str()));
  EXPECT_FALSE(RevPackDb::safeGroupName(std::string(126, 'b').c_str()));
  handMadePack("TLg[0000].rpa", [](Fl_Preferences& p) { bootGroup(p, "BOOT_LOAD_H49.bin", "49", 1536, 1536); });
  RevPackDb rp(nullptr);
  ASSERT_TRUE(rp.selectRpFile("TLg[0000].rpa"));
  std::string longName(126, 'b');
  rp.setEntry(longName.c_str(), "size", 4);
  EXPECT_FALSE(rp.grpExist(longName.c_str()));
  EXPECT_STREQ("", rp.setBinData(longName.c_str()));
  EXPECT_FALSE(rp.binFileSelected());
}

TEST_F(RevPackTest, PackNameMayComeWithOrWithoutExtension) {
  handMadePack("TLn[0000].rpa", [](Fl_Preferences& p) { bootGroup(p, "BOOT_LOAD_H49.bin", "49", 1536, 1536); });
  RevPackDb rp(nullptr);
  EXPECT_TRUE(rp.selectRpFile("TLn[0000]"));
  EXPECT_EQ(1, rp.actNrBinFiles());
  EXPECT_TRUE(rp.selectRpFile("TLn[0000].rpa"));
  EXPECT_TRUE(rp.selectRpFile("TLn[0000].RPA"));
}

TEST_F(RevPackTest, OldPackListNamesAreRead) {
  fs::create_directories("RevPacks");
  fs::create_directories("hand");
  {
    Fl_Preferences prefs("hand", "RevPacks", "pack");
    Fl_Preferences list(prefs, "BinFileList");
    list.set("a.bin", "a.bin");
  }
  fs::rename("hand/pack.prefs", "RevPacks/TLold[0000].rpa");
  RevPackDb rp(nullptr);
  rp.selectRpFile("TLold[0000].rpa");
  EXPECT_STREQ("BinFileList", rp.binList());
  ASSERT_EQ(1, rp.actNrBinFiles());
  EXPECT_STREQ("a.bin", rp.actBinFile(0));
}

TEST_F(RevPackTest, BootLoaderHardwareComesFromItsName) {
  EXPECT_STREQ("00", RevPackDb::getHwFmBootName("BOOT_LOAD_B00.bin"));
  EXPECT_STREQ("00", RevPackDb::getHwFmBootName("x_BOOT_LOAD_C48.bin"));
  EXPECT_STREQ("49", RevPackDb::getHwFmBootName("BOOT_LOAD_H49.bin"));
  EXPECT_STREQ("49", RevPackDb::getHwFmBootName("BOOT_LOAD_J51.BIN"));
  EXPECT_STREQ("00", RevPackDb::getHwFmBootName("BOOT_LOAD"));
}

TEST_F(RevPackTest, IdentificationIsFoundInTheImage) {
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
  RevPackDb::findTypeHw(reinterpret_cast<const uint8_t*>(noType.data()), static_cast<int>(noType.size()), type,
                        hw);
  EXPECT_EQ("", type);
  // Cut off at the end of the data: no reading past it.
  std::string cut = "VERSION: TL-6";
  EXPECT_TRUE(RevPackDb::findVersion(reinterpret_cast<const uint8_t*>(cut.data()), static_cast<int>(cut.size()),
                                     version, special));
  EXPECT_EQ("TL-6", version);
  EXPECT_EQ("", special);
}

TEST_F(RevPackTest, PrintDataListsPacksAndTheConnectedDevice) {
  DiagCapture diag;
  handMadePack("TLp[0000].rpa", [](Fl_Preferences&) {});
  RevPackDb::setActHwSwVers("TL8888GM-ED", "TL-6.00", "SP", "H.49");
  RevPackDb rp(nullptr);
  rp.printData();
  EXPECT_NE(std::string::npos, diag.log.find("rpa0: TLp[0000].rpa"));
  EXPECT_NE(std::string::npos, diag.log.find("\n --- connected tolvan ---"));
  EXPECT_NE(std::string::npos, diag.log.find("type: TL8888GM-ED:"));
  EXPECT_NE(std::string::npos, diag.log.find("hw  : H.49:"));
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
      {{{"BOOT_LOAD_H49.bin", "49"}}, "H.49", nullptr, true, "49", "With 2nd boot for HW version: H.49"},
      {{{"BOOT_LOAD_H49.bin", "49"}}, "B.48", nullptr, false, "", "No 2nd boot for HW version: B.48"},
      // The boot information asked for a loader the pack does not have.
      {{{"BOOT_LOAD_H49.bin", "49"}}, "", "02", false, "", "No 2nd boot for HW version: 02"},
      {{{"BOOT_LOAD_B00.bin", "00"}, {"BOOT_LOAD_H49.bin", "49"}}, "", "49", true, "49", "HW version: 49"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    std::string name = "TLc" + std::to_string(n++) + "[0000].rpa";
    handMadePack(name, [&](Fl_Preferences& p) {
      for (const auto& b : c.boots) bootGroup(p, b.first, b.second, 1536, 1536);
    });
    RevPackDb::setActHwSwVers(c.deviceHw[0] ? "TL8888GM-ED" : "", "", "", c.deviceHw);
    RevPackDb rp(nullptr);
    ASSERT_TRUE(rp.selectRpFile(name.c_str()));
    DiagCapture diag;
    EXPECT_EQ(c.ok, rp.setBootData(c.code));
    if (c.ok) {
      EXPECT_STREQ(c.chosenHw, rp.setBtlHwVersion());
    }
    EXPECT_NE(std::string::npos, diag.log.find(c.status)) << diag.log;
    // The status always names the hardware.
    EXPECT_EQ(std::string::npos, diag.log.find("HW version: \n")) << diag.log;
  }
}
