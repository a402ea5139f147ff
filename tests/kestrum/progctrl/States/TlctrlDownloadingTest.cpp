#include <gtest/gtest.h>

#include <FL/Fl_Button.H>

#include <cstdlib>
#include <cstring>
#include <set>

#include "SBTabs.h"

#include "CtrlHarness.h"
#include "TestTime.h"

// "Ophalen": the device's entries into the settings store.

namespace {

std::pair<std::string, std::string> deviceEntry(int n) {
  if (n == SettingBin::TOLTYPE_POS) return {"TL8888GM-ED", ""};
  if (n == SettingBin::TOLSPECIAL_POS) return {"STD", ""};
  return {"Dev" + std::to_string(n), "06" + std::to_string(10000000 + n)};
}

// Follows the status line round by round.
struct StatusTrail {
  std::vector<std::string> seen;
  void note(const std::string& s) {
    if (seen.empty() || seen.back() != s) seen.push_back(s);
  }
  bool has(const std::string& s) const {
    for (const std::string& x : seen)
      if (x == s) return true;
    return false;
  }
};

}  // namespace

TEST(TlctrlDownloading, EveryEntryOfTheDeviceArrivesInTheStore) {
  SKIP_WITHOUT_DISPLAY();
  std::string kvn = kvnText(deviceEntry);
  CtrlSystem sys({"--kvn", "@device.kvn"}, "", {{"device.kvn", kvn}});
  sys.start();
  ASSERT_TRUE(sys.waitConnectedIdle());
  // The window's "Ophalen" button posts the request.
  sys.root()->frame()->btOphalen()->do_callback();
  StatusTrail trail;
  bool busyButtons = false;
  ASSERT_TRUE(sys.pump([&] {
    trail.note(sys.status());
    if (sys.subState() == TlctrlRoot::TLCTRLDOWNLOADING && !sys.root()->frame()->btOphalen()->active())
      busyButtons = true;
    return sys.subState() == TlctrlRoot::TLCTRLCONNIDLE && trail.has("Ophalen gereed: 200 instellingen") &&
           sys.status() == "Verbonden";
  }, 60000));
  EXPECT_TRUE(busyButtons);
  EXPECT_TRUE(sys.root()->frame()->btOphalen()->active());
  EXPECT_TRUE(trail.has("Ophalen #1 gereed."));
  EXPECT_TRUE(trail.has("Ophalen #200 gereed."));
  // The fetched settings are in no file yet.
  EXPECT_TRUE(sys.store()->modified());
  EXPECT_EQ(200, sys.simCount("RX", "ack"));
  for (int n = 1; n <= 200; ++n) {
    auto want = deviceEntry(n);
    SettingBin::SettingEntry* e = sys.store()->getEntry(n);
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(want.first, e->text) << "entry " << n;
    EXPECT_EQ(want.second, e->tfnr) << "entry " << n;
  }
  // The form was built again from the store.
  EXPECT_NE(nullptr, sys.root()->frame()->settingEdit());
  EXPECT_TRUE(sys.root()->isArmedLifeCkTimeout());
}

TEST(TlctrlDownloading, BusyRepliesRepeatTheRequestUntilTheDeviceSends) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--kvn", "@device.kvn"}, "", {{"device.kvn", kvnText(deviceEntry)}});
  sys.start();
  ASSERT_TRUE(sys.waitConnectedIdle());
  sys.sim().command("wait 2");
  sys.root()->frame()->btOphalen()->do_callback();
  StatusTrail trail;
  ASSERT_TRUE(sys.pump([&] {
    trail.note(sys.status());
    return sys.subState() == TlctrlRoot::TLCTRLCONNIDLE && trail.has("Ophalen #200 gereed.");
  }, 60000));
  EXPECT_TRUE(trail.has("Ophalen, wacht tot Tolvan gereed is ...."));
  EXPECT_EQ(3, sys.simCount("RX", "download-request"));
  EXPECT_EQ(2, sys.simCount("TX", "waiting"));
  EXPECT_STREQ("Dev200", sys.store()->getEntry(200)->text);
}

// A device that answers "waiting" for ever is given up within the stall
// limit as not connected, and the window is usable again.
TEST(TlctrlDownloading, DeviceBusyForEverIsGivenUpAsNotConnected) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--wait", "1000000"});
  sys.start();
  ASSERT_TRUE(sys.waitConnectedIdle());
  Main::_exitCode = 0;
  sys.root()->frame()->btOphalen()->do_callback();
  bool lost = false;
  ASSERT_TRUE(sys.pump([&] {
    lost = lost || (sys.topState() == TlctrlRoot::TLCTRLDISCONNECTED && sys.status().rfind("Tolvan niet aangesloten", 0) == 0);
    return lost;
  }, scaledMs(60000)));
  EXPECT_EQ(1, Main::_exitCode);
  EXPECT_TRUE(sys.root()->frame()->btOphalen()->active());
}

TEST(TlctrlDownloading, EndWithoutEntriesRebuildsTheFormFromTheUnchangedStore) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--entries", "0"});
  sys.start();
  ASSERT_TRUE(sys.waitConnectedIdle());
  sys.store()->setEntry(7, "Kept", "77", false, SBEntry::INVALID_TYPE);
  sys.store()->markUnmodified();
  sys.root()->frame()->btOphalen()->do_callback();
  ASSERT_TRUE(sys.pump([&] { return sys.simCount("TX", "download-end") == 1 &&
                                    sys.subState() == TlctrlRoot::TLCTRLCONNIDLE; }, 5000));
  EXPECT_STREQ("Kept", sys.store()->getEntry(7)->text);
  EXPECT_NE(nullptr, sys.root()->frame()->settingEdit());
}

TEST(TlctrlDownloading, AnInterruptedFetchLeavesSettingsAndFormAsTheyWere) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({"--kvn", "@device.kvn"}, "", {{"device.kvn", kvnText(deviceEntry)}});
  sys.start();
  ASSERT_TRUE(sys.waitConnectedIdle());
  // Settings opened from a file, with their form.
  writeFile(sys.path("file.kvn"), kvnText([](int n) {
    if (n == SettingBin::TOLTYPE_POS) return std::make_pair(std::string("TL8888GM-ED"), std::string());
    return std::make_pair("File" + std::to_string(n), std::to_string(n));
  }));
  sys.store()->editFromDownload(false);
  sys.store()->file(sys.path("file.kvn").c_str());
  ASSERT_TRUE(sys.store()->loadFromFile());
  SBTabs* form = sys.root()->frame()->settingEdit();
  int sheets = form->children();
  ASSERT_GT(sheets, 0);
  sys.root()->frame()->btOphalen()->do_callback();
  // The device goes silent part way.
  std::string lastProgress;
  bool lockedForm = false;
  ASSERT_TRUE(sys.pump([&] {
    std::string s = sys.status();
    if (s.rfind("Ophalen #", 0) == 0) lastProgress = s;
    if (sys.subState() == TlctrlRoot::TLCTRLDOWNLOADING && !form->active()) lockedForm = true;
    return !lastProgress.empty() && std::atoi(lastProgress.c_str() + strlen("Ophalen #")) >= 36;
  }, 30000));
  sys.sim().command("silent on");
  EXPECT_TRUE(lockedForm);
  ASSERT_TRUE(sys.pump([&] {
    std::string s = sys.status();
    if (s.rfind("Ophalen #", 0) == 0) lastProgress = s;
    return sys.subState() != TlctrlRoot::TLCTRLDOWNLOADING;
  }, 30000));
  // However far the device got, nothing of it is in the settings.
  int last = std::atoi(lastProgress.c_str() + strlen("Ophalen #"));
  ASSERT_GE(last, 36);
  // Said beside the connection's own state, which is not hidden.
  std::string said = "; Ophalen afgebroken na #" + std::to_string(last);
  auto saysSo = [&] {
    std::string s = sys.status();
    return s.size() > said.size() && s.compare(s.size() - said.size(), said.size(), said) == 0;
  };
  EXPECT_TRUE(saysSo()) << sys.status();
  for (int n : {1, 36, 37, 200}) EXPECT_EQ("File" + std::to_string(n), sys.store()->getEntry(n)->text) << n;
  EXPECT_FALSE(sys.store()->modified());
  EXPECT_EQ(sys.path("file.kvn"), sys.store()->file());
  EXPECT_EQ(sheets, form->children());
  EXPECT_TRUE(form->active());
  EXPECT_EQ(sys.store(), form->settingBin());
  // It stays said while the device is away.
  sys.run(1500);
  EXPECT_TRUE(saysSo()) << sys.status();
}
