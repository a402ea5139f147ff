#include <gtest/gtest.h>

#include <csignal>

#include "E2eHarness.h"
#include "ExitCode.h"

// The command-line modes as a script on a production bench sees them: what
// they do to the device, what they print, and the exit code.

namespace {

// The device's settings with entry 12's number and entry 31's text changed.
std::string changed(int n) { return n == 12 ? "Naam12|0699" : n == 31 ? "Pomp|0620000031" : entry(n); }
std::string tooLong(int n) { return n == 5 ? "ABCDEFGHIJKLMNOPQRST|5" : entry(n); }  // 20 in a 12 field

}  // namespace

// Without a display the progress is one line rewritten on the terminal,
// counted against the entries the device holds, and the status lines go to
// standard output. script(1) gives the program a terminal.
TEST(KestrumCommandLineE2e, ProgrammingWithoutADisplayShowsProgressOnTheTerminal) {
  E2eRun run({"--out", "@out.kvn", "--entries", "150"}, {{"file.kvn", e2eKvn()}});
  ChildProcess p({"/usr/bin/script", "-qec", "exec " + E2eRun::kestrum() + " -program file.kvn >stdout.txt", "/dev/null"},
                 {{"-DISPLAY", ""}, {"XDG_RUNTIME_DIR", run.path("xdg")}, {"KESTRUM_DIALOG_SCRIPT", "/dev/null"}},
                 run.path(""));
  EXPECT_EQ(EXIT_OK, p.waitExit(60000)) << p.out();
  const std::string& shown = p.out();
  EXPECT_NE(npos, shown.find("\rProgrammeren 1/150")) << shown;
  EXPECT_NE(npos, shown.find("\rProgrammeren 150/150")) << shown;
  EXPECT_EQ(npos, shown.find("151")) << shown;
  EXPECT_EQ(npos, shown.find("Status Info")) << shown;
  std::string out = readFile(run.path("stdout.txt"));
  size_t connected = out.find("Status Info: Verbonden\n");
  EXPECT_NE(npos, connected) << out;
  EXPECT_NE(npos, out.find("Status Info: Programmeren #1 gereed.\n", connected)) << out;
}

// -fetch, -verify and -program ... -verify read the device back, without a
// display.
TEST(KestrumCommandLineE2e, FetchAndVerifyReadTheDeviceBack) {
  struct Case {
    std::vector<std::string> args;
    const char* entries;  // the device holds
    int exitCode;
    size_t differs;  // "Differs:" lines
  } cases[] = {
      {{"-fetch", "fetched.kvn"}, "200", EXIT_OK, 0},
      {{"-verify", "changed.kvn"}, "200", EXIT_VERIFY_DIFFERS, 2},
      {{"-program", "file.kvn", "-verify"}, "200", EXIT_OK, 0},
      // Entries 151..200 (text and number each) cannot be held.
      {{"-program", "file.kvn", "-verify"}, "150", EXIT_VERIFY_DIFFERS, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.entries);
    E2eRun run({"--kvn", "@device.kvn", "--out", "@out.kvn", "--entries", c.entries},
               {{"device.kvn", e2eKvn()}, {"file.kvn", e2eKvn()}, {"changed.kvn", e2eKvn(changed)}});
    run.noDisplay = true;
    run.start(c.args);
    EXPECT_EQ(c.exitCode, run.proc().waitExit(60000)) << run.proc().out() << run.proc().err();
    const std::string& out = run.proc().out();
    EXPECT_EQ(c.differs, linesWith(out, "Differs:").size()) << out;
    // The file's value first, then the device's.
    if (c.differs == 2) {
      EXPECT_NE(npos, out.find("(Telefoonnummers): file \"0699\" device \"0620000012\""));
    }
    EXPECT_EQ(c.args[0] == "-fetch" ? 0u : 1u, linesWith(out, "Verify: ").size()) << out;
    // Standard error is no terminal here: no progress line.
    EXPECT_EQ(npos, run.proc().err().find('\r')) << run.proc().err();
    EXPECT_EQ(1, run.simCount("RX", "download-request"));
    // The read-back comes after the programming, not before.
    std::string log = readFile(run.path("sim.log"));
    EXPECT_EQ(c.args[0] == "-program", log.find("upload-end") < log.find("download-request"));
    if (c.args[0] == "-fetch") {
      EXPECT_EQ(e2eKvn(), readFile(run.path("fetched.kvn")));
      EXPECT_NE(npos, out.find("Fetch: the settings of the device are in ")) << out;
      EXPECT_NE(npos, out.find("Status Info: Ophalen #200 gereed.\n")) << out;
    }
    if (c.args[0] == "-program" && c.exitCode == EXIT_OK) {
      EXPECT_EQ(e2eKvn(), run.uploaded());
    }
  }
}

// Options that cannot be served end at once, before any device is looked
// for, with one line on standard error.
TEST(KestrumCommandLineE2e, UnusableOptionsEndAtOnceWithTwo) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{}, "no X display"},  // the window needs one
      {{"-verify"}, "-verify needs a settings file"},
      {{"-verify", "missing.kvn"}, "cannot read the settings file"},
      {{"-verify", "."}, "it is a directory"},
      {{"-fetch", "nodir/fetched.kvn"}, "no such directory"},
      {{"-fetch", "a.kvn", "-verify", "file.kvn"}, "cannot be combined"},
      {{"-program", "file.kvn", "-verify", "file.kvn"}, "takes no file of its own"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    E2eRun run({}, {{"file.kvn", e2eKvn()}});
    run.noDisplay = true;
    run.start(c.args);
    EXPECT_EQ(EXIT_INPUT_UNUSABLE, run.proc().waitExit(30000)) << run.proc().err();
    EXPECT_EQ(1u, textLines(run.proc().err()).size()) << run.proc().err();
    EXPECT_NE(npos, run.proc().err().find(c.says)) << run.proc().err();
    EXPECT_EQ(0, run.simCount("RX", "status-request"));
  }
}

// With the window open and no script answering dialogs, as a bench runs it:
// what nobody can answer fails the run naming why, instead of waiting for a
// person; what would only alert a person does not stop it.
TEST(KestrumCommandLineE2e, ProgramAndUpgradeRunsWithTheWindowNeverWaitForAPerson) {
  E2E_SKIP_WITHOUT_DISPLAY();
  struct Case {
    const char* name;
    std::vector<std::string> sim;
    std::function<std::string(int)> settings;
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> says;  // on standard error
    int entriesSent, uploadEnds;
  } cases[] = {
      // The status byte's errors would alert a person; the dialog record
      // shows that none was shown.
      {"errors in the status byte", {"--status-byte", "5"}, entry, {"-program", "file.kvn"}, EXIT_OK, {}, 200, 1},
      // "Text is te lang": the entries before it and the end of the upload
      // reach the device.
      {"a question", {}, tooLong, {"-program", "file.kvn"}, EXIT_INPUT_UNUSABLE,
       {"kestrum: entry 5 \"", "text of 20 characters, the field holds 12; programming stopped"}, 4, 1},
      // Nobody is there to choose a bin file.
      {"a device asking for firmware", {"--boot"}, entry, {"-program", "file.kvn"}, EXIT_INPUT_UNUSABLE,
       {"asks for firmware"}, 0, 0},
      {"an unknown pack", {}, entry, {"-upgrade", "-revpack", "TL-9.99[0000].RPA", "-binfile", BIN_GROUP},
       EXIT_INPUT_UNUSABLE, {"kestrum: -upgrade: revision pack TL-9.99[0000] not found"}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> sim{"--out", "@out.kvn"};
    sim.insert(sim.end(), c.sim.begin(), c.sim.end());
    E2eRun run(sim, {{"file.kvn", e2eKvn(c.settings)}});
    run.scriptDialogs = c.exitCode == EXIT_OK;
    run.start(c.args);
    EXPECT_EQ(c.exitCode, run.proc().waitExit(60000)) << run.story();
    EXPECT_TRUE(run.dialogs().empty());
    for (const std::string& s : c.says) EXPECT_NE(npos, run.proc().err().find(s)) << run.proc().err();
    EXPECT_EQ(c.entriesSent, run.simCount("RX", "setting-entry"));
    EXPECT_EQ(c.uploadEnds, run.simCount("RX", "upload-end"));
    EXPECT_EQ(0, run.simCount("RX", "upgrade-request"));
    if (c.exitCode == EXIT_OK) {
      EXPECT_EQ(e2eKvn(), run.uploaded());
      EXPECT_NE(npos, run.console.text().find("Status Info: Programmeren #200 gereed."));
      // With a display the status goes to the window, not to standard output.
      EXPECT_EQ(npos, run.proc().out().find("Status Info")) << run.proc().out();
    }
  }
}

// A signal before the work is done never ends a command-line run as a
// success, however far it got; a device pulled out ends it as not connected,
// said once (an upgrade after its 30-second watchdog). No fetch leaves a
// file then, and no transfer is ended as whole.
TEST(KestrumCommandLineE2e, RunsEndedBeforeTheirWorkWasDoneAreNoSuccess) {
  E2E_SKIP_WITHOUT_DISPLAY();
  struct Case {
    const char* name;
    std::vector<std::string> sim, args;
    int signal;           // 0: the device is unplugged
    const char* waitFor;  // in the trace; none: an upgrade, stopped at its first packet
    int exitCode;
  } cases[] = {
      {"a device that never answers", {"--silent"}, {"-program", "file.kvn"}, SIGTERM, "Status Info: Initializeren ...",
       EXIT_INTERRUPTED},
      {"half-way through programming", {}, {"-program", "file.kvn"}, SIGINT, "Programmeren #20 gereed.", EXIT_INTERRUPTED},
      {"half-way through a fetch", {}, {"-fetch", "fetched.kvn"}, SIGTERM, "Ophalen #20 gereed.", EXIT_INTERRUPTED},
      {"in the upgrade's transfer", {"--entries", "5"}, {}, SIGTERM, nullptr, EXIT_INTERRUPTED},
      {"unplugged in a fetch", {}, {"-fetch", "fetched.kvn"}, 0, "Ophalen #20 gereed.", EXIT_DEVICE_LOST},
      {"unplugged in the upgrade's transfer", {"--entries", "5"}, {}, 0, nullptr, EXIT_DEVICE_LOST},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> sim{"--baud", "9600", "--kvn", "@file.kvn"};
    sim.insert(sim.end(), c.sim.begin(), c.sim.end());
    E2eRun run(sim, {{"file.kvn", e2eKvn()}});
    run.start(c.waitFor ? c.args : upgradeFrom(run, firmwareImage(60000)));
    if (c.waitFor)
      ASSERT_NE(npos, run.waitTrace(c.waitFor)) << run.story();
    else
      ASSERT_TRUE(run.waitSim("RX", "packet", 1, 60000)) << run.story();
    if (c.signal)
      run.proc().signal(c.signal);
    else
      ASSERT_EQ("OK unplug", run.sim().command("unplug"));
    EXPECT_EQ(c.exitCode, run.proc().waitExit(90000)) << run.story();
    EXPECT_EQ(c.signal ? 0u : 1u, linesWith(run.proc().err(), "lost: the device hung up the line").size());
    EXPECT_EQ(0, run.simCount("RX", "upload-end") + run.simCount("RX", "eot"));
    EXPECT_FALSE(fileExists(run.path("fetched.kvn")));
    EXPECT_TRUE(run.dialogs().empty());
  }
}
