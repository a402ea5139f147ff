#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ConfigInit.h"
#include "DataTestSupport.h"
#include "SettingBin.h"
#include "kestrum/progctrl/Forms/FrmKestrum.h"
#include "kestrum/progctrl/States/TlctrlReadBack.h"
#include "kestrum/progctrl/States/TlctrlRoot.h"

namespace {

class ConfigInitTest : public ::testing::Test {
protected:
  TempDir dir{TempDir::Entered};
  DialogScript dialogs;
  SettingBin sb{nullptr};
  std::string devs;

  void SetUp() override {
    // An empty device directory unless a test fills it.
    devs = dir.path() + "/dev";
    std::filesystem::create_directory(devs);
    ConfigInit::devDir(devs.c_str());
  }
  void TearDown() override {
    ConfigInit::devDir(nullptr);
    Language::destroy();
  }
  std::unique_ptr<ConfigInit> make(const std::string& ini) {
    writeFile("config.ini", ini);
    return std::unique_ptr<ConfigInit>(new ConfigInit(&sb, nullptr, nullptr));
  }
};

TEST_F(ConfigInitTest, KnownKeysAreTakenOver) {
  auto cfg = make(
      "settingfile=/home/user/meter.kvn\n"
      "comport=COM3\n"
      "tolvantype=TL8888GM-ED;Meter A\n"
      "lastrevpack=RevPacks/p1.rpa\n"
      "lastbin=TL8888GM-ED_1.bin\n"
      "unknown=1\n"
      "\n"
      "no separator\n");
  EXPECT_STREQ(sb.file(), "/home/user/meter.kvn");
  EXPECT_STREQ(cfg->comActive(), "COM3");
  EXPECT_STREQ(cfg->customTolType("TL8888GM-ED"), "Meter A");
  EXPECT_STREQ(cfg->lastRevpackFile(), "RevPacks/p1.rpa");
  EXPECT_STREQ(cfg->lastBinFile(), "TL8888GM-ED_1.bin");
  EXPECT_TRUE(dialogs.alerts.empty());
}

TEST_F(ConfigInitTest, KeysAreCaseSensitive) {
  auto cfg = make("COMPORT=COM4\nComport=COM5\nSettingFile=x.kvn\n");
  EXPECT_STREQ(cfg->comActive(), "");
  EXPECT_EQ(sb.file(), nullptr);
}

TEST_F(ConfigInitTest, ValuesAreCutTo79Characters) {
  std::string longPath(100, 'p');
  auto cfg = make("settingfile=" + longPath + "\ncomport=/dev/" + std::string(100, 'u') + "\n");
  EXPECT_EQ(std::string(sb.file()), longPath.substr(0, 79));
  EXPECT_EQ(strlen(cfg->comActive()), 79u);
  cfg->comActive(std::string(300, 'c').c_str());
  EXPECT_EQ(strlen(cfg->comActive()), 79u);
}

TEST_F(ConfigInitTest, PortNamesAreKeptAsWritten) {
  auto cfg = make("comport=COM3\n");
  EXPECT_STREQ(cfg->comActive(), "COM3");
  cfg->comActive("/dev/ttyUSB0");
  EXPECT_STREQ(cfg->comActive(), "/dev/ttyUSB0");
}

TEST_F(ConfigInitTest, TypePairsMapBothWays) {
  auto cfg = make(
      "tolvantype=TL8888GM-ED;Meter A\n"
      "tolvantype=TL4444GS-EA\n"
      "tolvantype=TL2222PS-EA;\n"
      "tolvantype=;Nameless\n");
  EXPECT_STREQ(cfg->customTolType("TL8888GM-ED"), "Meter A");
  EXPECT_STREQ(cfg->quorelTolType("Meter A"), "TL8888GM-ED");
  EXPECT_STREQ(cfg->customTolType("TL4444GS-EA"), "TL4444GS-EA");
  EXPECT_STREQ(cfg->quorelTolType("TL4444GS-EA"), "TL4444GS-EA");
  EXPECT_STREQ(cfg->customTolType("TL2222PS-EA"), "TL2222PS-EA");
  EXPECT_STREQ(cfg->customTolType("TL9999"), "TL9999");
  EXPECT_STREQ(cfg->quorelTolType("Nameless"), "");
  EXPECT_STREQ(cfg->quorelTolType("Meter B"), "");
  std::vector<const char*> names = cfg->tolTypes();
  ASSERT_EQ(names.size(), 3u);
  EXPECT_STREQ(names[0], "Meter A");
  EXPECT_STREQ(names[1], "TL4444GS-EA");
}

TEST_F(ConfigInitTest, TypeNamesAreCutTo40Characters) {
  auto cfg = make("tolvantype=" + std::string(45, 'T') + ";Meter\n" +
                  "tolvantype=TL1;" + std::string(60, 'N') + "\n");
  EXPECT_STREQ(cfg->customTolType(std::string(40, 'T').c_str()), "Meter");
  EXPECT_STREQ(cfg->customTolType("TL1"), std::string(40, 'N').c_str());
}

TEST_F(ConfigInitTest, TypePairsAreKeptSoThatTheyReadBackTheSame) {
  // Found by fuzzing: a type of 40 characters without a name was written
  // back as a value of 81 characters, and the name lost two on the next read.
  const char fuzzed[] =
      "compopt=/dev/ttyU\xdbSB0\n"
      "settingfile=a.kvn\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
      "\xff\xff\xff\xff/ttyU\xdbSB0\n"
      "settingfile=a.kvn\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
      "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
      "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
      "\xff\xff\xff\xff\r\n"
      "tolvantype=TL88\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
      "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
      "\xff\xff\xff\xff\r\n"
      "tolvantype=TL8888GM-ED\n"
      "lastbin=x.bi\r\n"
      "tolvantype=TLn\n"
      "";
  std::vector<std::string> names, types;
  {
    auto cfg = make(std::string(fuzzed, sizeof fuzzed - 1));
    for (const char* n : cfg->tolTypes()) {
      names.push_back(n);
      types.push_back(cfg->quorelTolType(n));
    }
  }
  ASSERT_EQ(3u, names.size());
  EXPECT_EQ(std::string("TL88") + std::string(36, '\xff'), types[0]);
  EXPECT_EQ(std::string("TL88") + std::string(34, '\xff'), names[0]);
  ConfigInit again(&sb, nullptr, nullptr);
  std::vector<std::string> namesAgain, typesAgain;
  for (const char* n : again.tolTypes()) {
    namesAgain.push_back(n);
    typesAgain.push_back(again.quorelTolType(n));
  }
  EXPECT_EQ(names, namesAgain);
  EXPECT_EQ(types, typesAgain);
}

TEST_F(ConfigInitTest, FileNamesTakeTheCustomerName) {
  auto cfg = make("tolvantype=TL8888GM-ED;Meter A\n");
  EXPECT_STREQ(cfg->replaceQuorelByCustomType("TL8888GM-ED_V2.18.bin"), "Meter A_V2.18.bin");
  EXPECT_STREQ(cfg->replaceQuorelByCustomType("TL4444_V1.bin"), "");
  std::string longName = "TL8888GM-ED" + std::string(400, 'x');
  EXPECT_EQ(strlen(cfg->replaceQuorelByCustomType(longName.c_str())), 255u);
}

TEST_F(ConfigInitTest, ChoicesAreWrittenBackInOrder) {
  {
    auto cfg = make(
        "lastbin=b.bin\r\n"
        "tolvantype=TL8888GM-ED;Meter A\r\n"
        "other=kept?\r\n"
        "tolvantype=TL4444GS-EA\r\n"
        "comport=COM2\r\n"
        "lastrevpack=p.rpa\r\n");
    sb.file("new.kvn");
    cfg->comActive("/dev/ttyACM0");
  }
  EXPECT_EQ(readFile("config.ini"),
            "settingfile=new.kvn\n"
            "comport=/dev/ttyACM0\n"
            "tolvantype=TL8888GM-ED;Meter A\n"
            "tolvantype=TL4444GS-EA;TL4444GS-EA\n"
            "lastrevpack=p.rpa\n"
            "lastbin=b.bin\n");
  EXPECT_EQ(sb.configInit(), nullptr);
}

TEST_F(ConfigInitTest, MissingFileAlertsAndIsCreatedAtTheEnd) {
  {
    ConfigInit cfg(&sb, nullptr, nullptr);
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0],
              "Attentie!! Bestand \"config.ini\" niet aanwezig.\n"
              "Voor communicatie met Tolvan eerst COM poort,\n"
              "via Opties knop instellen.\n");
  }
  EXPECT_EQ(readFile("config.ini"),
            "settingfile=\ncomport=\nlastrevpack=\nlastbin=\n");
}

TEST_F(ConfigInitTest, LastPackAndBinLiveInTheControllerRoot) {
  TlctrlRoot root;
  writeFile("config.ini", "lastrevpack=RevPacks/a.rpa\nlastbin=TL8888GM-ED_2.bin\n");
  {
    ConfigInit cfg(&sb, nullptr, &root);
    EXPECT_STREQ(root.lastRevpackFile(), "RevPacks/a.rpa");
    EXPECT_STREQ(root.lastBinFile(), "TL8888GM-ED_2.bin");
    root.lastRevpackFile("RevPacks/b.rpa");
    root.lastBinFile("TL8888GM-ED_3.bin");
  }
  EXPECT_EQ(readFile("config.ini"),
            "settingfile=\ncomport=\nlastrevpack=RevPacks/b.rpa\nlastbin=TL8888GM-ED_3.bin\n");
}

TEST_F(ConfigInitTest, RegistersWithFormAndSettings) {
  FrmKestrum frame(nullptr, &sb);
  writeFile("config.ini", "comport=COM1\n");
  {
    ConfigInit cfg(&sb, &frame, nullptr);
    EXPECT_EQ(frame.configInit(), &cfg);
    EXPECT_EQ(sb.configInit(), &cfg);
  }
  EXPECT_EQ(frame.configInit(), nullptr);
}

TEST_F(ConfigInitTest, SaveIntoReadOnlyDirectoryKeepsOldFileAndReports) {
  std::filesystem::create_directory("ro");
  writeFile("ro/config.ini", "comport=COM1\n");
  chmod(dir.path().c_str(), 0755);
  chmod("ro/config.ini", 0644);
  chmod("ro", 0555);
  ASSERT_EQ(chdir("ro"), 0);
  auto cfg = std::unique_ptr<ConfigInit>(new ConfigInit(&sb, nullptr, nullptr));
  cfg->comActive("COM7");
  int rc = runUnprivileged([&]() {
    if (cfg->save()) return 1;
    if (dialogs.alerts.size() != 1) return 2;
    if (dialogs.alerts[0] !=
        "Fout!! Bestand \"config.ini\" kan niet opgeslagen worden.\n"
        "Het vorige bestand is bewaard.\n")
      return 3;
    return 0;
  });
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(readFile("config.ini"), "comport=COM1\n");
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  chmod("ro", 0755);
  cfg.reset();
}

TEST_F(ConfigInitTest, LongLinesDoNotOverflow) {
  auto cfg = make(std::string(100000, 'k') + "=v\ncomport=" + std::string(5000, 'c') + "\n" +
                  "tolvantype=" + std::string(5000, ';') + "\n");
  EXPECT_EQ(strlen(cfg->comActive()), 79u);
  EXPECT_TRUE(cfg->tolTypes().empty());
}

TEST_F(ConfigInitTest, NoPortsFoundGivesEmptyList) {
  auto cfg = make("comport=COM1\n");
  char* list[16];
  EXPECT_EQ(cfg->comPorts(list), 0);
}

TEST_F(ConfigInitTest, PortsThatOpenAreListedUsbFirstInNumericOrder) {
  for (const char* n : {"ttyS0", "ttyS10", "ttyS2", "ttyUSB0", "ttyACM1", "ttyUSB11", "ttyUSB3",
                        "foo", "ttySx", "tty0", "ttyS"})
    writeFile(devs + "/" + n, "");
  std::filesystem::create_directory(devs + "/ttyS3");  // cannot be opened for writing
  auto cfg = make("comport=COM1\n");
  char* list[16];
  uint8_t n = cfg->comPorts(list);
  std::vector<std::string> names(list, list + n);
  std::vector<std::string> expected;
  for (const char* e : {"ttyUSB0", "ttyUSB3", "ttyUSB11", "ttyACM1", "ttyS0", "ttyS2", "ttyS10"})
    expected.push_back(devs + "/" + e);
  EXPECT_EQ(names, expected);
}

TEST_F(ConfigInitTest, StableNamesOfUsbAdaptersComeFirst) {
  writeFile(devs + "/ttyUSB0", "");
  writeFile(devs + "/ttyUSB1", "");
  std::string byId = devs + "/serial/by-id";
  std::filesystem::create_directories(byId);
  // As udev makes them: relative links to the device nodes.
  std::filesystem::create_symlink("../../ttyUSB1", byId + "/usb-FTDI_A50285BI-port0");
  std::filesystem::create_symlink("../../ttyUSB0", byId + "/usb-1a86_USB2.0-Serial-if00-port0");
  std::filesystem::create_symlink("../../ttyUSB9", byId + "/usb-gone-if00-port0");  // unplugged meanwhile
  writeFile(byId + "/not-a-link", "");
  std::filesystem::create_symlink("../../ttyUSB0", byId + "/usb-" + std::string(80, 'x') + "-port0");
  auto cfg = make("comport=COM1\n");
  char* list[16];
  uint8_t n = cfg->comPorts(list);
  std::vector<std::string> names(list, list + n);
  std::vector<std::string> expected{byId + "/usb-1a86_USB2.0-Serial-if00-port0",
                                    byId + "/usb-FTDI_A50285BI-port0", devs + "/ttyUSB0",
                                    devs + "/ttyUSB1"};
  EXPECT_EQ(names, expected);
  // A stable name chosen is kept as written.
  cfg->comActive(list[1]);
  ASSERT_TRUE(cfg->save());
  auto again = std::unique_ptr<ConfigInit>(new ConfigInit(&sb, nullptr, nullptr));
  EXPECT_EQ(std::string(again->comActive()), byId + "/usb-FTDI_A50285BI-port0");
}

TEST_F(ConfigInitTest, AtMost16PortsAreListed) {
  for (int i = 0; i < 40; i++) writeFile(devs + "/ttyS" + std::to_string(i), "");
  auto cfg = make("comport=COM1\n");
  char* list[16];
  ASSERT_EQ(cfg->comPorts(list), 16);
  EXPECT_EQ(std::string(list[15]), devs + "/ttyS15");
  cfg->initComPorts();
  EXPECT_EQ(cfg->comPorts(list), 16);
}

TEST_F(ConfigInitTest, PortNamesLongerThanAValueAreNotListed) {
  std::string deep = devs + "/" + std::string(90, 'd');
  std::filesystem::create_directory(deep);
  writeFile(deep + "/ttyUSB0", "");
  ConfigInit::devDir(deep.c_str());
  auto cfg = make("comport=COM1\n");
  EXPECT_EQ(cfg->comPorts(nullptr), 0);
}

}  // namespace

// "Controleren na programmeren" is kept across runs; off, the file is as before.
TEST_F(ConfigInitTest, VerifyAfterProgrammingIsKeptOnlyWhenOn) {
  struct Case {
    const char* line;
    bool on;
    const char* written;
  } cases[] = {
      {"verifyprogram=1\n", true, "settingfile=\ncomport=\nlastrevpack=\nlastbin=\nverifyprogram=1\n"},
      {"verifyprogram=0\n", false, "settingfile=\ncomport=\nlastrevpack=\nlastbin=\n"},
      {"verifyprogram=yes\n", false, "settingfile=\ncomport=\nlastrevpack=\nlastbin=\n"},
  };
  for (const Case& c : cases) {
    TlctrlRoot root;
    writeFile("config.ini", c.line);
    {
      ConfigInit cfg(&sb, nullptr, &root);
      EXPECT_EQ(c.on, root.readBack()->verifyAfterProgramming()) << c.line;
    }
    EXPECT_EQ(c.written, readFile("config.ini")) << c.line;
  }
}
