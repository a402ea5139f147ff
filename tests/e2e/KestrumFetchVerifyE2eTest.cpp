#include <gtest/gtest.h>

#include "E2eHarness.h"

// Reading the device back from the command line, with no X display at all:
// "-fetch" keeps what the device holds, "-verify" compares it with a file,
// "-program ... -verify" programs and then compares.

namespace {

const auto npos = std::string::npos;

std::string entry(int n) {
  if (n == 10) return "TL8888GM-ED|";
  if (n == 20) return "STD|";
  if (n == 3) return "c:\\tolvan|31";
  return "Naam" + std::to_string(n) + "|06" + std::to_string(20000000 + n);
}

// The device's settings with entry 12's number and entry 31's text changed.
std::string changed(int n) {
  if (n == 12) return "Naam12|0699";
  if (n == 31) return "Pomp|06" + std::to_string(20000000 + n);
  return entry(n);
}

std::vector<std::string> linesWith(const std::string& text, const std::string& what) {
  std::vector<std::string> out;
  for (const std::string& l : textLines(text))
    if (l.find(what) != npos) out.push_back(l);
  return out;
}

}  // namespace

TEST(KestrumFetchVerifyE2e, FetchWritesWhatTheDeviceHoldsAndExitsWithZero) {
  // Without a display, and with one (where the window opens meanwhile).
  for (bool display : {false, true}) {
    if (display && !E2eRun::haveDisplay()) continue;
    std::string kvn = e2eKvn(entry);
    E2eRun run({"--kvn", "@device.kvn"}, {{"device.kvn", kvn}});
    if (!display) run.noDisplay();
    run.start({"-fetch", "fetched.kvn"});
    EXPECT_EQ(0, run.proc().waitExit(30000)) << run.proc().out() << run.proc().err();
    EXPECT_EQ(kvn, readFile(run.path("fetched.kvn"))) << display;
    EXPECT_NE(npos, run.proc().out().find("Fetch: the settings of the device are in ")) << run.proc().out();
    EXPECT_NE(npos, run.console.text().find("Status Info: Ophalen #200 gereed.")) << display;
    EXPECT_EQ(!display, run.proc().out().find("Status Info: Ophalen #200 gereed.") != npos) << display;
    EXPECT_EQ(1, run.simCount("RX", "download-request"));
    EXPECT_EQ(0, run.simCount("RX", "upload-request"));
  }
}

TEST(KestrumFetchVerifyE2e, VerifyComparesTheDeviceWithTheFile) {
  struct Case {
    const char* name;
    std::function<std::string(int)> file;
    int exitCode;
    std::vector<std::string> differs;
  } cases[] = {
      {"equal", entry, 0, {}},
      {"two fields differ",
       changed,
       3,
       {"Differs: entry 12 \"Telefoon 2\" (Telefoonnummers): file \"0699\" device \"0620000012\"",
        "Differs: entry 31 \"Ingang 1 tekst\" (Ingangen): file \"Pomp\" device \"Naam31\""}},
  };
  for (const Case& c : cases) {
    E2eRun run({"--kvn", "@device.kvn", "--out", "@out.kvn"}, {{"device.kvn", e2eKvn(entry)}, {"file.kvn", e2eKvn(c.file)}});
    run.noDisplay();
    run.start({"-verify", "file.kvn"});
    EXPECT_EQ(c.exitCode, run.proc().waitExit(30000)) << c.name << run.proc().out() << run.proc().err();
    EXPECT_EQ(c.differs, linesWith(run.proc().out(), "Differs:")) << c.name;
    EXPECT_EQ(1u, linesWith(run.proc().out(), "Verify: ").size()) << c.name;
    // Verifying never writes into the device.
    EXPECT_EQ(0, run.simCount("RX", "upload-request")) << c.name;
  }
}

TEST(KestrumFetchVerifyE2e, ProgramThenVerifyReadsBackWhatWasWritten) {
  struct Case {
    const char* name;
    std::vector<std::string> simArgs;
    int exitCode;
    size_t differs;
  } cases[] = {
      {"the device takes every entry", {}, 0, 0},
      // Entries 151..200 (text and number each) cannot be held.
      {"the device holds only 150 entries", {"--entries", "150"}, 3, 100},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"--out", "@out.kvn"};
    args.insert(args.end(), c.simArgs.begin(), c.simArgs.end());
    E2eRun run(args, {{"file.kvn", e2eKvn(entry)}});
    run.noDisplay();
    run.start({"-program", "file.kvn", "-verify"});
    EXPECT_EQ(c.exitCode, run.proc().waitExit(40000)) << c.name << run.proc().out() << run.proc().err();
    EXPECT_EQ(c.differs, linesWith(run.proc().out(), "Differs:").size()) << c.name;
    EXPECT_EQ(1, run.simCount("RX", "upload-end")) << c.name;
    EXPECT_EQ(1, run.simCount("RX", "download-request")) << c.name;
    // The read-back came after the programming, not before.
    std::string log = readFile(run.path("sim.log"));
    EXPECT_LT(log.find("upload-end"), log.find("download-request")) << c.name;
  }
}

TEST(KestrumFetchVerifyE2e, FetchFromADeviceThatFallsSilentWritesNothingAndExitsWithOne) {
  E2eRun run({"--kvn", "@device.kvn", "--baud", "9600"}, {{"device.kvn", e2eKvn(entry)}});
  run.noDisplay();
  run.start({"-fetch", "fetched.kvn"});
  ASSERT_TRUE(run.proc().waitFor("Status Info: Ophalen #20 gereed.", 20000)) << run.proc().out();
  run.sim().command("silent on");
  EXPECT_EQ(1, run.proc().waitExit(20000)) << run.proc().out() << run.proc().err();
  EXPECT_FALSE(std::filesystem::exists(run.path("fetched.kvn")));
}

TEST(KestrumFetchVerifyE2e, FetchStoppedBySignalWritesNothingAndIsNoSuccess) {
  E2eRun run({"--kvn", "@device.kvn", "--baud", "9600"}, {{"device.kvn", e2eKvn(entry)}});
  run.noDisplay();
  run.start({"-fetch", "fetched.kvn"});
  ASSERT_TRUE(run.proc().waitFor("Status Info: Ophalen #20 gereed.", 20000)) << run.proc().out();
  run.proc().signal(SIGTERM);
  EXPECT_EQ(130, run.proc().waitExit(20000)) << run.proc().out() << run.proc().err();
  EXPECT_FALSE(std::filesystem::exists(run.path("fetched.kvn")));
}

// Options that cannot be served end at once, before any device is looked
// for, with one line on standard error.
TEST(KestrumFetchVerifyE2e, UnusableFetchAndVerifyOptionsExitWithTwo) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"-verify"}, "-verify needs a settings file"},
      {{"-verify", "missing.kvn"}, "cannot read the settings file"},
      {{"-verify", "."}, "it is a directory"},
      {{"-fetch", "nodir/fetched.kvn"}, "no such directory"},
      {{"-fetch", "a.kvn", "-verify", "file.kvn"}, "cannot be combined"},
      {{"-program", "file.kvn", "-verify", "file.kvn"}, "takes no file of its own"},
  };
  for (const Case& c : cases) {
    E2eRun run({}, {{"file.kvn", e2eKvn(entry)}});
    run.noDisplay();
    run.start(c.args);
    EXPECT_EQ(2, run.proc().waitExit(10000)) << c.args[0] << run.proc().err();
    EXPECT_NE(npos, run.proc().err().find(c.says)) << run.proc().err();
    EXPECT_EQ(0, run.simCount("RX", "status-request")) << c.args[0];
  }
}
