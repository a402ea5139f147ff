#include <gtest/gtest.h>

#include <chrono>

#include "CtrlHarness.h"

// Finding the device, keeping the connection alive and losing it.

// One connection from its start to its loss and back: the device found at
// once, polled every second, its status byte errors alerted once per
// connection, lost ten seconds after it fell silent and found again.
TEST(TlctrlConnection, DeviceIsFoundPolledLostAfterTenSecondsOfSilenceAndFoundAgain) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys;
  sys.start();
  ASSERT_TRUE(sys.pump([&] { return !sys.status().empty(); }, 3000));
  EXPECT_EQ("Initializeren ...", sys.status());
  auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(sys.waitStatus("Verbonden", 3000));
  // Without waiting for the initialisation timer: the entry's request did.
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
  EXPECT_EQ(1, sys.simCount("RX", "status-request"));
  EXPECT_FALSE(sys.statusRed());
  FrmKestrum* frame = sys.frame();
  EXPECT_STREQ("TL8888GM-ED", sys.store()->connTolType());
  EXPECT_STREQ("6.12.03", sys.store()->connSwVer());
  EXPECT_NE(nullptr, strstr(frame->txtTolSwVer()->value(), "6.12.03"));
  EXPECT_STREQ("STD", frame->txtTolSpecial()->value());
  EXPECT_STREQ("H.49", frame->txtTolHwVer()->value());
  EXPECT_EQ(0, Main::_exitCode);

  int before = sys.simCount("RX", "status-request");
  sys.run(3300);
  int polls = sys.simCount("RX", "status-request") - before;
  EXPECT_GE(polls, 3);
  EXPECT_LE(polls, 4);
  EXPECT_TRUE(sys.root()->isArmedLifeCkTimeout());

  // Errors in the status byte: one alert, however often they come and go.
  for (const char* byte : {"status-byte 5", "status-byte 255", "status-byte 5"}) {
    int infos = sys.simCount("TX", "status-info");
    sys.sim().command(byte);
    ASSERT_TRUE(sys.waitSim("TX", "status-info", infos + 2, 5000));
  }
  EXPECT_TRUE(sys.root()->error(TlctrlRoot::CTRL_GENERAL));
  EXPECT_EQ(1u, sys.dialogs.alerts.size());

  ASSERT_EQ(0u, sys.sim().command("silent on").rfind("OK", 0));
  t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(sys.waitStatus("Tolvan niet aangesloten", 12500));
  EXPECT_GT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(8500));
  EXPECT_TRUE(sys.statusRed());
  EXPECT_EQ(1, Main::_exitCode);
  EXPECT_EQ(TlctrlRoot::TLCTRLDISCONNECTED, sys.topState());
  EXPECT_FALSE(sys.root()->connected());
  // The device's identity is forgotten.
  EXPECT_STREQ("", sys.store()->connTolType());
  // Still asking every second, and the red text is refreshed each time.
  before = sys.simCount("RX", "status-request");
  sys.frame()->txtStatusInfo("");
  sys.run(2200);
  EXPECT_GE(sys.simCount("RX", "status-request") - before, 2);
  EXPECT_EQ("Tolvan niet aangesloten", sys.status());

  ASSERT_EQ(0u, sys.sim().command("silent off").rfind("OK", 0));
  t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(sys.waitStatus("Verbonden", 3000));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1600));
  EXPECT_FALSE(sys.statusRed());
  EXPECT_TRUE(sys.root()->connected());
  EXPECT_FALSE(sys.root()->error(TlctrlRoot::CTRL_TOLVAN_NOT_CONNECTED));
  // A new connection alerts its errors again.
  ASSERT_TRUE(sys.pump([&] { return sys.dialogs.alerts.size() == 2; }, 3000));
}

TEST(TlctrlConnection, PortThatCannotBeOpenedIsReportedAtOnceAndTheDebugCommandSetsAnIdentity) {
  SKIP_WITHOUT_DISPLAY();
  CtrlSystem sys({}, "/nonexistent/ttyKestrum");
  sys.start();
  ASSERT_TRUE(sys.waitStatus("COM poort niet beschikbaar", 1000));
  EXPECT_TRUE(sys.statusRed());
  EXPECT_EQ(TlctrlRoot::TLCTRLDISCONNECTED, sys.topState());
  EXPECT_TRUE(sys.root()->error(TlctrlRoot::CTRL_COM_NOT_OPEN));
  EXPECT_FALSE(sys.root()->isArmedLifeCkTimeout());
  // The reason stays in front while the program keeps polling.
  sys.run(1300);
  EXPECT_EQ("COM poort niet beschikbaar", sys.status());

  const char* args[] = {"Tlctrl", "rpa", "set_actual", "TL4400GS-EA", "SW1", "SPC", "H.50"};
  sys.root()->printStateData(7, const_cast<char**>(args));
  EXPECT_STREQ("TL4400GS-EA", sys.store()->connTolType());
  EXPECT_STREQ("H.50", sys.store()->connHwVer());
  // Too few words: nothing is taken.
  const char* few[] = {"Tlctrl", "rpa", "set_actual", "TL2200IM-EB"};
  sys.root()->printStateData(4, const_cast<char**>(few));
  EXPECT_STREQ("TL4400GS-EA", sys.store()->connTolType());
}
