#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Window.H>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "BLocalEvent.h"
#include "CtrlHarness.h"
#include "RPbinList.h"
#include "RPbtUpgrade.h"
#include "RevPackDb.h"
#include "TlctrlUplReqEvt.h"
#include "TlctrlUpgrWaitStatInfo.h"

// Firmware upgrade: the image from a revision pack into the device, packet
// by packet, against the simulator's boot loader.

namespace {

const char* const BIN_GROUP = "Tolvan 8888 GSM_620.bin";

// A firmware image: a counting pattern (without the letters that start an
// identification), the device type behind its hardware and the version.
std::vector<uint8_t> imageOf(size_t size) {
  std::vector<uint8_t> b(size);
  for (size_t i = 0; i < size; ++i) {
    uint8_t c = static_cast<uint8_t>(i * 7 + i / 256);
    b[i] = (c == 'T' || c == 'V') ? 0x20 : c;
  }
  auto put = [&](size_t at, const std::string& s) {
    for (size_t i = 0; i < s.size() && at + i < size; ++i) b[at + i] = static_cast<uint8_t>(s[i]);
  };
  put(size / 3, "xxH.49TL8888GM-EDyy");
  put(size / 3 + 40, "VERSION: TL-6.20STD001");
  return b;
}

std::string text(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

// Builds "RevPacks/<pack>.rpa" in the working directory from a bin whose
// application (from the start address 0x100 on) is image, and the boot
// loaders named. Returns the pack name without extension.
std::string makePack(const std::vector<uint8_t>& image, const std::vector<std::string>& boots) {
  std::filesystem::create_directory("bins");
  std::vector<uint8_t> file(0x100, 0xEE);
  file.insert(file.end(), image.begin(), image.end());
  writeFile("bins/TL8888GM-ED_620.bin", text(file));
  for (const std::string& boot : boots) writeFile("bins/" + boot, std::string(1800, '\x5A'));
  RevPackDb db(nullptr);
  db.createDb("bins");
  for (auto& e : std::filesystem::directory_iterator("RevPacks"))
    if (e.path().extension() == ".rpa") return e.path().stem().string();
  return "";
}

// What the device holds after a transfer: the image and the 0xFF that fill
// its last packet.
std::string padded(const std::vector<uint8_t>& image) {
  std::string s = text(image);
  while (s.size() % 128) s.push_back('\xFF');
  return s;
}

// The hex bytes of a simulator log line, as numbers.
std::vector<int> hexOf(const std::string& line) {
  std::vector<int> out;
  std::stringstream ss(line);
  std::string tok;
  ss >> tok >> tok;  // time, direction
  while (ss >> tok && tok.size() == 2 && isxdigit(static_cast<unsigned char>(tok[0])))
    out.push_back(std::stoi(tok, nullptr, 16));
  return out;
}

// Packet lines the simulator received, in order.
std::vector<std::string> packetLines(CtrlSystem& sys) {
  std::vector<std::string> out;
  for (const std::string& l : lines(sys.simLog()))
    if (l.find(" RX ") != std::string::npos && l.find(" packet ") != std::string::npos) out.push_back(l);
  return out;
}

// "packet N": the numbers of the received packets, in order.
std::vector<int> packetNumbers(CtrlSystem& sys) {
  std::vector<int> out;
  for (const std::string& l : packetLines(sys)) {
    std::vector<int> h = hexOf(l);
    if (h.size() == 132) out.push_back(h[1]);
  }
  return out;
}

// Answers the request for a bin file the way a user does: the bin is chosen
// on the upgrade sheet and the upgrade button pressed, from within the
// window's loop while the controller waits.
class BinChoosingDialogs : public RecordingDialogs {
public:
  explicit BinChoosingDialogs(CtrlSystem*& sys) : _sys(sys) {}
  void alert(const char* t) override {
    RecordingDialogs::alert(t);
    if (closeOnAlert) Fl::add_timeout(0.02, [](void*) { Main::_shutdown = true; }, nullptr);
    else if (chooseOnAlert) Fl::add_timeout(0.02, &BinChoosingDialogs::choose, this);
  }
  bool chooseOnAlert = true;
  // The user closes the program instead of choosing.
  bool closeOnAlert = false;
  int upgradesStarted = 0;

private:
  static void choose(void* data) {
    BinChoosingDialogs* self = static_cast<BinChoosingDialogs*>(data);
    FrmKestrumImpl* impl = self->_sys && self->_sys->root() ? self->_sys->root()->frmImpl() : nullptr;
    if (!impl || !impl->binList()) return;
    impl->binList()->choose(BIN_GROUP);
    if (impl->btExecUpgrade()) ++self->upgradesStarted;
  }
  CtrlSystem*& _sys;
};

class TlctrlUpgradingTest : public ::testing::Test {
protected:
  void SetUp() override {
    RevPackDb::bootPauseMs(0);
    RevPackDb::CHECK_HARDWARE = true;
    RevPackDb::activeKvnFileReset();
    Main::_exitCode = 0;
  }
  void TearDown() override {
    // A boot load request still queued must not open the modal wait now.
    Main::_shutdown = true;
    sys.reset();
    Main::_shutdown = false;
    _sysPtr = nullptr;
    RevPackDb::setActHwSwVers("", "", "", "");
    RevPackDb::bootPauseMs(2000);
  }
  void makeSystem(std::vector<std::string> simArgs,
                  const std::vector<std::pair<std::string, std::string>>& files = {}) {
    simArgs.push_back("--image-out");
    simArgs.push_back("@image.bin");
    sys.reset(new CtrlSystem(simArgs, "", files));
    _sysPtr = sys.get();
    UserDialog::script(&dialogs);
  }
  // The upgrade sheet opened from the options, the bin chosen and the
  // upgrade button pressed.
  bool upgradeFromWindow() {
    FrmKestrumImpl* impl = sys->root()->frmImpl();
    impl->btOptionsWindow();
    sys->root()->frame()->optUpgrade()->value(1);
    impl->btOptionsOk();
    if (!impl->binList()) return false;
    impl->binList()->choose(BIN_GROUP);
    return impl->btExecUpgrade();
  }
  // Runs until the upgrade has ended; collects the status texts seen.
  bool runUpgrade(int ms) {
    bool entered = false;
    return sys->pump([&] {
      statuses.insert(sys->status());
      if (sys->subState() == TlctrlRoot::TLCTRLUPGRADING) entered = true;
      return entered && sys->subState() == TlctrlRoot::TLCTRLCONNIDLE;
    }, ms);
  }
  // A pack of the image, the device connected, the upgrade asked for in
  // the window and run to its end.
  ::testing::AssertionResult upgradeInWindow(const std::vector<uint8_t>& image, int ms) {
    if (makePack(image, {"BOOT_LOAD_H49.bin"}).empty()) return ::testing::AssertionFailure() << "no pack";
    sys->start();
    if (!sys->waitConnectedIdle()) return ::testing::AssertionFailure() << "not connected";
    if (!upgradeFromWindow()) return ::testing::AssertionFailure() << "upgrade not started";
    if (!runUpgrade(ms)) return ::testing::AssertionFailure() << "upgrade did not end\n" << sys->simLog();
    return ::testing::AssertionSuccess();
  }
  std::string deviceImage() {
    for (int i = 0; i < 200 && readFile(sys->path("image.bin")).empty(); ++i) sys->run(20);
    return readFile(sys->path("image.bin"));
  }
  bool saw(const std::string& status) const { return statuses.count(status) > 0; }

  CtrlSystem* _sysPtr = nullptr;
  BinChoosingDialogs dialogs{_sysPtr};
  std::unique_ptr<CtrlSystem> sys;
  std::set<std::string> statuses;
};

}  // namespace

namespace {
// The settings the simulated device holds before an upgrade.
std::string deviceSettings() {
  return kvnText([](int n) {
    if (n == SettingBin::TOLTYPE_POS) return std::make_pair(std::string("TL8888GM-ED"), std::string());
    return std::make_pair("Dev " + std::to_string(n), std::to_string(5550000 + n));
  });
}

// The one file in backups/ of the working directory; empty when none.
std::string onlyBackup() {
  std::vector<std::string> found;
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator("backups", ec)) found.push_back("backups/" + e.path().filename().string());
  return found.size() == 1 ? found[0] : "";
}
}  // namespace

TEST_F(TlctrlUpgradingTest, UpgradeFromTheWindowLeavesExactlyTheImageInTheDevice) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({"--kvn", "@dev.kvn"}, {{"dev.kvn", deviceSettings()}});
  std::vector<uint8_t> image = imageOf(1000);
  ASSERT_FALSE(makePack(image, {"BOOT_LOAD_H49.bin"}).empty());
  sys->start();
  ASSERT_TRUE(sys->waitConnectedIdle());
  Main::_exitCode = 1;
  ASSERT_TRUE(upgradeFromWindow());
  ASSERT_TRUE(runUpgrade(30000)) << sys->simLog();
  EXPECT_EQ(padded(image), deviceImage());
  EXPECT_EQ(0, Main::_exitCode);
  EXPECT_TRUE(saw("Upgrading 12% ready"));
  EXPECT_TRUE(saw("Upgrading 100% ready"));
  EXPECT_EQ(1, sys->simCount("RX", "upgrade-request"));
  EXPECT_EQ(1, sys->simCount("RX", "boot-load-data"));
  EXPECT_EQ(1, sys->simCount("RX", "eot"));
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}), packetNumbers(*sys));
  // Before anything was written, the device's settings were saved.
  std::string backup = onlyBackup();
  ASSERT_FALSE(backup.empty());
  EXPECT_EQ(0u, backup.find("backups/TL8888GM-ED_")) << backup;
  EXPECT_EQ(deviceSettings(), readFile(backup));
  EXPECT_EQ(backup, sys->root()->lastBackup());
  EXPECT_LT(sys->simLog().find("download-request"), sys->simLog().find("upgrade-request"));
  // The device comes back running the new software, and the user is told.
  std::string done = "Upgrade gereed: TL-6.20. Backup van de instellingen: " + backup;
  EXPECT_TRUE(sys->waitStatus(done, 5000)) << sys->status();
  EXPECT_STREQ("TL-6.20", sys->store()->connSwVer());
  EXPECT_TRUE(sys->root()->frame()->btProgrammeren()->active());
  // The sheet can start the next upgrade.
  FrmKestrumImpl* impl = sys->root()->frmImpl();
  ASSERT_NE(nullptr, impl->btUpgrade());
  EXPECT_TRUE(impl->btUpgrade()->active());
  EXPECT_TRUE(impl->binList()->active());
}

// The device answers every request for its settings with "waiting": no
// backup. The window asks; only "Ja" goes on.
TEST_F(TlctrlUpgradingTest, DeviceThatKeepsItsSettingsIsUpgradedOnlyWhenTheUserSaysSo) {
  SKIP_WITHOUT_DISPLAY();
  struct Case {
    int answer;
    bool upgraded;
  } cases[] = {{0, false}, {1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    makeSystem({"--wait", "1000000"});
    dialogs.choices.clear();
    dialogs.answers = {c.answer};
    std::vector<uint8_t> image = imageOf(1000);
    ASSERT_FALSE(makePack(image, {"BOOT_LOAD_H49.bin"}).empty());
    sys->start();
    ASSERT_TRUE(sys->waitConnectedIdle());
    ASSERT_TRUE(upgradeFromWindow());
    ASSERT_TRUE(sys->pump([&] { return !dialogs.choices.empty(); }, 20000));
    EXPECT_EQ(0u, dialogs.choices[0].find("Geen backup van de instellingen: de Tolvan geeft zijn instellingen niet"))
        << dialogs.choices[0];
    EXPECT_NE(std::string::npos, dialogs.choices[0].find("Toch upgraden zonder backup?"));
    if (c.upgraded) {
      ASSERT_TRUE(runUpgrade(30000)) << sys->simLog();
      EXPECT_EQ(padded(image), deviceImage());
      EXPECT_TRUE(sys->waitStatus("Upgrade gereed: TL-6.20", 5000)) << sys->status();
    } else {
      EXPECT_TRUE(sys->waitStatus("Upgrade niet gestart: geen backup van de instellingen", 3000)) << sys->status();
      EXPECT_TRUE(sys->statusRed());
      sys->run(300);
      EXPECT_EQ(TlctrlRoot::TLCTRLCONNIDLE, sys->subState());
      EXPECT_EQ(0, sys->simCount("RX", "upgrade-request"));
      // The sheet is usable and the life check is on again.
      EXPECT_TRUE(sys->root()->frmImpl()->btUpgrade()->active());
      EXPECT_TRUE(sys->root()->activeLifeCk());
      EXPECT_TRUE(sys->root()->isArmedLifeCkTimeout());
    }
    EXPECT_TRUE(onlyBackup().empty());
    Main::_shutdown = true;
    sys.reset();
    Main::_shutdown = false;
  }
}

// Leaving the upgrade sheet any way but "Upgrade" switches the life check
// back on: a device that goes away is noticed again.
TEST_F(TlctrlUpgradingTest, LeavingTheUpgradeSheetSwitchesTheLifeCheckOn) {
  SKIP_WITHOUT_DISPLAY();
  std::function<void(CtrlSystem&)> leave[] = {
      [](CtrlSystem& s) { s.root()->frmImpl()->btOphalen(); },
      [](CtrlSystem& s) {
        FrmKestrumImpl* impl = s.root()->frmImpl();
        impl->btOptionsWindow();
        s.root()->frame()->optUpgrade()->value(0);
        impl->btOptionsOk();
      },
  };
  int n = 0;
  for (auto& how : leave) {
    SCOPED_TRACE(n++);
    makeSystem({});
    ASSERT_FALSE(makePack(imageOf(1000), {"BOOT_LOAD_H49.bin"}).empty());
    sys->start();
    ASSERT_TRUE(sys->waitConnectedIdle());
    FrmKestrumImpl* impl = sys->root()->frmImpl();
    impl->btOptionsWindow();
    sys->root()->frame()->optUpgrade()->value(1);
    impl->btOptionsOk();
    ASSERT_NE(nullptr, impl->btUpgrade());
    EXPECT_FALSE(sys->root()->activeLifeCk());
    how(*sys);
    sys->run(200);
    EXPECT_EQ(nullptr, impl->btUpgrade());
    EXPECT_TRUE(sys->root()->activeLifeCk());
    EXPECT_TRUE(sys->root()->isArmedLifeCkTimeout());
    Main::_shutdown = true;
    sys.reset();
    Main::_shutdown = false;
  }
}

TEST_F(TlctrlUpgradingTest, ClosingDuringAnUpgradeAsksFirst) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({});
  ASSERT_FALSE(makePack(imageOf(20000), {"BOOT_LOAD_H49.bin"}).empty());
  sys->start();
  ASSERT_TRUE(sys->waitConnectedIdle());
  ASSERT_TRUE(upgradeFromWindow());
  ASSERT_TRUE(sys->pump([&] { return sys->subState() == TlctrlRoot::TLCTRLUPGRADING; }, 15000));
  FrmKestrumImpl* impl = sys->root()->frmImpl();
  dialogs.answers = {0, 1};
  impl->closeRequest();
  ASSERT_EQ(1u, dialogs.choices.size());
  EXPECT_EQ("Upgrade bezig: toch afsluiten?", dialogs.choices[0]);
  EXPECT_FALSE(Main::shutdownActive());
  impl->closeRequest();
  EXPECT_EQ(2u, dialogs.choices.size());
  EXPECT_TRUE(Main::shutdownActive());
  // Ended in the middle, the upgrade does not count as done.
  EXPECT_EQ(1, Main::_exitCode);
}

// On the screen the question does not hold the program: the upgrade goes
// on while it is open.
TEST_F(TlctrlUpgradingTest, CloseQuestionOnTheScreenLetsTheUpgradeGoOn) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({});
  std::vector<uint8_t> image = imageOf(20000);
  ASSERT_FALSE(makePack(image, {"BOOT_LOAD_H49.bin"}).empty());
  sys->start();
  ASSERT_TRUE(sys->waitConnectedIdle());
  ASSERT_TRUE(upgradeFromWindow());
  ASSERT_TRUE(sys->pump([&] { return sys->subState() == TlctrlRoot::TLCTRLUPGRADING; }, 15000));
  FrmKestrumImpl* impl = sys->root()->frmImpl();
  UserDialog::script(nullptr);
  impl->closeRequest();
  UserDialog::script(&dialogs);
  Fl_Window* question = impl->closeQuestion();
  ASSERT_NE(nullptr, question);
  EXPECT_TRUE(question->visible());
  EXPECT_FALSE(Main::shutdownActive());
  ASSERT_TRUE(runUpgrade(60000)) << sys->simLog();
  EXPECT_EQ(padded(image), deviceImage());
  ASSERT_EQ(3, question->children());
  // "Ja" (the last button) closes.
  question->child(2)->do_callback();
  EXPECT_EQ(nullptr, impl->closeQuestion());
  EXPECT_TRUE(Main::shutdownActive());
}

TEST_F(TlctrlUpgradingTest, LastPacketIsFilledWithFFAndItsChecksumCountsTheFilling) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({});
  std::vector<uint8_t> image = imageOf(1000);
  ASSERT_TRUE(upgradeInWindow(image, 30000));
  std::vector<std::string> packets = packetLines(*sys);
  ASSERT_EQ(8u, packets.size());
  std::vector<int> last = hexOf(packets.back());
  ASSERT_EQ(132u, last.size());
  EXPECT_EQ(0x01, last[0]);
  EXPECT_EQ(8, last[1]);
  EXPECT_EQ(255 - 8, last[2]);
  int sum = 0;
  for (int i = 0; i < 128; ++i) {
    int want = i < 104 ? image[896 + i] : 0xFF;
    EXPECT_EQ(want, last[3 + i]) << "byte " << i;
    sum += want;
  }
  EXPECT_EQ(sum % 256, last[131]);
}

TEST_F(TlctrlUpgradingTest, NakAfterPacketSixResendsFromPacketFiveAtByte512) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({"--nak-packet", "6"});
  std::vector<uint8_t> image = imageOf(1000);
  ASSERT_TRUE(upgradeInWindow(image, 30000));
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6, 5, 6, 7, 8}), packetNumbers(*sys));
  std::vector<std::string> packets = packetLines(*sys);
  ASSERT_EQ(10u, packets.size());
  // The repeated packet 5 carries the image from byte 512 on.
  std::vector<int> again = hexOf(packets[6]);
  ASSERT_EQ(132u, again.size());
  for (int i = 0; i < 128; ++i) EXPECT_EQ(image[512 + i], again[3 + i]) << "byte " << i;
  EXPECT_EQ(padded(image), deviceImage());
  EXPECT_EQ(0, Main::_exitCode);
}

TEST_F(TlctrlUpgradingTest, PacketNumbersWrapFrom255ToZeroOnALargeImage) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({});
  std::vector<uint8_t> image = imageOf(33000);
  ASSERT_TRUE(upgradeInWindow(image, 60000));
  std::vector<int> numbers = packetNumbers(*sys);
  ASSERT_EQ(258u, numbers.size());
  EXPECT_EQ(255, numbers[254]);
  EXPECT_EQ(0, numbers[255]);
  EXPECT_EQ(1, numbers[256]);
  std::vector<int> zero = hexOf(packetLines(*sys)[255]);
  ASSERT_GE(zero.size(), 3u);
  EXPECT_EQ(255, zero[2]);
  EXPECT_EQ(padded(image), deviceImage());
}

TEST_F(TlctrlUpgradingTest, ImageOfOnePacketEndsWithEotAfterTheFirstAck) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({});
  std::vector<uint8_t> image(100, 0x11);
  std::string marker = "xxH.49TL8888GM-EDyyVERSION: TL-6.20STD001";
  for (size_t i = 0; i < marker.size(); ++i) image[10 + i] = static_cast<uint8_t>(marker[i]);
  ASSERT_TRUE(upgradeInWindow(image, 30000));
  EXPECT_EQ((std::vector<int>{1}), packetNumbers(*sys));
  EXPECT_EQ(padded(image), deviceImage());
  EXPECT_EQ(1, sys->simCount("RX", "eot"));
}

TEST_F(TlctrlUpgradingTest, UpgradeRequestWithoutABinFileLeavesTheDeviceAlone) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({});
  sys->start();
  ASSERT_TRUE(sys->waitConnectedIdle());
  sys->post(new BLocalEvent(TlctrlRoot::LOC_UPGRADE_REQ, true));
  sys->run(500);
  EXPECT_EQ(TlctrlRoot::TLCTRLCONNIDLE, sys->subState());
  EXPECT_EQ(0, sys->simCount("RX", "upgrade-request"));
}

// Not knowing the hardware, a loader of the pack goes first (the old one
// when there is one); the boot information calls for the right one.
TEST_F(TlctrlUpgradingTest, DeviceStartingInItsBootLoaderGetsTheBinTheUserChooses) {
  SKIP_WITHOUT_DISPLAY();
  struct Case {
    std::vector<std::string> boots;
    int loadersSent;
  } cases[] = {{{"BOOT_LOAD_H00.bin", "BOOT_LOAD_H49.bin"}, 2}, {{"BOOT_LOAD_H49.bin"}, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.loadersSent);
    // The hardware of the device upgraded before must not carry over.
    RevPackDb::setActHwSwVers("", "", "", "");
    makeSystem({"--boot"});
    dialogs.alerts.clear();
    dialogs.upgradesStarted = 0;
    statuses.clear();
    std::filesystem::remove_all("RevPacks");
    std::filesystem::remove_all("bins");
    std::vector<uint8_t> image = imageOf(1000);
    ASSERT_FALSE(makePack(image, c.boots).empty());
    sys->start();
    ASSERT_TRUE(runUpgrade(40000)) << sys->simLog();
    EXPECT_EQ(1, dialogs.upgradesStarted);
    ASSERT_FALSE(dialogs.alerts.empty());
    EXPECT_NE(std::string::npos,
              dialogs.alerts[0].find("Revisie pakketten (*.rpa) en bin bestanden zijn bij uw leverancier verkrijgbaar."));
    EXPECT_EQ(0u, dialogs.alerts[0].find("De aangesloten Tolvan bevat geen geldige software.\n\n")) << dialogs.alerts[0];
    EXPECT_EQ(c.loadersSent, sys->simCount("RX", "boot-load-data"));
    EXPECT_EQ(0, sys->simCount("RX", "upgrade-request"));
    EXPECT_EQ(padded(image), deviceImage());
    EXPECT_EQ(0, Main::_exitCode);
    EXPECT_FALSE(sys->root()->upgrInitByTol());
    for (const std::string& st : statuses) EXPECT_EQ(std::string::npos, st.find("No 2nd boot")) << st;
    // A device in its boot loader has no settings to give.
    EXPECT_EQ(0, sys->simCount("RX", "download-request"));
    EXPECT_TRUE(onlyBackup().empty());
    Main::_shutdown = true;
    sys.reset();
    Main::_shutdown = false;
  }
}

TEST_F(TlctrlUpgradingTest, ClosingTheProgramWhileTheBinIsAskedForMakesNoUpgrade) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({"--boot"});
  ASSERT_FALSE(makePack(imageOf(1000), {"BOOT_LOAD_H00.bin", "BOOT_LOAD_H49.bin"}).empty());
  dialogs.closeOnAlert = true;
  sys->start();
  ASSERT_TRUE(sys->pump([&] { return Main::shutdownActive(); }, 5000));
  sys->run(300);
  EXPECT_EQ(TlctrlRoot::TLCTRLCONNECTED, sys->topState());
  EXPECT_EQ(-1, sys->subState());
  EXPECT_EQ(0, sys->simCount("RX", "boot-load-data"));
}

TEST_F(TlctrlUpgradingTest, BootLoadRequestWhileIdleWithABinLoadedUpgradesWithoutAsking) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({});
  std::vector<uint8_t> image = imageOf(1000);
  ASSERT_TRUE(upgradeInWindow(image, 30000));
  ASSERT_TRUE(sys->waitSim("RX", "eot", 1));
  // The device restarts into its boot loader by itself.
  sys->sim().command("boot");
  ASSERT_TRUE(runUpgrade(30000)) << sys->simLog();
  EXPECT_TRUE(dialogs.alerts.empty());
  EXPECT_EQ(1, sys->simCount("RX", "upgrade-request"));
  EXPECT_EQ(2, sys->simCount("RX", "boot-load-data"));
  EXPECT_TRUE(sys->waitSim("RX", "eot", 2));
  EXPECT_EQ(16u, packetNumbers(*sys).size());
  EXPECT_EQ(padded(image), deviceImage());
}

// Waits out the 30-second watchdog.
TEST_F(TlctrlUpgradingTest, BootInfoThatNeverFitsIsRetriedThriceThenTheWatchdogEndsTheUpgrade) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({"--misfit-bootinfo", "1000"});
  ASSERT_FALSE(makePack(imageOf(1000), {"BOOT_LOAD_H49.bin"}).empty());
  sys->start();
  ASSERT_TRUE(sys->waitConnectedIdle());
  // The device restarts into its boot loader by itself and asks for firmware.
  sys->sim().command("boot");
  ASSERT_TRUE(sys->pump([&] { return sys->subState() == TlctrlRoot::TLCTRLUPGRADING; }, 5000));
  EXPECT_EQ(1, dialogs.upgradesStarted);
  // Three new tries, then the step ends and the upgrade waits for its watchdog.
  ASSERT_TRUE(sys->pump([&] {
    BCompositeState* upg = dynamic_cast<BCompositeState*>(
        dynamic_cast<BCompositeState*>(sys->root()->bndToProt()->region(0))->region(0));
    return upg && upg->stateId() == TlctrlRoot::TLCTRLUPGRADING && upg->region(0) == nullptr;
  }, 20000));
  EXPECT_EQ(TlctrlUpgrWaitStatInfo::MAX_SELF_TRANSITIONS, TlctrlUpgrWaitStatInfo::selfTransition());
  EXPECT_TRUE(sys->waitSim("TX", "boot-info", 4));
  EXPECT_EQ(0, sys->simCount("RX", "packet"));
  auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(sys->pump([&] { return sys->topState() == TlctrlRoot::TLCTRLDISCONNECTED; }, 35000));
  EXPECT_GT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(20));
  EXPECT_FALSE(sys->root()->upgrInitByTol());
}

// Waits out the 30-second watchdog.
TEST_F(TlctrlUpgradingTest, DeviceFallingSilentInTheTransferIsLostAndFoundAgain) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({"--silent-after-packet", "3"});
  std::vector<uint8_t> image = imageOf(2000);
  ASSERT_FALSE(makePack(image, {"BOOT_LOAD_H49.bin"}).empty());
  sys->start();
  ASSERT_TRUE(sys->waitConnectedIdle());
  dialogs.chooseOnAlert = false;
  ASSERT_TRUE(upgradeFromWindow());
  ASSERT_TRUE(sys->waitSim("RX", "packet", 3, 10000));
  ASSERT_TRUE(sys->pump([&] { return sys->topState() == TlctrlRoot::TLCTRLDISCONNECTED; }, 40000));
  EXPECT_EQ("Tolvan niet aangesloten", sys->status());
  EXPECT_TRUE(sys->statusRed());
  // Back on the line, the device waits in its boot loader; the user is
  // asked for the bin once more and the upgrade completes.
  dialogs.chooseOnAlert = true;
  sys->sim().command("silent off");
  statuses.clear();
  ASSERT_TRUE(runUpgrade(30000)) << sys->simLog();
  EXPECT_EQ(padded(image), deviceImage());
  EXPECT_EQ(0, Main::_exitCode);
}

namespace {

// Settings a pack carries beside its bin: 200 lines text|number.
std::string packSettings() {
  return kvnText([](int n) {
    if (n == SettingBin::TOLTYPE_POS) return std::make_pair(std::string("TL8888GM-ED"), std::string());
    if (n == SettingBin::TOLSPECIAL_POS) return std::make_pair(std::string("STD"), std::string());
    return std::make_pair("Pre" + std::to_string(n), std::to_string(7770000 + n));
  });
}

// The settings file extracted from the chosen bin, loaded for programming.
void loadPreUpdateSettings(CtrlSystem& sys, bool preUpgrade) {
  SettingBin* sb = sys.store();
  sb->editFromDownload(false);
  sb->file(RevPackDb::activeKvnFile());
  ASSERT_TRUE(sb->loadFromFile());
  sb->progPreUpgrade(preUpgrade);
  sys.post(new TlctrlUplReqEvt());
}

size_t logPos(CtrlSystem& sys, const std::string& what) { return sys.simLog().find(what); }

// A pack whose bin carries settings, its bin chosen on the upgrade sheet
// of a connected program: the settings wait to go in first.
void chooseBinWithSettings(CtrlSystem& sys, const std::vector<uint8_t>& image) {
  std::filesystem::create_directory("bins");
  writeFile("bins/TL8888GM-ED_620.kvn", packSettings());
  ASSERT_FALSE(makePack(image, {"BOOT_LOAD_H49.bin"}).empty());
  sys.start();
  ASSERT_TRUE(sys.waitConnectedIdle());
  FrmKestrumImpl* impl = sys.root()->frmImpl();
  impl->btOptionsWindow();
  sys.root()->frame()->optUpgrade()->value(1);
  impl->btOptionsOk();
  ASSERT_TRUE(impl->binList());
  impl->binList()->choose(BIN_GROUP);
  ASSERT_STREQ("kvn_pre_update.kvn", RevPackDb::activeKvnFile());
}

}  // namespace

TEST_F(TlctrlUpgradingTest, SettingsProgrammedBeforeTheUpgradeAreFollowedByTheUpgrade) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({"--out", "@out.kvn"});
  std::vector<uint8_t> image = imageOf(1000);
  ASSERT_NO_FATAL_FAILURE(chooseBinWithSettings(*sys, image));
  loadPreUpdateSettings(*sys, true);
  ASSERT_TRUE(runUpgrade(40000)) << sys->simLog();
  EXPECT_EQ(packSettings(), readFile(sys->path("out.kvn")));
  EXPECT_EQ(padded(image), deviceImage());
  EXPECT_LT(logPos(*sys, "upload-end"), logPos(*sys, "upgrade-request"));
  EXPECT_STREQ("", RevPackDb::activeKvnFile());
  EXPECT_FALSE(sys->store()->progPreUpgrade());
}

TEST_F(TlctrlUpgradingTest, PlainProgrammingAfterChoosingABinWithSettingsStartsNoUpgrade) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({"--out", "@out.kvn"});
  ASSERT_NO_FATAL_FAILURE(chooseBinWithSettings(*sys, imageOf(1000)));
  loadPreUpdateSettings(*sys, false);
  ASSERT_TRUE(sys->pump([&] { return sys->subState() == TlctrlRoot::TLCTRLUPLOADING; }, 3000));
  ASSERT_TRUE(sys->pump([&] { return sys->subState() == TlctrlRoot::TLCTRLCONNIDLE; }, 30000));
  sys->run(500);
  EXPECT_EQ(TlctrlRoot::TLCTRLCONNIDLE, sys->subState());
  EXPECT_EQ(0, sys->simCount("RX", "upgrade-request"));
  EXPECT_EQ(packSettings(), readFile(sys->path("out.kvn")));
}
