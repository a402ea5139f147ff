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

class ConfigInitTest : public DataTest {
protected:
  SettingBin sb{nullptr};
  std::string devs;

  void SetUp() override {
    // An empty device directory unless a test fills it.
    devs = dir.path() + "/dev";
    std::filesystem::create_directory(devs);
    ConfigInit::devDir(devs.c_str());
  }
  void TearDown() override { ConfigInit::devDir(nullptr); }
  std::unique_ptr<ConfigInit> make(const std::string& ini) {
    writeFile("config.ini", ini);
    return std::unique_ptr<ConfigInit>(new ConfigInit(&sb, nullptr, nullptr));
  }
  std::vector<std::string> ports(ConfigInit& cfg) {
    char* list[16];
    uint8_t n = cfg.comPorts(list);
    return std::vector<std::string>(list, list + n);
  }
};

TEST_F(ConfigInitTest, KnownKeysAreTakenOverAsWrittenAndCut) {
  auto cfg = make("settingfile=/home/user/meter.kvn\ncomport=COM3\nlastrevpack=RevPacks/p1.rpa\n"
                  "lastbin=TL8888GM-ED_1.bin\nunknown=1\n\nno separator\nCOMPORT=COM4\nSettingFile=x.kvn\n");
  EXPECT_STREQ(sb.file(), "/home/user/meter.kvn");
  EXPECT_STREQ(cfg->comActive(), "COM3");
  EXPECT_STREQ(cfg->lastRevpackFile(), "RevPacks/p1.rpa");
  EXPECT_STREQ(cfg->lastBinFile(), "TL8888GM-ED_1.bin");
  EXPECT_TRUE(dialogs.alerts.empty());
  cfg->comActive(std::string(300, 'c').c_str());
  EXPECT_EQ(strlen(cfg->comActive()), 79u);
  cfg = make("settingfile=" + std::string(100, 'p') + "\n" + std::string(100000, 'k') + "=v\ncomport=" +
             std::string(5000, 'c') + "\ntolvantype=" + std::string(5000, ';') + "\n");
  EXPECT_EQ(std::string(sb.file()), std::string(79, 'p'));
  EXPECT_EQ(strlen(cfg->comActive()), 79u);
  EXPECT_TRUE(cfg->tolTypes().empty());
}

TEST_F(ConfigInitTest, TypePairsMapBothWaysAndReadBackAsWritten) {
  auto cfg = make("tolvantype=TL8888GM-ED;Meter A\ntolvantype=TL4444GS-EA\ntolvantype=TL2222PS-EA;\n"
                  "tolvantype=;Nameless\ntolvantype=" + std::string(45, 'T') + ";Meter\n" +
                  "tolvantype=TL1;" + std::string(60, 'N') + "\n");
  EXPECT_STREQ(cfg->customTolType("TL8888GM-ED"), "Meter A");
  EXPECT_STREQ(cfg->quorelTolType("Meter A"), "TL8888GM-ED");
  EXPECT_STREQ(cfg->customTolType("TL4444GS-EA"), "TL4444GS-EA");
  EXPECT_STREQ(cfg->quorelTolType("TL4444GS-EA"), "TL4444GS-EA");
  EXPECT_STREQ(cfg->customTolType("TL2222PS-EA"), "TL2222PS-EA");
  EXPECT_STREQ(cfg->customTolType("TL9999"), "TL9999");
  EXPECT_STREQ(cfg->quorelTolType("Nameless"), "");
  EXPECT_STREQ(cfg->quorelTolType("Meter B"), "");
  EXPECT_STREQ(cfg->customTolType(std::string(40, 'T').c_str()), "Meter");
  EXPECT_STREQ(cfg->customTolType("TL1"), std::string(40, 'N').c_str());
  std::vector<const char*> names = cfg->tolTypes();
  ASSERT_EQ(names.size(), 5u);
  EXPECT_STREQ(names[1], "TL4444GS-EA");
  // Bin file names show the customer's name; a name too long is cut.
  EXPECT_STREQ(cfg->replaceQuorelByCustomType("TL8888GM-ED_V2.18.bin"), "Meter A_V2.18.bin");
  EXPECT_STREQ(cfg->replaceQuorelByCustomType("TL4444_V1.bin"), "");
  std::string longName = "TL8888GM-ED" + std::string(400, 'x');
  EXPECT_EQ(strlen(cfg->replaceQuorelByCustomType(longName.c_str())), 255u);
  // Found by fuzzing: a type of 40 characters and a name together are
  // written back as one value of at most 79, so the name gives way.
  cfg = make("tolvantype=TL88" + std::string(60, '\xff') + "\r\ntolvantype=TLn\n");
  names = cfg->tolTypes();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(cfg->quorelTolType(names[0]), "TL88" + std::string(36, '\xff'));
  EXPECT_EQ(names[0], "TL88" + std::string(34, '\xff'));
  std::vector<std::string> before(names.begin(), names.end());
  cfg.reset();
  ConfigInit again(&sb, nullptr, nullptr);
  std::vector<const char*> after = again.tolTypes();
  EXPECT_EQ(before, std::vector<std::string>(after.begin(), after.end()));
  EXPECT_EQ(again.quorelTolType(after[0]), "TL88" + std::string(36, '\xff'));
}

TEST_F(ConfigInitTest, ChoicesAreWrittenBackInOrderAtTheEnd) {
  struct Case {
    const char* ini;  // null: no file
    bool withRoot;
    const char* written;
    bool verify;
  } cases[] = {
      {"lastbin=b.bin\r\ntolvantype=TL8888GM-ED;Meter A\r\nother=kept?\r\ntolvantype=TL4444GS-EA\r\n"
       "comport=COM2\r\nlastrevpack=p.rpa\r\nverifyprogram=yes\n",
       false,
       "settingfile=new.kvn\ncomport=/dev/ttyACM0\ntolvantype=TL8888GM-ED;Meter A\n"
       "tolvantype=TL4444GS-EA;TL4444GS-EA\nlastrevpack=p.rpa\nlastbin=b.bin\n",
       false},
      {nullptr, false, "settingfile=new.kvn\ncomport=/dev/ttyACM0\nlastrevpack=\nlastbin=\n", false},
      // The last pack and bin file live in the controller root.
      {"lastrevpack=RevPacks/a.rpa\nlastbin=TL8888GM-ED_2.bin\nverifyprogram=1\n", true,
       "settingfile=new.kvn\ncomport=/dev/ttyACM0\nlastrevpack=RevPacks/a.rpa\nlastbin=TL8888GM-ED_2.bin\n"
       "verifyprogram=1\n",
       true},
      {"verifyprogram=0\n", true, "settingfile=new.kvn\ncomport=/dev/ttyACM0\nlastrevpack=\nlastbin=\n", false},
  };
  std::string missing;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    dialogs.alerts.clear();
    std::remove("config.ini");
    if (c.ini) writeFile("config.ini", c.ini);
    TlctrlRoot root;
    FrmKestrum frame(nullptr, &sb);
    {
      ConfigInit cfg(&sb, &frame, c.withRoot ? &root : nullptr);
      EXPECT_EQ(frame.configInit(), &cfg);
      EXPECT_EQ(cfg.verifyProgram(), c.verify);
      if (c.withRoot) {
        EXPECT_EQ(root.readBack()->verifyAfterProgramming(), c.verify);
        EXPECT_STREQ(cfg.lastBinFile(), root.lastBinFile());
      }
      sb.file("new.kvn");
      cfg.comActive("/dev/ttyACM0");
      ASSERT_EQ(dialogs.alerts.size(), c.ini ? 0u : 1u);
      if (!c.ini) missing = dialogs.alerts[0];
    }
    EXPECT_EQ(readFile("config.ini"), c.written);
    EXPECT_EQ(frame.configInit(), nullptr);
  }
  EXPECT_NE(missing.find("\"config.ini\" niet aanwezig"), std::string::npos) << missing;
  std::filesystem::remove("config.ini");
  std::filesystem::create_directory("config.ini");
  dialogs.alerts.clear();
  ConfigInit cfg(&sb, nullptr, nullptr);
  EXPECT_FALSE(cfg.save());
  EXPECT_EQ(dialogs.alerts.size(), 1u);
}

TEST_F(ConfigInitTest, PortsThatOpenAreListedStableNamesAndUsbFirst) {
  auto cfg = make("comport=COM1\n");
  EXPECT_TRUE(ports(*cfg).empty());
  for (const char* n : {"ttyS0", "ttyS10", "ttyS2", "ttyUSB0", "ttyACM1", "ttyUSB11", "ttyUSB3", "foo", "ttySx",
                        "tty0", "ttyS"})
    writeFile(devs + "/" + n, "");
  std::filesystem::create_directory(devs + "/ttyS3");  // cannot be opened for writing
  std::string byId = devs + "/serial/by-id";
  std::filesystem::create_directories(byId);
  // As udev makes them: relative links to the device nodes.
  std::filesystem::create_symlink("../../ttyUSB11", byId + "/usb-FTDI_A50285BI-port0");
  std::filesystem::create_symlink("../../ttyUSB0", byId + "/usb-1a86_USB2.0-Serial-if00-port0");
  std::filesystem::create_symlink("../../ttyUSB9", byId + "/usb-gone-if00-port0");  // unplugged meanwhile
  writeFile(byId + "/not-a-link", "");
  std::filesystem::create_symlink("../../ttyUSB0", byId + "/usb-" + std::string(80, 'x') + "-port0");
  cfg->initComPorts();
  std::vector<std::string> expected{byId + "/usb-1a86_USB2.0-Serial-if00-port0", byId + "/usb-FTDI_A50285BI-port0"};
  for (const char* e : {"ttyUSB0", "ttyUSB3", "ttyUSB11", "ttyACM1", "ttyS0", "ttyS2", "ttyS10"})
    expected.push_back(devs + "/" + e);
  EXPECT_EQ(ports(*cfg), expected);
  // A stable name chosen is kept as written.
  cfg->comActive(expected[1].c_str());
  ASSERT_TRUE(cfg->save());
  EXPECT_EQ(std::string(make(readFile("config.ini"))->comActive()), expected[1]);
  for (int i = 20; i < 40; i++) writeFile(devs + "/ttyS" + std::to_string(i), "");
  cfg->initComPorts();
  ASSERT_EQ(ports(*cfg).size(), 16u);
  EXPECT_EQ(ports(*cfg)[15], devs + "/ttyS26");
  // Names that would not fit a value of config.ini are left out.
  std::string deep = devs + "/" + std::string(90, 'd');
  std::filesystem::create_directory(deep);
  writeFile(deep + "/ttyUSB0", "");
  ConfigInit::devDir(deep.c_str());
  cfg->initComPorts();
  EXPECT_EQ(cfg->comPorts(nullptr), 0);
}

}  // namespace
