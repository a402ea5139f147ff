#include <gtest/gtest.h>

#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Window.H>

#include "BLocalEvent.h"
#include "CtrlHarness.h"
#include "RPbinList.h"
#include "DiagCapture.h"
#include "RPbtUpgrade.h"
#include "RevPackDb.h"
#include "TlctrlUplReqEvt.h"
#include "TlctrlUpgrWaitStatInfo.h"

// Firmware upgrade: the image from a revision pack into the device, packet
// by packet, against the simulator's boot loader.

namespace {

const char* const BIN_GROUP = "Tolvan 8888 GSM_620.bin";

// Builds "RevPacks/<pack>.rpa" in the working directory from a bin whose
// application (from the start address 0x100 on) is image, the boot loaders
// named and, when given, the settings beside the bin.
bool makePack(const std::string& image, const std::vector<std::string>& boots,
              const std::string& settings = "") {
  std::filesystem::create_directory("bins");
  writeFile("bins/TL8888GM-ED_620.bin", std::string(0x100, '\xEE') + image);
  if (!settings.empty()) writeFile("bins/TL8888GM-ED_620.kvn", settings);
  for (const std::string& boot : boots) writeFile("bins/" + boot, std::string(1800, '\x5A'));
  RevPackDb db(nullptr);
  db.createDb("bins");
  for (auto& e : std::filesystem::directory_iterator("RevPacks"))
    if (e.path().extension() == ".rpa") return true;
  return false;
}

// The numbers of the packets the simulator received, in order.
std::vector<int> packetNumbers(CtrlSystem& sys) {
  std::vector<int> out;
  for (const std::string& l : textLines(sys.simLog())) {
    size_t at = l.find(" RX ") == std::string::npos ? std::string::npos : l.find(" packet ");
    if (at != std::string::npos) out.push_back(std::stoi(l.substr(at + 8)));
  }
  return out;
}

// The bin chosen on the upgrade sheet and the upgrade button pressed.
bool chooseBinAndUpgrade(FrmKestrumImpl* impl) {
  if (!impl || !impl->binList()) return false;
  impl->binList()->choose(BIN_GROUP);
  return impl->btExecUpgrade();
}

// Answers the request for a bin file the way a user does, from within the
// window's loop while the controller waits.
class BinChoosingDialogs : public DialogScript {
public:
  explicit BinChoosingDialogs(std::unique_ptr<CtrlSystem>& sys) : _sys(sys) {}
  void alert(const char* t) override {
    DialogScript::alert(t);
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
    if (self->_sys && self->_sys->root() && chooseBinAndUpgrade(self->_sys->root()->frmImpl()))
      ++self->upgradesStarted;
  }
  std::unique_ptr<CtrlSystem>& _sys;
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
    endSystem();
    RevPackDb::setActHwSwVers("", "", "", "");
    RevPackDb::bootPauseMs(2000);
  }
  // A boot load request still queued must not open the modal wait now.
  void endSystem() {
    Main::_shutdown = true;
    sys.reset();
    Main::_shutdown = false;
  }
  // A fresh system; the working directory holds a pack of the image.
  void makeSystem(std::vector<std::string> simArgs, const std::string& image,
                  const std::vector<std::pair<std::string, std::string>>& files = {},
                  const std::vector<std::string>& boots = {"BOOT_LOAD_H49.bin"}, const std::string& settings = "") {
    endSystem();
    simArgs.insert(simArgs.end(), {"--image-out", "@image.bin"});
    sys.reset(new CtrlSystem(simArgs, "", files));
    UserDialog::script(&dialogs);
    dialogs.alerts.clear();
    dialogs.questions.clear();
    dialogs.upgradesStarted = 0;
    ASSERT_TRUE(makePack(image, boots, settings));
  }
  bool startConnected() {
    sys->start();
    return sys->waitConnectedIdle();
  }
  // The upgrade sheet opened (or closed) through the options.
  void upgradeSheet(bool on) {
    FrmKestrumImpl* impl = sys->root()->frmImpl();
    impl->btOptionsWindow();
    sys->frame()->optUpgrade()->value(on ? 1 : 0);
    impl->btOptionsOk();
  }
  bool upgradeFromWindow() {
    upgradeSheet(true);
    return chooseBinAndUpgrade(sys->root()->frmImpl());
  }
  // Runs until the upgrade has ended.
  bool runUpgrade(int ms) {
    bool entered = false;
    return sys->pump([&] {
      if (sys->subState() == TlctrlRoot::TLCTRLUPGRADING) entered = true;
      return entered && sys->subState() == TlctrlRoot::TLCTRLCONNIDLE;
    }, ms);
  }
  std::string deviceImage() {
    for (int i = 0; i < 200 && readFile(sys->path("image.bin")).empty(); ++i) sys->run(20);
    return readFile(sys->path("image.bin"));
  }
  bool upgrading() { return sys->pump([&] { return sys->subState() == TlctrlRoot::TLCTRLUPGRADING; }, 15000); }

  std::unique_ptr<CtrlSystem> sys;
  BinChoosingDialogs dialogs{sys};
};

// The one file in backups/ of the working directory; empty when none.
std::string onlyBackup() {
  std::vector<std::string> found;
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator("backups", ec)) found.push_back("backups/" + e.path().filename().string());
  return found.size() == 1 ? found[0] : "";
}

}  // namespace

// Asked for while a status info is half received, the upgrade waits for the
// rest of it (the frame behind would be lost). The device's settings are
// saved, the image goes in, the device comes back with the new software;
// when it later restarts into its boot loader by itself, the loaded bin goes
// in again without asking.
TEST_F(TlctrlUpgradingTest, UpgradeFromTheWindowLeavesExactlyTheImageInTheDevice) {
  SKIP_WITHOUT_DISPLAY();
  std::string image = firmwareImage(1000);
  makeSystem({"--kvn", "@dev.kvn"}, image, {{"dev.kvn", kvnText(settingsOf("Dev", 5550000))}});
  ASSERT_TRUE(startConnected());
  DiagCapture cap;
  sys->root()->debugLevel(0x0020);
  ASSERT_EQ("OK split 20 600000", sys->sim().command("split 20 600000"));
  ASSERT_TRUE(sys->waitSim("--", "split: 20 of", 1, 5000)) << sys->simLog();
  ASSERT_TRUE(sys->pump([] { return TlcdrvRoot::unitArriving(); }, 5000));
  ASSERT_TRUE(upgradeFromWindow());
  std::string held = "holdRequest sig=" + std::to_string(TlctrlRoot::LOC_UPGRADE_REQ);
  ASSERT_TRUE(sys->pump([&] { return cap.has(held); }, 5000)) << cap.remote;
  EXPECT_EQ(0, sys->simCount("RX", "download-request"));
  ASSERT_EQ("OK release", sys->sim().command("release"));
  ASSERT_TRUE(runUpgrade(30000)) << sys->simLog();
  EXPECT_EQ(padded(image), deviceImage());
  EXPECT_TRUE(sys->saw("Upgrading 12% ready"));
  EXPECT_TRUE(sys->saw("Upgrading 100% ready"));
  // Before anything was written, the device's settings were saved.
  std::string backup = onlyBackup();
  EXPECT_EQ(0u, backup.find("backups/TL8888GM-ED_")) << backup;
  EXPECT_EQ(kvnText(settingsOf("Dev", 5550000)), readFile(backup));
  EXPECT_LT(sys->simLog().find("download-request"), sys->simLog().find("upgrade-request"));
  // The device comes back running the new software, and the user is told.
  std::string done = "Upgrade gereed: TL-6.20. Backup van de instellingen: " + backup;
  EXPECT_TRUE(sys->waitStatus(done, 5000)) << sys->status();
  EXPECT_TRUE(sys->frame()->btProgrammeren()->active());
  EXPECT_TRUE(sys->root()->frmImpl()->btUpgrade()->active());

  dialogs.alerts.clear();
  std::filesystem::remove(sys->path("image.bin"));
  sys->sim().command("boot");
  ASSERT_TRUE(runUpgrade(30000)) << sys->simLog();
  EXPECT_TRUE(dialogs.alerts.empty());
  EXPECT_EQ(1, sys->simCount("RX", "upgrade-request"));
  EXPECT_EQ(2, sys->simCount("RX", "boot-load-data"));
  EXPECT_EQ(padded(image), deviceImage());
}

// A refused packet is sent again from the start of its 512-byte segment; the
// packet numbers wrap from 255 to 0.
TEST_F(TlctrlUpgradingTest, NakAfterPacketSixResendsFromPacketFiveAndNumbersWrapAt255) {
  SKIP_WITHOUT_DISPLAY();
  std::string image = firmwareImage(33000);
  makeSystem({"--nak-packet", "6"}, image);
  ASSERT_TRUE(startConnected());
  ASSERT_TRUE(upgradeFromWindow());
  ASSERT_TRUE(runUpgrade(60000)) << sys->simLog();
  std::vector<int> numbers = packetNumbers(*sys);
  ASSERT_EQ(260u, numbers.size());
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6, 5, 6, 7}), std::vector<int>(numbers.begin(), numbers.begin() + 9));
  EXPECT_EQ((std::vector<int>{255, 0, 1}), std::vector<int>(numbers.begin() + 256, numbers.begin() + 259));
  EXPECT_EQ(padded(image), deviceImage());
}

// The device answers every request for its settings with "waiting": no
// backup. The window asks; only "Ja" goes on. The upgrade sheet rests the
// life check; leaving it any way but "Upgrade" switches it back on, so a
// device that goes away is noticed again. An upgrade asked for without a
// bin leaves the device alone.
TEST_F(TlctrlUpgradingTest, DeviceThatKeepsItsSettingsIsUpgradedOnlyWhenTheUserSaysSo) {
  SKIP_WITHOUT_DISPLAY();
  std::string image = firmwareImage(1000);
  makeSystem({"--wait", "1000000"}, image);
  ASSERT_TRUE(startConnected());
  sys->post(new BLocalEvent(TlctrlRoot::LOC_UPGRADE_REQ, true));
  sys->run(500);
  EXPECT_EQ(TlctrlRoot::TLCTRLCONNIDLE, sys->subState());
  for (int answer : {1, 0}) {
    SCOPED_TRACE(answer);
    dialogs.questions.clear();
    dialogs.answers = {answer};
    ASSERT_TRUE(upgradeFromWindow());
    ASSERT_TRUE(sys->pump([&] { return !dialogs.questions.empty(); }, 20000));
    EXPECT_EQ(0u, dialogs.questions[0].find("Geen backup van de instellingen: de Tolvan geeft zijn instellingen niet"))
        << dialogs.questions[0];
    EXPECT_NE(std::string::npos, dialogs.questions[0].find("Toch upgraden zonder backup?"));
    if (answer == 1) {
      ASSERT_TRUE(runUpgrade(30000)) << sys->simLog();
      EXPECT_EQ(padded(image), deviceImage());
      EXPECT_TRUE(sys->waitStatus("Upgrade gereed: TL-6.20", 5000)) << sys->status();
    }
  }
  EXPECT_TRUE(sys->waitStatus("Upgrade niet gestart: geen backup van de instellingen", 3000)) << sys->status();
  EXPECT_TRUE(sys->statusRed());
  sys->run(300);
  EXPECT_EQ(TlctrlRoot::TLCTRLCONNIDLE, sys->subState());
  EXPECT_EQ(1, sys->simCount("RX", "upgrade-request"));
  EXPECT_TRUE(onlyBackup().empty());
  // The sheet is usable and the life check is on again.
  FrmKestrumImpl* impl = sys->root()->frmImpl();
  EXPECT_TRUE(impl->btUpgrade()->active());
  EXPECT_TRUE(sys->root()->activeLifeCk());
  EXPECT_TRUE(sys->root()->isArmedLifeCkTimeout());
  std::function<void()> leave[] = {[&] { upgradeSheet(false); }, [&] { impl->btOphalen(); }};
  for (auto& how : leave) {
    upgradeSheet(true);
    ASSERT_NE(nullptr, impl->btUpgrade());
    EXPECT_FALSE(sys->root()->activeLifeCk());
    how();
    sys->run(200);
    EXPECT_EQ(nullptr, impl->btUpgrade());
    EXPECT_TRUE(sys->root()->activeLifeCk());
    EXPECT_TRUE(sys->root()->isArmedLifeCkTimeout());
  }
}

// Closing during an upgrade asks first. On the screen the question does not
// hold the program: the upgrade goes on while it is open.
TEST_F(TlctrlUpgradingTest, ClosingDuringAnUpgradeAsksFirstAndTheUpgradeGoesOnMeanwhile) {
  SKIP_WITHOUT_DISPLAY();
  std::string image = firmwareImage(20000);
  makeSystem({}, image);
  ASSERT_TRUE(startConnected());
  ASSERT_TRUE(upgradeFromWindow());
  ASSERT_TRUE(upgrading());
  FrmKestrumImpl* impl = sys->root()->frmImpl();
  dialogs.answers = {0, 1};
  impl->closeRequest();
  ASSERT_EQ(1u, dialogs.questions.size());
  EXPECT_EQ("Upgrade bezig: toch afsluiten?", dialogs.questions[0]);
  EXPECT_FALSE(Main::shutdownActive());
  impl->closeRequest();
  EXPECT_TRUE(Main::shutdownActive());
  // Ended in the middle, the upgrade does not count as done.
  EXPECT_EQ(1, Main::_exitCode);

  Main::_shutdown = false;
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

// Not knowing the hardware, a loader of the pack goes first (the old one
// when there is one); the boot information calls for the right one. An
// image of one packet ends with EOT after the first acknowledge.
TEST_F(TlctrlUpgradingTest, DeviceStartingInItsBootLoaderGetsTheBinTheUserChooses) {
  SKIP_WITHOUT_DISPLAY();
  struct Case {
    std::vector<std::string> boots;
    int loadersSent;
    size_t imageSize;
  } cases[] = {{{"BOOT_LOAD_H00.bin", "BOOT_LOAD_H49.bin"}, 2, 1000}, {{"BOOT_LOAD_H49.bin"}, 1, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.loadersSent);
    // The hardware of the device upgraded before must not carry over.
    RevPackDb::setActHwSwVers("", "", "", "");
    std::string image = firmwareImage(c.imageSize);
    makeSystem({"--boot"}, image, {}, c.boots);
    sys->start();
    ASSERT_TRUE(runUpgrade(40000)) << sys->simLog();
    EXPECT_EQ(1, dialogs.upgradesStarted);
    ASSERT_FALSE(dialogs.alerts.empty());
    EXPECT_EQ(0u, dialogs.alerts[0].find("De aangesloten Tolvan bevat geen geldige software.\n\n")) << dialogs.alerts[0];
    EXPECT_EQ(c.loadersSent, sys->simCount("RX", "boot-load-data"));
    EXPECT_EQ(0, sys->simCount("RX", "upgrade-request"));
    EXPECT_EQ(padded(image), deviceImage());
    EXPECT_EQ(1, sys->simCount("RX", "eot"));
    EXPECT_EQ(0, Main::_exitCode);
    EXPECT_FALSE(sys->root()->upgrInitByTol());
    for (const std::string& st : sys->trail) EXPECT_EQ(std::string::npos, st.find("No 2nd boot")) << st;
    // A device in its boot loader has no settings to give.
    EXPECT_EQ(0, sys->simCount("RX", "download-request"));
  }
}

TEST_F(TlctrlUpgradingTest, ClosingTheProgramWhileTheBinIsAskedForMakesNoUpgrade) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({"--boot"}, firmwareImage(1000), {}, {"BOOT_LOAD_H00.bin", "BOOT_LOAD_H49.bin"});
  dialogs.closeOnAlert = true;
  sys->start();
  ASSERT_TRUE(sys->pump([&] { return Main::shutdownActive(); }, 5000));
  sys->run(300);
  EXPECT_EQ(TlctrlRoot::TLCTRLCONNECTED, sys->topState());
  EXPECT_EQ(-1, sys->subState());
  EXPECT_EQ(0, sys->simCount("RX", "boot-load-data"));
}

// Waits out the 30-second watchdog.
TEST_F(TlctrlUpgradingTest, BootInfoThatNeverFitsIsRetriedThriceThenTheWatchdogEndsTheUpgrade) {
  SKIP_WITHOUT_DISPLAY();
  makeSystem({"--misfit-bootinfo", "1000"}, firmwareImage(1000));
  ASSERT_TRUE(startConnected());
  // The device restarts into its boot loader by itself and asks for firmware.
  sys->sim().command("boot");
  ASSERT_TRUE(upgrading());
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
  std::string image = firmwareImage(2000);
  makeSystem({"--silent-after-packet", "3"}, image);
  ASSERT_TRUE(startConnected());
  dialogs.chooseOnAlert = false;
  ASSERT_TRUE(upgradeFromWindow());
  ASSERT_TRUE(sys->waitSim("RX", "packet", 3, 10000));
  ASSERT_TRUE(sys->pump([&] { return sys->topState() == TlctrlRoot::TLCTRLDISCONNECTED; }, 40000));
  // Back on the line, the device waits in its boot loader; the user is
  // asked for the bin once more and the upgrade completes.
  dialogs.chooseOnAlert = true;
  sys->sim().command("silent off");
  ASSERT_TRUE(runUpgrade(30000)) << sys->simLog();
  EXPECT_EQ(padded(image), deviceImage());
  EXPECT_EQ(0, Main::_exitCode);
}

// A bin whose pack carries settings: programmed plainly they are not
// followed by the upgrade; programmed as settings to go before the upgrade
// they are.
TEST_F(TlctrlUpgradingTest, SettingsOfTheBinProgrammedBeforeTheUpgradeAreFollowedByIt) {
  SKIP_WITHOUT_DISPLAY();
  std::string settings = kvnText(settingsOf("Pre", 7770000));
  std::string image = firmwareImage(1000);
  makeSystem({"--out", "@out.kvn"}, image, {}, {"BOOT_LOAD_H49.bin"}, settings);
  ASSERT_TRUE(startConnected());
  upgradeSheet(true);
  FrmKestrumImpl* impl = sys->root()->frmImpl();
  ASSERT_TRUE(impl->binList());
  impl->binList()->choose(BIN_GROUP);
  ASSERT_STREQ("kvn_pre_update.kvn", RevPackDb::activeKvnFile());
  SettingBin* sb = sys->store();
  sb->editFromDownload(false);
  sb->file(RevPackDb::activeKvnFile());
  ASSERT_TRUE(sb->loadFromFile());
  sys->post(new TlctrlUplReqEvt());
  ASSERT_TRUE(sys->waitSub(TlctrlRoot::TLCTRLUPLOADING, 3000));
  ASSERT_TRUE(sys->waitSub(TlctrlRoot::TLCTRLCONNIDLE, 30000));
  sys->run(500);
  EXPECT_EQ(TlctrlRoot::TLCTRLCONNIDLE, sys->subState());
  EXPECT_EQ(0, sys->simCount("RX", "upgrade-request"));

  sys->uploaded();
  std::filesystem::remove(sys->path("out.kvn"));
  sb->progPreUpgrade(true);
  sys->post(new TlctrlUplReqEvt());
  ASSERT_TRUE(runUpgrade(40000)) << sys->simLog();
  EXPECT_EQ(padded(image), deviceImage());
  EXPECT_LT(sys->simLog().rfind("upload-end"), sys->simLog().find("upgrade-request"));
  EXPECT_STREQ("", RevPackDb::activeKvnFile());
  EXPECT_FALSE(sb->progPreUpgrade());
  sys->uploaded();
  EXPECT_EQ(settings, readFile(sys->path("out.kvn")));
}
