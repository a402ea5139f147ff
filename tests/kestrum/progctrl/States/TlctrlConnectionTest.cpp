#include <gtest/gtest.h>

#include <chrono>

#include "CtrlHarness.h"
#include "DiagCapture.h"

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
  EXPECT_TRUE(sys.root()->connected());
  EXPECT_EQ(TlctrlRoot::TLCTRLCONNIDLE, sys.subState());
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

// "Ophalen" and "Programmeren" pressed while the answer to a status request
// is half received: each waits until that answer is in, then runs to its end
// exactly. The simulator holds the rest of its status info until told.
TEST(TlctrlConnection, RequestsMadeWhileAStatusInfoIsHalfReceivedStartOnceItIsIn) {
  SKIP_WITHOUT_DISPLAY();
  // Numbers 6 and 21 and checksums like ACK and NAK are on the wire too.
  EntryMaker entry = settingsOf("Naam", 20000000, "06");
  std::string kvn = kvnText(entry);
  CtrlSystem sys({"--kvn", "@device.kvn", "--out", "@out.kvn", "--baud", "9600"}, "", {{"device.kvn", kvn}});
  sys.start();
  ASSERT_TRUE(sys.waitConnectedIdle());
  DiagCapture cap;
  sys.root()->debugLevel(0x0020);
  struct Press {
    Fl_Button* button;
    const char* held;
    const char* request;
  } presses[] = {
      {sys.frame()->btOphalen(), "holdRequest sig=100", "download-request"},
      {sys.frame()->btProgrammeren(), "holdRequest sig=103", "upload-request"},
  };
  int splits = 0;
  for (const Press& p : presses) {
    ASSERT_EQ("OK split 20 600000", sys.sim().command("split 20 600000"));
    ASSERT_TRUE(sys.waitSim("--", "split: 20 of", ++splits, 5000)) << sys.simLog();
    // The program has the first part and waits for the rest.
    ASSERT_TRUE(sys.pump([] { return TlcdrvRoot::unitArriving(); }, 5000));
    p.button->do_callback();
    ASSERT_TRUE(sys.pump([&] { return cap.has(p.held); }, 5000)) << cap.remote;
    EXPECT_EQ(0, sys.simCount("RX", p.request)) << p.request;
    EXPECT_EQ(TlctrlRoot::TLCTRLCONNIDLE, sys.subState());
    ASSERT_EQ("OK release", sys.sim().command("release"));
    ASSERT_TRUE(sys.waitSim("RX", p.request, 1, 5000)) << sys.simLog();
    // The request left only once the status info was whole.
    std::string log = sys.simLog();
    size_t rest = log.rfind("split: the rest of status-info follows");
    ASSERT_NE(std::string::npos, rest);
    EXPECT_NE(std::string::npos, log.find(std::string(" ") + p.request, rest));
    ASSERT_TRUE(sys.pump([&] { return sys.subState() == TlctrlRoot::TLCTRLCONNIDLE && sys.status() == "Verbonden"; },
                         60000))
        << sys.status();
  }
  for (int n = 1; n <= 200; ++n) EXPECT_EQ(entry(n).first, sys.store()->getEntry(n)->text) << n;
  ASSERT_TRUE(sys.waitSim("RX", "upload-end", 1, 5000));
  sys.uploaded();
  EXPECT_EQ(kvn, readFile(sys.path("out.kvn")));
  EXPECT_EQ(0, Main::_exitCode);
  EXPECT_EQ(std::string::npos, cap.remote.find("lifeCheckTimeout"));
}
