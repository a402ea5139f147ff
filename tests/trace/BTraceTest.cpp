#include <filesystem>
#include <functional>
#include <regex>

#include "BEvtQueueFlex.h"
#include "BTrace.h"
#include "DebugConsole.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "WaitUntil.h"
#include "vask/Vask.h"

namespace fs = std::filesystem;

namespace {
const std::string TS = "[0-9]{4}/[0-9]{2}/[0-9]{2}/[0-9]{2}:[0-9]{2}:[0-9]{2};";

void cmd(const std::string& c) { BTrace::procDbgStr(c); }

bool matches(const std::string& text, const std::string& re) { return std::regex_match(text, std::regex(re)); }

}  // namespace

class BTraceTest : public VaskTest {
protected:
  void run(const std::string& c) {
    cap.clear();
    cmd(c);
  }
};

// Words are found by containment, in the order of the table ("entext"
// before "ent", "sti" and "stt" before "st").
TEST_F(BTraceTest, LevelWords) {
  TRoot* drv = enter("Tlcdrv", 10, 10);
  const struct {
    const char* word;
    DebugLevel level;
  } words[] = {{"all", 0xFFFF}, {"msg", 0x000F},    {"sig", 0x0001}, {"xsigx", 0x0001}, {"dat", 0x0002},
               {"sti", 0x0004}, {"stt", 0x0008},    {"st", 0x000C},  {"entext", 0x0180}, {"ent", 0x0080},
               {"ext", 0x0100}, {"actbnd", 0x0200}, {"dbg", 0x0070}, {"hi", 0x0010},     {"med", 0x0020},
               {"low", 0x0040}};
  for (const auto& w : words) {
    cmd("Tlcdrv lvl off");
    cmd(std::string("Tlcdrv lvl ") + w.word);
    EXPECT_EQ(drv->debugLevel(), w.level) << w.word;
    EXPECT_EQ(BTrace::findComponent("Tlcdrv")->dbgLvl, w.level) << w.word;
  }
  run("Tlcdrv lvl bogus");
  cmd("Tlcdrv lvl");
  EXPECT_TRUE(cap.has("handleDbgLevel unexpected debug level \"\"\n")) << cap.remote;
  EXPECT_EQ(drv->debugLevel(), 0x0040);  // unchanged
}

TEST_F(BTraceTest, AllAndInstanceCommands) {
  TRoot* a = enter("Tlcdrv", 10, 10);
  TRoot* b = enter("Tlcdrv", 10, 10);
  TRoot* ctrl = enter("Tlctrl", 10, 11);
  cmd("all lvl dat");
  for (BTrace::ConfigTable* r : BTrace::configTable()) EXPECT_EQ(r->dbgLvl, 0x0002) << r->compCode;
  EXPECT_EQ(main->debugLevel(), 0x0002);
  cmd("all lvl hi");
  cmd("all lvl dat off");
  EXPECT_EQ(ctrl->debugLevel(), 0x0010);
  EXPECT_EQ(BTrace::findComponent("vask")->dbgLvl, 0x0010);
  cmd("all lvl off");
  for (BTrace::ConfigTable* r : BTrace::configTable()) EXPECT_EQ(r->dbgLvl, 0) << r->compCode;
  EXPECT_EQ(a->debugLevel(), 0);
  run("all lvl whatever");  // an unknown word with "on": everything
  EXPECT_EQ(ctrl->debugLevel(), 0xFFFF);
  EXPECT_FALSE(cap.has("unexpected debug level"));

  cmd("Tlcdrv lvl off");
  cmd("Tlcdrv lvl low");
  cmd("Tlcdrv " + a->instName() + " lvl hi");
  EXPECT_EQ(a->debugLevel(), 0x0050);
  EXPECT_EQ(b->debugLevel(), 0x0040);
  EXPECT_EQ(BTrace::findComponent("Tlcdrv")->dbgLvl, 0x0040);
  cmd("Tlcdrv " + b->instName() + " lvl low off");
  EXPECT_EQ(b->debugLevel(), 0);
  EXPECT_EQ(BTrace::findInstance("Tlcdrv", b->instName()), b);
  EXPECT_EQ(BTrace::findInstance(10, 10, a->instName()), a);
}

TEST_F(BTraceTest, PresetRowsWaitForTheirComponent) {
  cmd("Tlprot lvl msg");
  BTrace::ConfigTable* preset = BTrace::findComponent("Tlprot");
  ASSERT_NE(preset, nullptr);
  EXPECT_TRUE(preset->isPreset());
  size_t rows = BTrace::configTable().size();
  TRoot* prot = enter("Tlprot", 10, 12);
  EXPECT_EQ(BTrace::configTable().size(), rows - 1);  // merged into the row of its ids
  BTrace::ConfigTable* row = BTrace::findComponent(10, 12);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->compCode, "Tlprot");
  EXPECT_EQ(row->dbgLvl, 0x000F);
  EXPECT_EQ(prot->debugLevel(), 0x000F);
  EXPECT_EQ(row->instances, std::vector<BRootState*>{prot});
  // Every root is also listed under "vask"; leaving takes it out of both.
  BTrace::ConfigTable* vask = BTrace::findComponent("vask");
  EXPECT_EQ(vask->instances.back(), prot);
  prot->leave();
  EXPECT_TRUE(row->instances.empty());
  EXPECT_NE(vask->instances.back(), prot);

  cmd("Extra lvl hi");  // a component of ids nobody knew
  TRoot* x = enter("Extra", 30, 31);
  EXPECT_EQ(BTrace::findComponent(30, 31), BTrace::findComponent("Extra"));
  EXPECT_EQ(x->debugLevel(), 0x0010);
}

TEST_F(BTraceTest, ReRoutingModesKeepTheReferenceCountsRight) {
  TBinder* binder = this->binder({{"Tlprot", 10, 12, true}}, "Tlctrl", 11);
  TRoot* child = binder->child(0);
  ASSERT_TRUE(binder->_bindings[0]->isActivated());
  BEvtQueueFlex* traceQueue = BTrace::reRouteTestQueue;
  int alive = 0;

  cmd("Tlctrl rert que");  // to the trace queue only
  Counted* q = new Counted(60, &alive);
  EXPECT_EQ(binder->sendExternal(q, 10, 12, nullptr), 1);
  EXPECT_EQ(q->refCount(), 1);
  EXPECT_EQ(traceQueue->count(), 1);
  pump();
  EXPECT_TRUE(child->_seen.empty());

  cmd("Tlctrl rert byps");  // to the trace queue and to the child
  Counted* b = new Counted(61, &alive);
  EXPECT_EQ(binder->sendExternal(b, 10, 12, nullptr), 2);
  EXPECT_EQ(traceQueue->count(), 2);
  pump();
  EXPECT_EQ(child->_seen, std::vector<int>{61});
  EXPECT_EQ(b->refCount(), 1);

  cmd("Tlctrl rert null");  // diverted; it dies with the sender's reference
  cap.clear();
  EXPECT_EQ(binder->sendExternal(new Counted(62, &alive), 10, 12, nullptr), 0);
  cmd("Tlprot rert null");  // the same on the way up
  EXPECT_EQ(child->sendBack(new Counted(63, &alive), 0, 0, nullptr), 0);
  EXPECT_EQ(alive, 2);

  cmd("Tlctrl rert none");
  cmd("Tlctrl rert bogus");  // changes nothing
  EXPECT_EQ(BTrace::findComponent("Tlctrl")->reRout, BTrace::NO_RERT);
  EXPECT_EQ(binder->sendExternal(new Counted(64, &alive), 10, 12, nullptr), 1);
  pump();
  EXPECT_EQ(child->_seen, (std::vector<int>{61, 64}));
  EXPECT_EQ(alive, 2);
  EXPECT_FALSE(cap.has("refCount cannot be 0"));
  // The diverted events die with the trace facility.
  BTrace::destroy();
  EXPECT_EQ(alive, 0);
  BTrace::instance();
}

TEST_F(BTraceTest, PrintingHelpers) {
  const uint8_t bytes[] = {0x02, 0x41, 0x7F};
  cap.clear();
  BTrace::prtDataArray(bytes, 3, false);
  BTrace::prtDataArray(bytes, 3, true);
  BTrace::prtDataArray(std::string("a b\r"), false);
  BTrace::prtDataArray(std::vector<uint8_t>{0xFF, 0x00}, true);
  BTrace::prtDataArray(nullptr, 0, true);
  EXPECT_EQ(cap.remote, "[~02~A~7f~]\n[02 41 7F ]\n[a b~0d~]\n[FF 00 ]\n[]\n");
  cap.clear();
  BTrace::dbgPrintf("%s", std::string(3000, 'x').c_str());  // cut at the shared buffer
  EXPECT_TRUE(matches(cap.remote, TS + std::string(1023, 'x') + "\n"));
  cap.clear();
  BTrace::dbgPrintf("i:%d argv:%s", 3, "-remdbg");
  EXPECT_TRUE(matches(cap.remote, TS + "i:3 argv:-remdbg\n")) << cap.remote;
  EXPECT_EQ(cap.log, cap.remote);
}

TEST_F(BTraceTest, HelpListsTheComponentsSortedByCode) {
  TRoot* drv = enter("Tlcdrv", 10, 10);
  cmd("Tlcdrv lvl hi");
  cmd("Tlcdrv rert byps");
  for (const char* help : {"help", ""}) {
    run(help);
    const std::string& out = cap.remote;
    EXPECT_TRUE(cap.has("Currently supported components:\n")) << help;
    EXPECT_TRUE(cap.has("        - \"Tlcdrv\" mod=10 comp=10 lvl=16 rert=3 states: " + drv->instName() + "(16)\n"));
    size_t pos[] = {out.find("- \"\" mod=10 comp=11"), out.find("- \"Tlcdrv\""), out.find("- \"help\""),
                    out.find("- \"main\""), out.find("- \"vask\"")};
    EXPECT_TRUE(std::is_sorted(std::begin(pos), std::end(pos))) << out;
    EXPECT_NE(pos[4], std::string::npos);
  }
}

TEST_F(BTraceTest, PrintCommandsReachTheChosenRootStates) {
  TRoot* a = enter("Tlcdrv", 10, 10);
  TRoot* b = enter("Tlcdrv", 10, 10);
  TRoot* prot = enter("Tlprot", 10, 12);
  run("# Tlcdrv lvl all");  // a comment is only echoed
  EXPECT_TRUE(matches(cap.remote, TS + "# Tlcdrv lvl all\n"));
  EXPECT_EQ(a->debugLevel(), 0);
  run("Tlcdrv bnd");
  EXPECT_TRUE(cap.has("PrintStateData: Tlcdrv:" + a->instName() + "\n"));
  EXPECT_TRUE(cap.has("PrintStateData: Tlcdrv:" + b->instName() + "\n"));
  EXPECT_TRUE(cap.has("BRootState bindings:"));
  run("Tlcdrv " + b->instName() + " -help");
  EXPECT_FALSE(cap.has("PrintStateData: Tlcdrv:" + a->instName()));
  EXPECT_TRUE(cap.has("BRootState -help:"));

  auto header = [](TRoot* r) {
    return "================= RootState start " + std::string(r->name()) + "," + r->instName() + ", 10:" +
           std::to_string(r->componentId()) + " =================\n";
  };
  struct Case {
    std::string command;
    std::vector<TRoot*> shown;
  } cases[] = {{"vask ssm -name Tlprot", {prot}},
               {"vask prt ssm -mod 10 -cmp 12", {prot}},
               {"vask ssm -instname " + b->instName(), {b}},
               {"vask ssm", {a, b, prot}}};
  for (const Case& c : cases) {
    run(c.command);
    for (TRoot* r : {a, b, prot}) {
      bool shown = std::find(c.shown.begin(), c.shown.end(), r) != c.shown.end();
      EXPECT_EQ(cap.has(header(r)), shown) << c.command << " " << r->instName();
    }
  }
  // Everything, sorted by name, each once.
  EXPECT_LT(cap.remote.find(header(b)), cap.remote.find(header(prot)));
  EXPECT_LT(cap.remote.find(header(prot)), cap.remote.find("RootState start main,"));
  EXPECT_EQ(cap.remote.find(header(prot), cap.remote.find(header(prot)) + 1), std::string::npos);
  run("vask prio");  // the scheduler's own commands are answered by the scheduler
  EXPECT_TRUE(cap.has("CurrentPrio:"));
  EXPECT_FALSE(cap.has("RootState start"));

  a->reloadWatchdog(5);  // a watchdog time-out prints the component's state tree
  tick += 500;
  cap.clear();
  pump();
  EXPECT_TRUE(cap.has(header(a)));
}

TEST_F(BTraceTest, GetStateFindsTheRegionOfAnInstance) {
  TRoot* drv = make("Tlcdrv", 10, 10);
  TLeaf* leaf = new TLeaf(drv, "L", 20);
  drv->addRegion(leaf);
  drv->enter();
  EXPECT_EQ(BTrace::getState(10, 10, 0, 0, nullptr), leaf);
  EXPECT_EQ(BTrace::getState(10, 10, 0, 0xFFFF, drv->instName().c_str()), leaf);
  EXPECT_EQ(BTrace::getState(10, 10, 0, 0xFFFF, "nobody"), nullptr);
  EXPECT_EQ(BTrace::getState(10, 10, 0, 1, nullptr), nullptr);
  EXPECT_EQ(BTrace::getState(10, 99, 0, 0, nullptr), nullptr);
}

TEST_F(BTraceTest, WordsAreSplitAtBlanksAndQuotesAndCutNeverOverflowed) {
  char buf[BTrace::CMD_LINE_SIZE + 1];
  char* argv[BTrace::MAX_ARGS + 1];
  ASSERT_EQ(BTrace::getArgs("  vask ssm -name \"two words\"\t-mod 10 ", buf, argv), 6);
  EXPECT_STREQ(argv[3], "two words");
  EXPECT_STREQ(argv[5], "10");
  EXPECT_EQ(argv[6], nullptr);
  int ix = 0;
  EXPECT_FALSE(BTrace::findInArgs(6, argv, "-mod", ix, 4));
  EXPECT_EQ(ix, 255);
  EXPECT_TRUE(BTrace::findInArgs(6, argv, "-mod", ix, 6));
  EXPECT_EQ(ix, 4);
  EXPECT_FALSE(BTrace::findInArgs(6, argv, "vask", ix, 6, 1));

  TRoot* drv = enter("Tlcdrv", 10, 10);
  run("Tlcdrv lvl hi " + std::string(4000, 'y'));
  EXPECT_TRUE(cap.has("procDbgStr: command cut to 255 characters"));
  EXPECT_EQ(drv->debugLevel(), 0x0010);
  std::string words = "x";
  for (int i = 0; i < 127; ++i) words += " x";  // 128 words in 255 characters
  bool more = false;
  EXPECT_EQ(BTrace::getArgs(words.c_str(), buf, argv, &more), BTrace::MAX_ARGS);
  EXPECT_TRUE(more);
  EXPECT_EQ(argv[BTrace::MAX_ARGS], nullptr);
  cmd(words);
  EXPECT_TRUE(cap.has("procDbgStr: command cut to 127 words"));
}

TEST_F(BTraceTest, CommandsFileRunsTheFilteredLinesAndIsCreatedWhenMissing) {
  TempDir dir(TempDir::Entered);  // the files live in the working directory
  testing::internal::CaptureStdout();
  BTrace::processCommandsFile("lvl");
  EXPECT_NE(testing::internal::GetCapturedStdout().find("\"dbgTraceCommands.txt\" does not exist"), std::string::npos);
  ASSERT_TRUE(fs::exists("dbgTraceCommands.txt"));
  EXPECT_EQ(fs::file_size("dbgTraceCommands.txt"), 0u);
  TRoot* drv = enter("Tlcdrv", 10, 10);
  std::string longLine = "Tlcdrv lvl med" + std::string(80, ' ') + "Tlcdrv lvl low\n";
  writeFile("dbgTraceCommands.txt",
            "# lvl settings for the driver\nTlcdrv lvl dat\r\nTlcdrv rert que\n" + longLine + "Tlcdrv lvl hi");
  cap.clear();
  BTrace::processCommandsFile("lvl");
  EXPECT_EQ(drv->debugLevel(), 0x0032);  // the long line was cut, not split
  EXPECT_EQ(BTrace::findComponent("Tlcdrv")->reRout, BTrace::NO_RERT);
  EXPECT_TRUE(matches(cap.remote.substr(0, cap.remote.find('\n') + 1), TS + "# lvl settings for the driver\n"));
}

TEST_F(BTraceTest, LogFileIsWrittenOnlyWhileOpen) {
  TempDir dir(TempDir::Entered);  // the files live in the working directory
  BDiag::logSink(cap.oldLog);  // the facility's own log sink
  BTrace::dbgPrint("nobody opened the log");
  EXPECT_FALSE(fs::exists("dbgTrace.log"));
  BTrace::openDbgLog();
  BTrace::dbgPrint("into the log");
  B_EXCEPTION("logged exception");
  std::string text = readFile("dbgTrace.log");  // flushed per line
  EXPECT_TRUE(std::regex_search(text, std::regex("^" + TS + "into the log\n")));
  EXPECT_NE(text.find("Exception: logged exception\n"), std::string::npos);
  BTrace::closeDbgLog();
  BTrace::dbgPrint("after closing");
  EXPECT_EQ(readFile("dbgTrace.log"), text);
}

TEST_F(BTraceTest, RemoteConsoleCarriesTraceLinesAndCommands) {
  BDiag::remoteSink(cap.oldRemote);  // the facility's own sink: the debug stream
  TRoot* drv = enter("Tlcdrv", 10, 10);
  DebugConsole console;
  EXPECT_TRUE(BTrace::connectDebugStream("127.0.0.1", console.port()));
  ASSERT_TRUE(console.connected());
  BTrace::dbgPrint("hello console");
  ASSERT_TRUE(waitUntil([&] { return console.has("hello console\n"); }, 10000));
  auto parseUntil = [](const std::function<bool()>& done) {
    return waitUntil([&] {
      if (!done()) BTrace::parseDebugStream();
      return done();
    }, 10000, 2);
  };
  auto level = [drv](DebugLevel l) { return [drv, l] { return drv->debugLevel() == l; }; };
  auto shown = [&](const char* s) { return [&console, s] { return console.has(s); }; };

  // Two commands in one segment: one per call, the second kept for the next.
  ASSERT_TRUE(console.send("Tlcdrv lvl dat\r\nTlcdrv lvl hi\r\n"));
  EXPECT_TRUE(parseUntil(level(0x0002)));
  BTrace::parseDebugStream();
  EXPECT_EQ(drv->debugLevel(), 0x0012);
  // A command split over two segments.
  ASSERT_TRUE(console.send("Tlcdrv lv"));
  EXPECT_TRUE(parseUntil([] { return BTrace::debugInputBuffer == "Tlcdrv lv"; }));
  ASSERT_TRUE(console.send("l med\r\n"));
  EXPECT_TRUE(parseUntil(level(0x0032)));
  // The output of a command goes back to the console.
  ASSERT_TRUE(console.send("help\r\n"));
  EXPECT_TRUE(parseUntil(shown("(50)\n")));
  // A line longer than the command buffer is refused, also when it arrives
  // in pieces, and the next command still works.
  console.clear();
  ASSERT_TRUE(console.send(std::string(200, 'a')));
  parseUntil([] { return BTrace::debugInputBuffer.size() == 200; });
  ASSERT_TRUE(console.send(std::string(200, 'a') + " lvl all\r\nTlcdrv lvl low\r\n"));
  EXPECT_TRUE(parseUntil(level(0x0072)));
  EXPECT_TRUE(waitUntil(shown("parseDebugStream: command longer than 255 characters refused\n"), 10000));
  console.clear();
  ASSERT_TRUE(console.send(std::string(300, 'b')));
  EXPECT_TRUE(parseUntil(shown("refused\n")));
  ASSERT_TRUE(console.send("bb lvl all\r"));  // the line end in two pieces
  EXPECT_TRUE(parseUntil([] { return BTrace::debugInputBuffer == "\r"; }));
  ASSERT_TRUE(console.send("\nTlcdrv lvl dat off\r\n"));
  EXPECT_TRUE(parseUntil(level(0x0070)));
  EXPECT_EQ(BTrace::findComponent("bb"), nullptr);  // the tail of the refused line was dropped
  // A command of exactly 255 characters is still taken.
  ASSERT_TRUE(console.send("Tlcdrv lvl off" + std::string(241, ' ') + "\r\n"));
  EXPECT_TRUE(parseUntil(level(0)));
  BTrace::disconnectDebugStream();
}
