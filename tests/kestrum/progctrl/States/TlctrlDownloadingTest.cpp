#include <gtest/gtest.h>

#include <FL/Fl_Button.H>

#include <set>

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
    return sys.subState() == TlctrlRoot::TLCTRLCONNIDLE && trail.seen.size() > 2;
  }, 60000));
  EXPECT_TRUE(busyButtons);
  EXPECT_TRUE(sys.root()->frame()->btOphalen()->active());
  EXPECT_TRUE(trail.has("Ophalen #1 gereed."));
  EXPECT_TRUE(trail.has("Ophalen #200 gereed."));
  EXPECT_EQ("Verbonden", sys.status());
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
    lost = lost || (sys.topState() == TlctrlRoot::TLCTRLDISCONNECTED && sys.status() == "Tolvan niet aangesloten");
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
  sys.root()->frame()->btOphalen()->do_callback();
  ASSERT_TRUE(sys.pump([&] { return sys.simCount("TX", "download-end") == 1 &&
                                    sys.subState() == TlctrlRoot::TLCTRLCONNIDLE; }, 5000));
  EXPECT_STREQ("Kept", sys.store()->getEntry(7)->text);
  EXPECT_NE(nullptr, sys.root()->frame()->settingEdit());
}
