#include <gtest/gtest.h>

#include <cstdlib>

#include "CtrlHarness.h"
#include "SBTabs.h"

// "Ophalen": the device's entries into the settings store.

// One device fetched from in turn. "Programmeren" with nothing to program
// says why and asks the device nothing; a fetch that ends without entries
// leaves the store as it was; so does one the device breaks off, however far
// it got, and that is said beside the connection's own state. A device busy
// twice before it sends, then sending damaged frames and noise: the request
// is repeated, every damaged frame refused and sent again, and every entry
// arrives in the store; the form is built again.
TEST(TlctrlDownloading, OnlyAWholeFetchChangesTheStore) {
  SKIP_WITHOUT_DISPLAY();
  const EntryMaker deviceEntry = settingsOf("Dev", 10000000, "06");
  CtrlSystem sys({"--kvn", "@device.kvn", "--entries", "0"}, "", {{"device.kvn", kvnText(deviceEntry)}});
  sys.start();
  ASSERT_TRUE(sys.waitConnectedIdle());
  for (const char* why : {"er zijn geen instellingen (Nieuw, Open of Ophalen)",
                          "het Tolvan type van de instellingen is onbekend"}) {
    sys.frame()->btProgrammeren()->do_callback();
    ASSERT_TRUE(sys.waitStatus(std::string("Niet geprogrammeerd: ") + why, 5000)) << sys.status();
    EXPECT_EQ(TlctrlRoot::TLCTRLCONNIDLE, sys.subState());
    sys.store()->setEntry(3, "iets", nullptr, false, SBEntry::ASCII_INPUT_TYPE);
  }
  EXPECT_EQ(0, sys.simCount("RX", "upload-request"));
  sys.store()->setEntry(7, "Kept", "77", false, SBEntry::INVALID_TYPE);
  sys.store()->markUnmodified();
  sys.frame()->btOphalen()->do_callback();
  ASSERT_TRUE(sys.pump([&] { return sys.simCount("TX", "download-end") == 1 &&
                                    sys.subState() == TlctrlRoot::TLCTRLCONNIDLE; }, 5000));
  EXPECT_STREQ("Kept", sys.store()->getEntry(7)->text);
  EXPECT_NE(nullptr, sys.frame()->settingEdit());

  // Settings opened from a file, with their form; the device goes silent
  // part way through the fetch.
  ASSERT_EQ("OK entries 200", sys.sim().command("entries 200"));
  writeFile(sys.path("settings.kvn"), kvnText(settingsOf("File", 0)));
  sys.store()->editFromDownload(false);
  sys.store()->file(sys.path("settings.kvn").c_str());
  ASSERT_TRUE(sys.store()->loadFromFile());
  SBTabs* form = sys.frame()->settingEdit();
  int sheets = form->children();
  ASSERT_GT(sheets, 0);
  sys.trail.clear();
  sys.frame()->btOphalen()->do_callback();
  auto progress = [&] {
    int last = 0;
    for (const std::string& s : sys.trail)
      if (s.rfind("Ophalen #", 0) == 0) last = std::atoi(s.c_str() + 9);
    return last;
  };
  bool lockedForm = false;
  ASSERT_TRUE(sys.pump([&] {
    if (sys.subState() == TlctrlRoot::TLCTRLDOWNLOADING && !form->active()) lockedForm = true;
    return progress() >= 36;
  }, 30000));
  sys.sim().command("silent on");
  EXPECT_TRUE(lockedForm);
  ASSERT_TRUE(sys.pump([&] { return sys.subState() != TlctrlRoot::TLCTRLDOWNLOADING; }, 30000));
  std::string said = "; Ophalen afgebroken na #" + std::to_string(progress());
  auto saysSo = [&] {
    std::string s = sys.status();
    return s.size() > said.size() && s.compare(s.size() - said.size(), said.size(), said) == 0;
  };
  EXPECT_TRUE(saysSo()) << sys.status();
  for (int n : {1, 36, 37, 200}) EXPECT_EQ("File" + std::to_string(n), sys.store()->getEntry(n)->text) << n;
  EXPECT_FALSE(sys.store()->modified());
  EXPECT_EQ(sys.path("settings.kvn"), sys.store()->file());
  EXPECT_EQ(sheets, form->children());
  EXPECT_TRUE(form->active());
  EXPECT_EQ(sys.store(), form->settingBin());
  // It stays said while the device is away.
  sys.run(1500);
  EXPECT_TRUE(saysSo()) << sys.status();

  sys.sim().command("silent off");
  ASSERT_TRUE(sys.waitConnectedIdle(15000));
  int requests = sys.simCount("RX", "download-request");
  sys.sim().command("wait 2");
  sys.frame()->btOphalen()->do_callback();
  ASSERT_TRUE(sys.waitSim("TX", "setting-entry", 5, 5000));
  sys.sim().command("corrupt 3");
  sys.sim().command("noise 7");
  bool busyButtons = false;
  ASSERT_TRUE(sys.pump([&] {
    if (sys.subState() == TlctrlRoot::TLCTRLDOWNLOADING && !sys.frame()->btOphalen()->active()) busyButtons = true;
    return sys.subState() == TlctrlRoot::TLCTRLCONNIDLE && sys.saw("Ophalen gereed: 200 instellingen") &&
           sys.status() == "Verbonden";
  }, 60000));
  EXPECT_TRUE(busyButtons);
  EXPECT_TRUE(sys.frame()->btOphalen()->active());
  for (const char* s : {"Ophalen, wacht tot Tolvan gereed is ....", "Ophalen #1 gereed.", "Ophalen #200 gereed."})
    EXPECT_TRUE(sys.saw(s)) << s;
  EXPECT_EQ(requests + 3, sys.simCount("RX", "download-request"));
  EXPECT_EQ(3, sys.simCount("RX", "nak"));
  EXPECT_GE(sys.simCount("TX", "noise"), 1);
  // The fetched settings are in no file yet.
  EXPECT_TRUE(sys.store()->modified());
  for (int n = 1; n <= 200; ++n) {
    EXPECT_EQ(deviceEntry(n).first, sys.store()->getEntry(n)->text) << "entry " << n;
    EXPECT_EQ(deviceEntry(n).second, sys.store()->getEntry(n)->tfnr) << "entry " << n;
  }
  EXPECT_NE(nullptr, sys.frame()->settingEdit());
  EXPECT_TRUE(sys.root()->isArmedLifeCkTimeout());
}
