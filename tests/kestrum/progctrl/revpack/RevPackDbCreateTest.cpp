#include <regex>

#include "RevPackFixtures.h"

// The pack is named from version and special with its own checksum, and
// plain preferences read it once it has the toolkit's extension: application
// data from 0x100 on for processor 49, from 0x3000 on for 48.
TEST_F(RevPackTest, CreatedPackIsNamedWithItsChecksumAndReadsBackWithPlainPreferences) {
  auto bin = addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED");
  auto b48 = addBin("TL8888GM-ED_48.bin", "H.48", "TL8888GM-ED", "TL-6.01", 0x6000);
  auto boot = addBoot("BOOT_LOAD_H49.bin", 0x49);
  writeFile("bins/TL8888GM-ED_app.kvn", "entry|1\r\n");
  // Too big for the device: left out with a trace line.
  DiagCapture diag;
  addBin("TL8888GM-ED_big.bin", "H.49", "TL8888GM-ED", "TL-6.01", 0x100 + 0x19000);
  std::string pack = build();
  EXPECT_NE(std::string::npos, diag.log.find("Error Binfile too big"));
  // The sum itself is the checksum case's; here the name carries it.
  ASSERT_TRUE(std::regex_match(pack, std::regex(R"(TL-6\.01_SPEC01\[[0-9a-f]{4}\]\.rpa)"))) << pack;
  std::string content = readFile("RevPacks/" + pack);
  EXPECT_TRUE(db->checkCheckSum(pack.c_str(), false));
  EXPECT_TRUE(dialogs.alerts.empty());
  // Nothing of the work is left behind under a pack's name or in the way.
  EXPECT_FALSE(fileExists("temp.rpa"));
  EXPECT_FALSE(fileExists("SwHwRestrictions.rst"));
  EXPECT_TRUE(fileExists("RevPacks/SwHwRestrictions.rst"));
  for (auto& e : fs::directory_iterator("."))
    EXPECT_EQ(std::string::npos, e.path().filename().string().find(".kestrum-prefs")) << e.path();

  fs::create_directory("plain");
  fs::copy_file("RevPacks/" + pack, "plain/copy.prefs");
  Fl_Preferences prefs("plain", "RevPacks", "copy");
  auto text = [&](const char* group, const char* key) {
    char v[80];
    Fl_Preferences(prefs, group).get(key, v, "", sizeof v);
    return std::string(v);
  };
  auto data = [&](const char* group) {
    Fl_Preferences g(prefs, group);
    int size = 0;
    g.get("size", size, 0);
    std::vector<uint8_t> d(size);
    g.get("data", d.data(), nullptr, 0, size);
    return d;
  };
  EXPECT_EQ("3", text("General", "version"));
  Fl_Preferences bins(prefs, "BinFileList_2");
  ASSERT_EQ(3, bins.entries());
  EXPECT_STREQ("BOOT_LOAD_H49.bin", bins.entry(0));  // in name order
  EXPECT_STREQ("Meter G_app.bin", bins.entry(2));
  EXPECT_TRUE(Fl_Preferences(prefs, "TolvanTypeList_2").entryExists("TL8888GM-ED"));
  EXPECT_EQ("6.**;H.**", text("HwSwRestrictionList", "6"));
  for (auto kv : {std::make_pair("type", "TL8888GM-ED"),
                  {"hardware", "H.49"},
                  {"version", "TL-6.01"},
                  {"special", "SPEC01"},
                  {"kvnfile", "TL8888GM-ED_app.kvn"}})
    EXPECT_EQ(kv.second, text("Meter G_app.bin", kv.first)) << kv.first;
  EXPECT_EQ(std::vector<uint8_t>(bin.begin() + 0x100, bin.end()), data("Meter G_app.bin"));
  EXPECT_EQ(std::vector<uint8_t>(b48.begin() + 0x3000, b48.end()), data("Meter G_48.bin"));
  EXPECT_EQ("49", text("BOOT_LOAD_H49.bin", "hardware"));
  EXPECT_EQ(std::vector<uint8_t>(boot.begin(), boot.begin() + 1536), data("BOOT_LOAD_H49.bin"));

  // One changed byte fails the check, with the sum found in the alert.
  size_t at = content.find("data:") + 7;
  content[at] = content[at] == '0' ? '1' : '0';
  writeFile("RevPacks/" + pack, content);
  EXPECT_FALSE(db->checkCheckSum(pack.c_str(), false));
  ASSERT_EQ(1u, dialogs.alerts.size());
  char expected[256];
  snprintf(expected, sizeof expected, "Invalid Checksum (calc=%x) in %s. Upgrade NOT possible",
           db->readCheckSum(("RevPacks/" + pack).c_str()), pack.c_str());
  EXPECT_EQ(expected, dialogs.alerts[0]);
}

TEST_F(RevPackTest, ChecksumCountsSignedBytesFromTheMarkerOn) {
  fs::create_directory("RevPacks");
  // "[.]" adds 0xe6; 0xc5 is -59 as a signed byte: 0xab in all. What comes
  // before the marker does not count.
  writeFile("RevPacks/TLs[00ab].rpa", std::string("head\n[.]\xc5", 9));
  // These sum to zero, and "0000" is zero: only the missing marker or name refuses them.
  writeFile("RevPacks/TLx[0000].rpa", "");
  writeFile("RevPacks/TLy[0000].rpa", std::string("\x01\xff", 2));
  writeFile("RevPacks/TLz.rpa", "; a\n; b\n; c\n\n[.]\n");
  RevPackDb rp(nullptr);
  EXPECT_EQ(0xab, rp.readCheckSum("RevPacks/TLs[00ab].rpa"));
  EXPECT_TRUE(rp.checkCheckSum("TLs[00ab].rpa", false));
  EXPECT_TRUE(rp.checkCheckSum("RevPacks/TLs[00ab].rpa", true));
  EXPECT_TRUE(dialogs.alerts.empty());
  for (const char* bad : {"TLx[0000].rpa", "TLy[0000].rpa", "TLz.rpa", "TLq[0000].rpa"})
    EXPECT_FALSE(rp.checkCheckSum(bad, false)) << bad;
}

TEST_F(RevPackTest, FileNamesWithSpacesQuotesAndSemicolonsAreSafe) {
  std::string odd = "TL8888GM-ED a 'b' \"c\"; $(touch pwned) `touch pwned2`.bin";
  auto b = addBin(odd, "H.49", "TL8888GM-ED");
  // Names the pack format cannot hold are left out, never misread.
  for (const char* name : {"TL8888GM-ED x:y.bin", "TL8888GM-ED x]y.bin", "TL8888GM-ED\nnl.bin"})
    addBin(name, "H.49", "TL8888GM-ED");
  std::string pack = build();
  ASSERT_FALSE(pack.empty());
  EXPECT_FALSE(fileExists("pwned") || fileExists("bins/pwned") || fileExists("pwned2"));
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
  // A file that the toolkit cannot read stops the creation with a message.
  removePacks();
  writeFile("RevPacks/SwHwRestrictions.txt", "; a\n; b\n; c\n[rows]\n1:6.**;H.**\n");
  EXPECT_TRUE(build().empty());
  ASSERT_EQ(1u, dialogs.alerts.size());
  EXPECT_NE(std::string::npos, dialogs.alerts[0].find("SwHwRestrictions.txt"));
}

// The file "Edit restrictions" starts from holds the built-in rows: a pack
// built from it carries the same restrictions as one built without it.
TEST_F(RevPackTest, DefaultRestrictionFileGivesTheBuiltInRows) {
  addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED");
  auto rows = [this] {
    std::string pack = build();
    EXPECT_TRUE(db->selectRpFile(pack.c_str()));
    std::vector<std::string> r;
    for (int i = 0; i < db->nrEntries(RevPackDb::HWSWLIST); ++i)
      r.push_back(db->getEntry(RevPackDb::HWSWLIST, std::to_string(i + 1).c_str()));
    removePacks();
    return r;
  };
  std::vector<std::string> builtIn = rows();
  ASSERT_EQ(7u, builtIn.size());
  fs::remove("RevPacks/SwHwRestrictions.rst");
  ASSERT_TRUE(RevPackDb::writeDefaultRestrictions("RevPacks/SwHwRestrictions.txt"));
  EXPECT_NE(std::string::npos, readFile("RevPacks/SwHwRestrictions.txt").find("; Version rows"));
  EXPECT_EQ(builtIn, rows());
  EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(RevPackTest, CreationThatCannotWriteItAllLeavesNoPack) {
  addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED", "TL-6.01", 0x18000);
  fs::create_directory("RevPacks");
  EXPECT_EQ(0, runWithFileSizeLimit(20000, [] { return RevPackDb(nullptr).createDb("bins") ? 1 : 0; }));
  EXPECT_TRUE(packsInDir().empty());
  EXPECT_FALSE(fileExists("temp.rpa"));
}

TEST_F(RevPackTest, ListingTakesPlainPackFilesAndDeletesOneNamedOnlyRpa) {
  fs::create_directory("RevPacks");
  for (const char* f : {"RevPacks/.rpa", "RevPacks/TLa[0000].rpa", "RevPacks/notes.txt"}) writeFile(f, "x");
  fs::create_directory("RevPacks/dir.rpa");
  RevPackDb rp(nullptr);
  EXPECT_FALSE(fileExists("RevPacks/.rpa"));
  ASSERT_EQ(1, rp.nrRpaFiles());
  EXPECT_STREQ("TLa[0000].rpa", rp.rpaFile(0));
  EXPECT_TRUE(rp.exist());
}

// What the user is told after building: the pack, the files left out and
// why, or why there is no pack (and, for the command line, the reason).
TEST_F(RevPackTest, CreationReportNamesThePackAndWhatWasLeftOut) {
  struct Case {
    std::function<void()> fill;
    std::vector<std::string> want;
    const char* error;  // createError(); "" when a pack was made
  } cases[] = {
      {[this] {
         addBin("TL8888GM-ED_app.bin", "H.49", "TL8888GM-ED");
         addBin("TL9999GM-ED_x.bin", "H.49", "TL9999GM-ED");
         writeFile("bins/notes.txt", "x");
         writeFile("bins/TL8888GM-ED_app.kvn", "a|1\n");
       },
       {"RevPack gemaakt: TL-6.01_SPEC01[",
        "Niet opgenomen: TL9999GM-ED_x.bin (geen klantnaam voor het type)",
        "Niet opgenomen: notes.txt (geen bin bestand)"},
       ""},
      {[] { writeFile("bins/readme.txt", "x"); },
       {"Geen RevPack gemaakt: Geen bin bestanden in ", "Niet opgenomen: readme.txt (geen bin bestand)"},
       "no bin files in"},
      {[this] { addBoot("BOOT_LOAD_H49.bin", 0x49); }, {"Geen RevPack gemaakt: "}, "no application bin file"},
      {[this] { addBin("TL9999GM-ED_x.bin", "H.49", "TL9999GM-ED"); }, {}, "no application bin file"},
  };
  for (Case& c : cases) {
    for (auto& e : fs::directory_iterator("bins")) fs::remove(e.path());
    c.fill();
    EXPECT_EQ(!*c.error, !build().empty()) << c.error;
    const std::string& report = db->createReport();
    for (const std::string& w : c.want) EXPECT_NE(std::string::npos, report.find(w)) << report;
    // A settings file beside its bin is in the pack.
    EXPECT_EQ(std::string::npos, report.find(".kvn")) << report;
    EXPECT_NE(std::string::npos, db->createError().find(c.error)) << db->createError();
    if (!*c.error) {
      EXPECT_EQ(1, db->selectRpFile(packsInDir()[0].c_str()) ? db->actNrBinFiles() : 0);
    }
    removePacks();
  }
  DiagCapture diag;
  db.reset(new RevPackDb(nullptr));
  EXPECT_FALSE(db->createDb("no-such-dir"));
  EXPECT_EQ(0u, db->createReport().find("Geen RevPack gemaakt: Map ")) << db->createReport();
  EXPECT_NE(std::string::npos, db->createError().find("does not exist"));
  EXPECT_NE(std::string::npos, diag.log.find(" does NOT Exist!"));
  EXPECT_TRUE(packsInDir().empty());
}
