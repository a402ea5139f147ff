#include <FL/Fl_Preferences.H>

#include <functional>
#include <regex>

#include "RevPackFixtures.h"

TEST_F(RevPackTest, CreatedPackIsNamedFromVersionAndSpecialWithItsOwnChecksum) {
  addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED");
  addBoot("BOOT_LOAD_H49.bin", 0x49);
  std::string pack = build();
  ASSERT_FALSE(pack.empty());
  std::smatch m;
  ASSERT_TRUE(std::regex_match(pack, m, std::regex(R"(TL-6\.01_SPEC01\[([0-9a-f]{4})\]\.rpa)"))) << pack;
  int inName = std::stoi(m[1].str(), nullptr, 16);
  EXPECT_EQ(independentChecksum(readFile("RevPacks/" + pack)), inName);
  EXPECT_TRUE(db->checkCheckSum(pack.c_str(), false));
  EXPECT_TRUE(dialogs.alerts.empty());
  // Nothing of the work is left behind under a pack's name or in the way.
  EXPECT_FALSE(fileExists("temp.rpa"));
  EXPECT_FALSE(fileExists("SwHwRestrictions.rst"));
  EXPECT_TRUE(fileExists("RevPacks/SwHwRestrictions.rst"));
  for (auto& e : fs::directory_iterator("."))
    EXPECT_EQ(std::string::npos, e.path().filename().string().find(".kestrum-prefs")) << e.path();
}

TEST_F(RevPackTest, OneChangedByteFailsTheChecksumWithTheAlert) {
  addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED");
  std::string pack = build();
  ASSERT_FALSE(pack.empty());
  std::string content = readFile("RevPacks/" + pack);
  size_t at = content.find("data:") + 7;
  content[at] = content[at] == '0' ? '1' : '0';
  writeFile("RevPacks/" + pack, content);
  EXPECT_FALSE(db->checkCheckSum(pack.c_str(), false));
  ASSERT_EQ(1u, dialogs.alerts.size());
  char expected[256];
  snprintf(expected, sizeof expected, "Invalid Checksum (calc=%x) in %s. Upgrade NOT possible",
           independentChecksum(content), pack.c_str());
  EXPECT_EQ(expected, dialogs.alerts[0]);
}

TEST_F(RevPackTest, FileWithoutMarkerNeverPassesTheChecksum) {
  fs::create_directory("RevPacks");
  // Sums to zero, and "0000" is zero: only the missing marker can refuse it.
  writeFile("RevPacks/TLx[0000].rpa", "");
  writeFile("RevPacks/TLy[0000].rpa", std::string("\x01\xff", 2));
  RevPackDb rp(nullptr);
  EXPECT_FALSE(rp.checkCheckSum("TLx[0000].rpa", false));
  EXPECT_FALSE(rp.checkCheckSum("TLy[0000].rpa", false));
  EXPECT_EQ(2u, dialogs.alerts.size());
}

TEST_F(RevPackTest, NameWithoutChecksumNeverPasses) {
  fs::create_directory("RevPacks");
  writeFile("RevPacks/TLz.rpa", "; a\n; b\n; c\n\n[.]\n");
  RevPackDb rp(nullptr);
  EXPECT_FALSE(rp.checkCheckSum("TLz.rpa", false));
  // A missing file sums to nothing and fails too.
  EXPECT_FALSE(rp.checkCheckSum("TLq[0000].rpa", false));
}

TEST_F(RevPackTest, PackReadsBackWithPlainPreferencesAfterRenaming) {
  auto bin = addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED");
  auto boot = addBoot("BOOT_LOAD_H49.bin", 0x49);
  writeFile("bins/TL8888GM-ED_app.kvn", "entry|1\r\n");
  std::string pack = build();
  ASSERT_FALSE(pack.empty());
  fs::create_directory("plain");
  fs::copy_file("RevPacks/" + pack, "plain/copy.prefs");
  Fl_Preferences prefs("plain", "RevPacks", "copy");
  Fl_Preferences gen(prefs, "General");
  int version = 0;
  gen.get("version", version, 0);
  EXPECT_EQ(3, version);
  Fl_Preferences bins(prefs, "BinFileList_2");
  // In name order: the boot loader first.
  ASSERT_EQ(2, bins.entries());
  EXPECT_STREQ("BOOT_LOAD_H49.bin", bins.entry(0));
  EXPECT_STREQ("Meter G_app.bin", bins.entry(1));
  Fl_Preferences types(prefs, "TolvanTypeList_2");
  EXPECT_TRUE(types.entryExists("TL8888GM-ED"));
  Fl_Preferences restr(prefs, "HwSwRestrictionList");
  EXPECT_EQ(7, restr.entries());
  char row[80];
  restr.get("6", row, "", sizeof row);
  EXPECT_STREQ("6.**;H.**", row);

  Fl_Preferences app(prefs, "Meter G_app.bin");
  int size = 0;
  app.get("size", size, 0);
  EXPECT_EQ(static_cast<int>(bin.size()) - 0x100, size);
  std::vector<uint8_t> data(size);
  app.get("data", data.data(), nullptr, 0, size);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), bin.begin() + 0x100));
  char text[80];
  app.get("type", text, "", sizeof text);
  EXPECT_STREQ("TL8888GM-ED", text);
  app.get("hardware", text, "", sizeof text);
  EXPECT_STREQ("H.49", text);
  app.get("version", text, "", sizeof text);
  EXPECT_STREQ("TL-6.01", text);
  app.get("special", text, "", sizeof text);
  EXPECT_STREQ("SPEC01", text);
  app.get("kvnfile", text, "", sizeof text);
  EXPECT_STREQ("TL8888GM-ED_app.kvn", text);

  Fl_Preferences bl(prefs, "BOOT_LOAD_H49.bin");
  bl.get("size", size, 0);
  EXPECT_EQ(1536, size);
  bl.get("hardware", text, "", sizeof text);
  EXPECT_STREQ("49", text);
  std::vector<uint8_t> bootData(1536);
  bl.get("data", bootData.data(), nullptr, 0, 1536);
  EXPECT_TRUE(std::equal(bootData.begin(), bootData.end(), boot.begin()));
}

TEST_F(RevPackTest, ApplicationDataStartsAt0x3000ForProcessor48And0x100For49) {
  auto b48 = addBin("TL8888GM-ED_48.bin", "H.48", "TL8888GM-ED", "TL-6.01", "SPEC01", 0x6000);
  auto b49 = addBin("TL8888GM-ED_49.bin", "H.49", "TL8888GM-ED", "TL-6.01", "SPEC01", 0x6000);
  std::string pack = build();
  ASSERT_FALSE(pack.empty());
  ASSERT_TRUE(db->selectRpFile(pack.c_str()));
  db->setBinData("Meter G_48.bin");
  ASSERT_EQ(0x6000 - 0x3000, db->binSize());
  EXPECT_EQ(0, memcmp(db->binData(), b48.data() + 0x3000, db->binSize()));
  db->setBinData("Meter G_49.bin");
  ASSERT_EQ(0x6000 - 0x100, db->binSize());
  EXPECT_EQ(0, memcmp(db->binData(), b49.data() + 0x100, db->binSize()));
}

TEST_F(RevPackTest, BinWithoutCustomerTypeIsLeftOutOfThePack) {
  addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED");
  addBin("TL9999GM-ED_app.bin", "H.49", "TL9999GM-ED");
  std::string pack = build();
  ASSERT_TRUE(db->selectRpFile(pack.c_str()));
  ASSERT_EQ(1, db->actNrBinFiles());
  EXPECT_STREQ("Meter G_app.bin", db->actBinFile(0));
}

TEST_F(RevPackTest, OversizedBinIsLeftOutWithATraceLine) {
  DiagCapture diag;
  addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED");
  addBin("TL8888GM-ED_big.bin", "H.49", "TL8888GM-ED", "TL-6.01", "SPEC01", 0x100 + 0x19000);
  std::string pack = build();
  ASSERT_TRUE(db->selectRpFile(pack.c_str()));
  ASSERT_EQ(1, db->actNrBinFiles());
  EXPECT_NE(std::string::npos, diag.log.find("Error Binfile too big"));
}

TEST_F(RevPackTest, MissingBinDirectoryIsReportedAndMakesNoPack) {
  DiagCapture diag;
  RevPackDb rp(nullptr);
  EXPECT_FALSE(rp.createDb("no-such-dir"));
  EXPECT_NE(std::string::npos, diag.log.find(" does NOT Exist!"));
  EXPECT_TRUE(packsInDir().empty());
}

TEST_F(RevPackTest, FileNamesWithSpacesQuotesAndSemicolonsAreSafe) {
  std::string odd = "TL8888GM-ED a 'b' \"c\"; $(touch pwned) `touch pwned2`.bin";
  auto b = addBin(odd, "H.49", "TL8888GM-ED");
  // Names the pack format cannot hold are left out, never misread.
  addBin("TL8888GM-ED x:y.bin", "H.49", "TL8888GM-ED");
  addBin("TL8888GM-ED x]y.bin", "H.49", "TL8888GM-ED");
  addBin("TL8888GM-ED\nnl.bin", "H.49", "TL8888GM-ED");
  std::string pack = build();
  ASSERT_FALSE(pack.empty());
  EXPECT_FALSE(fileExists("pwned"));
  EXPECT_FALSE(fileExists("bins/pwned"));
  EXPECT_FALSE(fileExists("pwned2"));
  ASSERT_TRUE(db->selectRpFile(pack.c_str()));
  ASSERT_EQ(1, db->actNrBinFiles());
  std::string group = "Meter G a 'b' \"c\"; $(touch pwned) `touch pwned2`.bin";
  EXPECT_EQ(group, db->actBinFile(0));
  db->setBinData(group.c_str());
  ASSERT_EQ(static_cast<int>(b.size()) - 0x100, db->binSize());
  EXPECT_EQ(0, memcmp(db->binData(), b.data() + 0x100, db->binSize()));
}

TEST_F(RevPackTest, UserRestrictionsReplaceTheDefaultsWithoutTheirComments) {
  addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED");
  fs::create_directory("RevPacks");
  writeFile("RevPacks/SwHwRestrictions.txt",
            std::string(kRestrictionHeader) + "1:6.**;H.**\n; not a row\n2:TL----G----;TL----I----\n");
  std::string pack = build();
  ASSERT_TRUE(db->selectRpFile(pack.c_str()));
  EXPECT_EQ(2, db->nrEntries(RevPackDb::HWSWLIST));
  EXPECT_EQ("TL----G----;TL----I----", db->getEntry(RevPackDb::HWSWLIST, "2"));
  // The user's file is left as it was.
  EXPECT_NE(std::string::npos, readFile("RevPacks/SwHwRestrictions.txt").find("; not a row"));
}

TEST_F(RevPackTest, MalformedRestrictionFileStopsTheCreationWithAMessage) {
  addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED");
  fs::create_directory("RevPacks");
  writeFile("RevPacks/SwHwRestrictions.txt", "; a\n; b\n; c\n[rows]\n1:6.**;H.**\n");
  EXPECT_TRUE(build().empty());
  ASSERT_EQ(1u, dialogs.alerts.size());
  EXPECT_NE(std::string::npos, dialogs.alerts[0].find("SwHwRestrictions.txt"));
}

TEST_F(RevPackTest, CreationThatCannotWriteItAllLeavesNoPack) {
  addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED", "TL-6.01", "SPEC01", 0x18000);
  fs::create_directory("RevPacks");
  int rc = runWithFileSizeLimit(20000, [] {
    RevPackDb rp(nullptr);
    return rp.createDb("bins") ? 1 : 0;
  });
  EXPECT_EQ(0, rc);
  EXPECT_TRUE(packsInDir().empty());
  EXPECT_FALSE(fileExists("temp.rpa"));
}

TEST_F(RevPackTest, CommandLineCreationNeedsNoDisplay) {
  addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED");
  UserDialog::script(nullptr);
  int rc = runWithFileSizeLimit(RLIM_INFINITY, [] {
    unsetenv("DISPLAY");
    RevPackDb::CMDL_CREATE_REVPACK = true;
    RevPackDb rp(nullptr);
    return rp.createDb("bins") ? 0 : 1;
  });
  UserDialog::script(&dialogs);
  EXPECT_EQ(0, rc);
  EXPECT_EQ(1u, packsInDir().size());
}

TEST_F(RevPackTest, PackNamedOnlyRpaIsDeletedByTheListing) {
  fs::create_directory("RevPacks");
  writeFile("RevPacks/.rpa", "x");
  writeFile("RevPacks/TLa[0000].rpa", "x");
  writeFile("RevPacks/notes.txt", "x");
  fs::create_directory("RevPacks/dir.rpa");
  RevPackDb rp(nullptr);
  EXPECT_FALSE(fileExists("RevPacks/.rpa"));
  ASSERT_EQ(1, rp.nrRpaFiles());
  EXPECT_STREQ("TLa[0000].rpa", rp.rpaFile(0));
  EXPECT_TRUE(rp.exist());
}

TEST_F(RevPackTest, SumFromTheMarkerOnCountsBytesAsSigned) {
  fs::create_directory("RevPacks");
  // "[.]" adds 0xe6; 0xc5 is -59 as a signed byte: 0xab in all. What comes
  // before the marker does not count.
  writeFile("RevPacks/TLs[00ab].rpa", std::string("head\n[.]\xc5", 9));
  RevPackDb rp(nullptr);
  EXPECT_EQ(0xab, rp.readCheckSum("RevPacks/TLs[00ab].rpa"));
  EXPECT_TRUE(rp.checkCheckSum("TLs[00ab].rpa", false));
  EXPECT_TRUE(rp.checkCheckSum("RevPacks/TLs[00ab].rpa", true));
  EXPECT_TRUE(dialogs.alerts.empty());
}

// What the user is told after building: the pack, the files left out and
// why, or why there is no pack.
TEST_F(RevPackTest, CreationReportNamesThePackAndWhatWasLeftOut) {
  struct Case {
    std::function<void()> fill;
    std::vector<std::string> want;
    bool made;
  } cases[] = {
      {[this] {
         addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED");
         addBin("TL9999GM-ED_x.bin", "H.49", "TL9999GM-ED");
         writeFile("bins/notes.txt", "x");
         writeFile("bins/TL8888GM-ED_app.kvn", "a|1\n");
       },
       {"RevPack gemaakt: TL-6.01_SPEC01[", "Niet opgenomen: TL9999GM-ED_x.bin (geen klantnaam voor het type)",
        "Niet opgenomen: notes.txt (geen bin bestand)"},
       true},
      {[] { writeFile("bins/readme.txt", "x"); },
       {"Geen RevPack gemaakt: Geen bin bestanden in ", "Niet opgenomen: readme.txt (geen bin bestand)"},
       false},
  };
  for (Case& c : cases) {
    for (auto& e : fs::directory_iterator("bins")) fs::remove(e.path());
    c.fill();
    EXPECT_EQ(c.made, !build().empty());
    const std::string& report = db->createReport();
    for (const std::string& w : c.want) EXPECT_NE(std::string::npos, report.find(w)) << report;
    // A settings file beside its bin is part of the pack.
    EXPECT_EQ(std::string::npos, report.find(".kvn")) << report;
    for (const std::string& old : packsInDir()) fs::remove("RevPacks/" + old);
  }
  db.reset(new RevPackDb(nullptr));
  db->createDb("no-such-dir");
  EXPECT_EQ(0u, db->createReport().find("Geen RevPack gemaakt: Map ")) << db->createReport();
}

// The file "Edit restrictions" starts from holds the built-in rows: a pack
// built from it carries the same restrictions as one built without it.
TEST_F(RevPackTest, DefaultRestrictionFileGivesTheBuiltInRows) {
  addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED");
  std::string pack = build();
  ASSERT_TRUE(db->selectRpFile(pack.c_str()));
  std::vector<std::string> builtIn;
  for (int i = 0; i < db->nrEntries(RevPackDb::HWSWLIST); ++i)
    builtIn.push_back(db->getEntry(RevPackDb::HWSWLIST, std::to_string(i + 1).c_str()));
  ASSERT_EQ(7u, builtIn.size());
  fs::remove("RevPacks/" + pack);
  fs::remove("RevPacks/SwHwRestrictions.rst");

  ASSERT_TRUE(RevPackDb::writeDefaultRestrictions("RevPacks/SwHwRestrictions.txt"));
  std::string text = readFile("RevPacks/SwHwRestrictions.txt");
  EXPECT_NE(std::string::npos, text.find("; Version rows")) << text;
  pack = build();
  ASSERT_TRUE(db->selectRpFile(pack.c_str()));
  ASSERT_EQ(7, db->nrEntries(RevPackDb::HWSWLIST));
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(builtIn[i], db->getEntry(RevPackDb::HWSWLIST, std::to_string(i + 1).c_str()));
  EXPECT_TRUE(dialogs.alerts.empty());
}
