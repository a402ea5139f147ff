#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "BTrace.h"
#include "BEvtQueueFlex.h"
#include "TraceTestUtil.h"
#include "vask/BindingFixture.h"

namespace fs = std::filesystem;

namespace {
const char* const TS = "[0-9]{4}/[0-9]{2}/[0-9]{2}/[0-9]{2}:[0-9]{2}:[0-9]{2};";

void cmd(const std::string& c) { BTrace::procDbgStr(c); }

int rowsWithCode(const std::string& code) {
  int n = 0;
  for (BTrace::ConfigTable* r : BTrace::configTable()) n += r->compCode == code;
  return n;
}

// Test cases run in parallel in one working directory: each file test works
// in a folder of its own.
struct InOwnDir {
  fs::path old = fs::current_path();
  InOwnDir() {
    fs::path dir = old / (std::string("dir_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
  }
  ~InOwnDir() {
    fs::path dir = fs::current_path();
    fs::current_path(old);
    fs::remove_all(dir);
  }
};

std::string readFile(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream os;
  os << in.rdbuf();
  return os.str();
}
}  // namespace

class BTraceTest : public VaskTest {
protected:
  TRoot* enter(const char* name, ModuleId mod, ComponentId cmp) {
    TRoot* r = new TRoot(name, mod, cmp);
    r->enter();
    _roots.push_back(r);
    return r;
  }
  void TearDown() override {
    for (TRoot* r : _roots) {
      if (r->isInitialised()) r->leave();
      delete r;
    }
    VaskTest::TearDown();
  }
  std::vector<TRoot*> _roots;
};

// ---------------------------------------------------------------- levels

TEST_F(BTraceTest, LevelWordsAreMatchedByContainmentInTheirOrder) {
  TRoot* drv = enter("Tlcdrv", 10, 10);
  ASSERT_EQ(BTrace::findComponent("Tlcdrv"), BTrace::findComponent(10, 10));
  cmd("Tlcdrv lvl dat");
  EXPECT_EQ(drv->debugLevel(), 0x0002);
  cmd("Tlcdrv lvl hi");
  EXPECT_EQ(drv->debugLevel(), 0x0012);
  cmd("Tlcdrv lvl dat off");
  EXPECT_EQ(drv->debugLevel(), 0x0010);
  cmd("Tlcdrv lvl off");
  EXPECT_EQ(drv->debugLevel(), 0);
  cmd("Tlcdrv lvl entext");
  EXPECT_EQ(drv->debugLevel(), 0x0180);
  cmd("Tlcdrv lvl off");
  cmd("Tlcdrv lvl xsigx");
  EXPECT_EQ(drv->debugLevel(), 0x0001);
  cmd("Tlcdrv lvl off");
  cmd("Tlcdrv lvl stt");
  EXPECT_EQ(drv->debugLevel(), 0x0008);
  cmd("Tlcdrv lvl st");
  EXPECT_EQ(drv->debugLevel(), 0x000C);
  cmd("Tlcdrv lvl off");
  cmd("Tlcdrv lvl actbnd");
  cmd("Tlcdrv lvl dbg");
  EXPECT_EQ(drv->debugLevel(), 0x0270);
  cmd("Tlcdrv lvl all");
  EXPECT_EQ(drv->debugLevel(), 0xFFFF);
  EXPECT_EQ(BTrace::findComponent("Tlcdrv")->dbgLvl, 0xFFFF);
}

TEST_F(BTraceTest, UnknownLevelWordIsReportedAndChangesNothing) {
  TRoot* drv = enter("Tlcdrv", 10, 10);
  cmd("Tlcdrv lvl hi");
  cap.clear();
  cmd("Tlcdrv lvl bogus");
  EXPECT_TRUE(std::regex_match(cap.remote, std::regex(std::string(TS) + "handleDbgLevel unexpected debug level \"bogus\"\n")))
      << cap.remote;
  cmd("Tlcdrv lvl");
  EXPECT_TRUE(cap.has("handleDbgLevel unexpected debug level \"\"\n"));
  EXPECT_EQ(drv->debugLevel(), 0x0010);
}

TEST_F(BTraceTest, InstanceNameChangesOnlyThatInstance) {
  TRoot* a = enter("Tlcdrv", 10, 10);
  TRoot* b = enter("Tlcdrv", 10, 10);
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

TEST_F(BTraceTest, PresetRowIsMergedWhenTheComponentRegisters) {
  cmd("Tlprot lvl msg");
  BTrace::ConfigTable* preset = BTrace::findComponent("Tlprot");
  ASSERT_NE(preset, nullptr);
  EXPECT_EQ(preset->mod, 0);
  EXPECT_EQ(preset->comp, 0);
  EXPECT_EQ(preset->dbgLvl, 0x000F);
  size_t rows = BTrace::configTable().size();
  TRoot* prot = enter("Tlprot", 10, 12);
  EXPECT_EQ(BTrace::configTable().size(), rows - 1);
  EXPECT_EQ(rowsWithCode("Tlprot"), 1);
  BTrace::ConfigTable* row = BTrace::findComponent(10, 12);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->compCode, "Tlprot");
  EXPECT_EQ(row->dbgLvl, 0x000F);
  EXPECT_EQ(prot->debugLevel(), 0x000F);
  ASSERT_EQ(row->instances.size(), 1u);
  EXPECT_EQ(row->instances[0], prot);
  // Every root is also listed under "vask"; leaving takes it out of both.
  BTrace::ConfigTable* vask = BTrace::findComponent("vask");
  EXPECT_NE(std::find(vask->instances.begin(), vask->instances.end(), prot), vask->instances.end());
  prot->leave();
  EXPECT_TRUE(row->instances.empty());
  EXPECT_EQ(std::find(vask->instances.begin(), vask->instances.end(), prot), vask->instances.end());
}

TEST_F(BTraceTest, PresetRowOfAnUnknownComponentTakesItsIds) {
  cmd("Extra lvl hi");
  TRoot* x = enter("Extra", 30, 31);
  BTrace::ConfigTable* row = BTrace::findComponent("Extra");
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->mod, 30);
  EXPECT_EQ(row->comp, 31);
  EXPECT_EQ(x->debugLevel(), 0x0010);
  // A component nobody preset gets a row of its own, level 0.
  enter("Other", 40, 41);
  ASSERT_NE(BTrace::findComponent(40, 41), nullptr);
  EXPECT_EQ(BTrace::findComponent(40, 41)->compCode, "Other");
}

TEST_F(BTraceTest, AllCommandsSetEveryRowAndInstance) {
  TRoot* drv = enter("Tlcdrv", 10, 10);
  TRoot* ctrl = enter("Tlctrl", 10, 11);
  cmd("all lvl dat");
  for (BTrace::ConfigTable* r : BTrace::configTable()) EXPECT_EQ(r->dbgLvl, 0x0002) << r->compCode;
  EXPECT_EQ(drv->debugLevel(), 0x0002);
  EXPECT_EQ(main->debugLevel(), 0x0002);
  cmd("all lvl hi");
  EXPECT_EQ(ctrl->debugLevel(), 0x0012);
  cmd("all lvl dat off");
  EXPECT_EQ(ctrl->debugLevel(), 0x0010);
  EXPECT_EQ(BTrace::findComponent("vask")->dbgLvl, 0x0010);
  cmd("all lvl off");
  for (BTrace::ConfigTable* r : BTrace::configTable()) EXPECT_EQ(r->dbgLvl, 0) << r->compCode;
  EXPECT_EQ(drv->debugLevel(), 0);
  cap.clear();
  cmd("all lvl whatever");  // an unknown word with "on": everything
  EXPECT_EQ(drv->debugLevel(), 0xFFFF);
  EXPECT_EQ(ctrl->debugLevel(), 0xFFFF);
  EXPECT_FALSE(cap.has("unexpected debug level"));
}

// ---------------------------------------------------------------- re-routing

TEST_F(BTraceTest, ReRoutingModesKeepTheReferenceCountsRight) {
  TRoot* parent = enter("Tlctrl", 10, 11);
  parent->leave();
  TBinder* binder = new TBinder(parent, 10, 11, {{"Tlprot", 10, 12, true}});
  parent->addRegion(binder);
  parent->enter();
  pump();
  TRoot* child = binder->child(0);
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(binder->_bindings[0]->isActivated());
  BEvtQueueFlex* traceQueue = BTrace::reRouteTestQueue;
  ASSERT_NE(traceQueue, nullptr);
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
  EXPECT_EQ(b->refCount(), 2);
  EXPECT_EQ(traceQueue->count(), 2);
  pump();
  EXPECT_EQ(child->_seen, std::vector<int>{61});
  EXPECT_EQ(b->refCount(), 1);

  cmd("Tlctrl rert null");  // diverted; it dies with the sender's reference
  cap.clear();
  EXPECT_EQ(binder->sendExternal(new Counted(62, &alive), 10, 12, nullptr), 0);
  EXPECT_EQ(alive, 2);
  EXPECT_FALSE(cap.has("refCount cannot be 0"));
  pump();
  EXPECT_EQ(child->_seen, std::vector<int>{61});

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

  parent->leave();
  pump();
  // The diverted events die with the trace facility.
  BTrace::destroy();
  EXPECT_EQ(alive, 0);
  BTrace::instance();
}

// ---------------------------------------------------------------- printing

TEST_F(BTraceTest, ByteArraysPrintAsTextOrHex) {
  const uint8_t bytes[] = {0x02, 0x41, 0x7F};
  cap.clear();
  BTrace::prtDataArray(bytes, 3, false);
  EXPECT_EQ(cap.remote, "[~02~A~7f~]\n");
  cap.clear();
  BTrace::prtDataArray(bytes, 3, true);
  EXPECT_EQ(cap.remote, "[02 41 7F ]\n");
  cap.clear();
  BTrace::prtDataArray(std::string("a b\r"), false);
  BTrace::prtDataArray(std::vector<uint8_t>{0xFF, 0x00}, true);
  BTrace::prtDataArray(nullptr, 0, true);
  EXPECT_EQ(cap.remote, "[a b~0d~]\n[FF 00 ]\n[]\n");
}

TEST_F(BTraceTest, DbgPrintfCutsAtTheSharedBuffer) {
  std::string big(3000, 'x');
  cap.clear();
  BTrace::dbgPrintf("%s", big.c_str());
  EXPECT_TRUE(std::regex_match(cap.remote, std::regex(std::string(TS) + std::string(1023, 'x') + "\n")));
  cap.clear();
  BTrace::dbgPrintf("i:%d argv:%s", 3, "-remdbg");
  EXPECT_TRUE(std::regex_match(cap.remote, std::regex(std::string(TS) + "i:3 argv:-remdbg\n"))) << cap.remote;
  EXPECT_STREQ(BTrace::dbgBuff(), "i:3 argv:-remdbg");
  EXPECT_EQ(cap.log, cap.remote);
  cap.clear();
  BTrace::dbgPrint("piece", false, false);
  EXPECT_EQ(cap.remote, "piece");
  EXPECT_TRUE(std::regex_match(BTrace::timeStamp() + ";", std::regex(TS)));
}

TEST_F(BTraceTest, HelpPrintsTheTextAndTheSortedComponentList) {
  TRoot* drv = enter("Tlcdrv", 10, 10);
  cmd("Tlcdrv lvl hi");
  cap.clear();
  cmd("help");
  const std::string& out = cap.remote;
  EXPECT_TRUE(std::regex_search(out, std::regex(std::string("^") + TS + "Processes the trace debug string\\.\n")));
  EXPECT_TRUE(cap.has(";         Command \"help\"\n\n"));
  EXPECT_TRUE(cap.has(";\n             - msg   ( sig | dat | st )\n"));
  EXPECT_TRUE(cap.has(";             - low   ( trace low / many prints expect to occur )\n\n"));
  EXPECT_TRUE(std::regex_search(out, std::regex(std::string(";           - none \\( disable que, null or byps\\)\n") +
                                                TS + "\n" + TS + "Currently supported components:\n")));
  std::string drvLine = "        - \"Tlcdrv\" mod=10 comp=10 lvl=16 rert=0 states: " + drv->instName() + "(16)\n";
  EXPECT_TRUE(cap.has(drvLine)) << out;
  EXPECT_TRUE(cap.has("        - \"\" mod=10 comp=12 lvl=0 rert=0 states:\n"));
  EXPECT_TRUE(cap.has("        - \"help\" mod=0 comp=0 lvl=0 rert=0 states:\n"));
  EXPECT_TRUE(cap.has("        - \"main\" mod=2 comp=2 lvl=0 rert=0 states: " + main->instName() + "(0)\n"));
  size_t empty = out.find("- \"\" mod=10 comp=11"), tlcdrv = out.find("- \"Tlcdrv\""), help = out.find("- \"help\""),
         mainRow = out.find("- \"main\""), vask = out.find("- \"vask\"");
  EXPECT_LT(empty, tlcdrv);
  EXPECT_LT(tlcdrv, help);
  EXPECT_LT(help, mainRow);
  EXPECT_LT(mainRow, vask);
  EXPECT_NE(vask, std::string::npos);
  EXPECT_EQ(out.back(), '\n');
  // An empty line gives the same help.
  cap.clear();
  cmd("");
  EXPECT_TRUE(cap.has("Processes the trace debug string."));
  EXPECT_TRUE(cap.has("Currently supported components:"));
}

TEST_F(BTraceTest, CommentIsOnlyEchoed) {
  TRoot* drv = enter("Tlcdrv", 10, 10);
  cap.clear();
  cmd("# Tlcdrv lvl all");
  EXPECT_TRUE(std::regex_match(cap.remote, std::regex(std::string(TS) + "# Tlcdrv lvl all\n")));
  EXPECT_EQ(drv->debugLevel(), 0);
}

TEST_F(BTraceTest, PrintCommandsReachTheRootStates) {
  TRoot* a = enter("Tlcdrv", 10, 10);
  TRoot* b = enter("Tlcdrv", 10, 10);
  cap.clear();
  cmd("Tlcdrv bnd");
  EXPECT_TRUE(cap.has("PrintStateData: Tlcdrv:" + a->instName() + "\n"));
  EXPECT_TRUE(cap.has("PrintStateData: Tlcdrv:" + b->instName() + "\n"));
  EXPECT_TRUE(cap.has("BRootState bindings:"));
  cap.clear();
  cmd("Tlcdrv " + b->instName() + " -help");
  EXPECT_FALSE(cap.has("PrintStateData: Tlcdrv:" + a->instName()));
  EXPECT_TRUE(cap.has("PrintStateData: Tlcdrv:" + b->instName()));
  EXPECT_TRUE(cap.has("BRootState -help:"));
  cap.clear();
  cmd("Nobody bnd");
  EXPECT_EQ(cap.remote, "");
}

TEST_F(BTraceTest, VaskCommandsSelectRootStates) {
  TRoot* drv = enter("Tlcdrv", 10, 10);
  TRoot* prot = enter("Tlprot", 10, 12);
  auto header = [](TRoot* r, int cmp) {
    return "================= RootState start " + std::string(r->name()) + "," + r->instName() + ", 10:" +
           std::to_string(cmp) + " =================\n";
  };
  cap.clear();
  cmd("vask ssm -name Tlprot");
  EXPECT_TRUE(cap.has(header(prot, 12)));
  EXPECT_FALSE(cap.has(header(drv, 10)));
  cap.clear();
  cmd("vask prt ssm -mod 10 -cmp 10");
  EXPECT_TRUE(cap.has(header(drv, 10)));
  EXPECT_FALSE(cap.has(header(prot, 12)));
  cap.clear();
  cmd("vask ssm -instname " + drv->instName());
  EXPECT_TRUE(cap.has(header(drv, 10)));
  EXPECT_FALSE(cap.has(header(prot, 12)));
  cap.clear();
  cmd("vask ssm");  // everything, sorted by name, each once
  size_t d = cap.remote.find(header(drv, 10)), p = cap.remote.find(header(prot, 12));
  ASSERT_NE(d, std::string::npos);
  ASSERT_NE(p, std::string::npos);
  EXPECT_LT(d, p);
  EXPECT_LT(p, cap.remote.find("RootState start main,"));
  EXPECT_EQ(cap.remote.find(header(drv, 10), d + 1), std::string::npos);
  // The scheduler's own commands are answered by the scheduler.
  cap.clear();
  cmd("vask prio");
  EXPECT_TRUE(cap.has("=-->BScheduler::vaskProcDbgStr\n"));
  EXPECT_FALSE(cap.has("RootState start"));
}

TEST_F(BTraceTest, WatchdogTimeoutPrintsTheComponentsStateTree) {
  TRoot* drv = enter("Tlcdrv", 10, 10);
  drv->reloadWatchdog(5);
  tick += 500;
  cap.clear();
  pump();
  EXPECT_TRUE(cap.has("Exception: Watchdog timeout mod=10 cmp=10 (Tlcdrv:" + drv->instName() + ")\n"));
  EXPECT_TRUE(cap.has("================= RootState start Tlcdrv," + drv->instName() + ", 10:10 ================="));
}

TEST_F(BTraceTest, GetStateFindsTheRegionOfAnInstance) {
  TRoot* drv = new TRoot("Tlcdrv", 10, 10);
  _roots.push_back(drv);
  TLeaf* leaf = new TLeaf(drv, "L", 20);
  drv->addRegion(leaf);
  drv->enter();
  EXPECT_EQ(BTrace::getState(10, 10, 0, 0, nullptr), leaf);
  EXPECT_EQ(BTrace::getState(10, 10, 0, 0xFFFF, drv->instName().c_str()), leaf);
  EXPECT_EQ(BTrace::getState(10, 10, 0, 0xFFFF, "nobody"), nullptr);
  EXPECT_EQ(BTrace::getState(10, 10, 0, 1, nullptr), nullptr);
  EXPECT_EQ(BTrace::getState(10, 99, 0, 0, nullptr), nullptr);
}

// ---------------------------------------------------------------- word limits

TEST_F(BTraceTest, WordsAreSplitAtBlanksAndQuotes) {
  char buf[BTrace::CMD_LINE_SIZE + 1];
  char* argv[BTrace::MAX_ARGS + 1];
  ASSERT_EQ(BTrace::getArgs("  vask ssm -name \"two words\"\t-mod 10 ", buf, argv), 6);
  EXPECT_STREQ(argv[0], "vask");
  EXPECT_STREQ(argv[3], "two words");
  EXPECT_STREQ(argv[5], "10");
  EXPECT_EQ(argv[6], nullptr);
  int ix = 0;
  EXPECT_FALSE(BTrace::findInArgs(6, argv, "-mod", ix, 4));
  EXPECT_EQ(ix, 255);
  EXPECT_TRUE(BTrace::findInArgs(6, argv, "-mod", ix, 6));
  EXPECT_EQ(ix, 4);
  EXPECT_FALSE(BTrace::findInArgs(6, argv, "vask", ix, 6, 1));
  EXPECT_EQ(BTrace::getArgs("", buf, argv), 0);
  EXPECT_EQ(argv[0], nullptr);
}

TEST_F(BTraceTest, OverlongCommandsAreCutNeverOverflowed) {
  TRoot* drv = enter("Tlcdrv", 10, 10);
  cap.clear();
  cmd("Tlcdrv lvl hi " + std::string(4000, 'y'));
  EXPECT_TRUE(cap.has("procDbgStr: command cut to 255 characters"));
  EXPECT_EQ(drv->debugLevel(), 0x0010);
  std::string many = "Tlcdrv lvl med";
  for (int i = 0; i < 120; ++i) many += " w";
  cap.clear();
  cmd(many);  // 123 words: no complaint
  EXPECT_FALSE(cap.has("cut to"));
  EXPECT_EQ(drv->debugLevel(), 0x0030);
  std::string words = "x";
  for (int i = 0; i < 127; ++i) words += " x";  // 128 words in 255 characters
  char buf[BTrace::CMD_LINE_SIZE + 1];
  char* argv[BTrace::MAX_ARGS + 1];
  bool more = false;
  EXPECT_EQ(BTrace::getArgs(words.c_str(), buf, argv, &more), BTrace::MAX_ARGS);
  EXPECT_TRUE(more);
  EXPECT_EQ(argv[BTrace::MAX_ARGS], nullptr);
  cap.clear();
  cmd(words);
  EXPECT_TRUE(cap.has("procDbgStr: command cut to 127 words"));
}

// ---------------------------------------------------------------- files

TEST_F(BTraceTest, MissingCommandsFileIsCreatedEmpty) {
  InOwnDir dir;
  fs::remove("dbgTraceCommands.txt");
  testing::internal::CaptureStdout();
  BTrace::processCommandsFile("lvl");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\nTrace commands file \"dbgTraceCommands.txt\" does not exist !!, touching ...\n\n");
  ASSERT_TRUE(fs::exists("dbgTraceCommands.txt"));
  EXPECT_EQ(fs::file_size("dbgTraceCommands.txt"), 0u);
  fs::remove("dbgTraceCommands.txt");
}

TEST_F(BTraceTest, CommandsFileRunsOnlyTheFilteredLines) {
  InOwnDir dir;
  TRoot* drv = enter("Tlcdrv", 10, 10);
  {
    std::ofstream f("dbgTraceCommands.txt", std::ios::binary);
    f << "# lvl settings for the driver\n"
      << "Tlcdrv lvl dat\r\n"
      << "Tlcdrv rert que\n"
      << "Tlcdrv lvl med" << std::string(80, ' ') << "Tlcdrv lvl low\n"
      << "Tlcdrv lvl hi";
  }
  cap.clear();
  BTrace::processCommandsFile("lvl");
  EXPECT_EQ(drv->debugLevel(), 0x0032);  // the long line was cut, not split
  EXPECT_EQ(BTrace::findComponent("Tlcdrv")->reRout, BTrace::NO_RERT);
  EXPECT_TRUE(std::regex_search(cap.remote, std::regex(std::string(TS) + "# lvl settings for the driver\n")));
  fs::remove("dbgTraceCommands.txt");
}

TEST_F(BTraceTest, LogFileIsWrittenOnlyWhileOpen) {
  InOwnDir dir;
  BDiag::logSink(cap.oldLog);  // the facility's own log sink
  fs::remove("dbgTrace.log");
  BTrace::dbgPrint("nobody opened the log");
  EXPECT_FALSE(fs::exists("dbgTrace.log"));
  BTrace::openDbgLog();
  BTrace::dbgPrint("into the log");
  B_EXCEPTION("logged exception");
  std::string text = readFile("dbgTrace.log");  // flushed per line
  EXPECT_TRUE(std::regex_search(text, std::regex(std::string("^") + TS + "into the log\n")));
  EXPECT_NE(text.find("Exception: logged exception\n"), std::string::npos);
  BTrace::closeDbgLog();
  BTrace::dbgPrint("after closing");
  EXPECT_EQ(readFile("dbgTrace.log"), text);
  BTrace::openDbgLog();  // truncates
  BTrace::closeDbgLog();
  EXPECT_EQ(fs::file_size("dbgTrace.log"), 0u);
  fs::remove("dbgTrace.log");
}

// ---------------------------------------------------------------- remote console

TEST_F(BTraceTest, RemoteConsoleCarriesTraceLinesAndCommands) {
  BDiag::remoteSink(cap.oldRemote);  // the facility's own sink: the debug stream
  TRoot* drv = enter("Tlcdrv", 10, 10);
  Console console;
  EXPECT_TRUE(BTrace::connectDebugStream("127.0.0.1", console.port));
  ASSERT_TRUE(console.accept());
  BTrace::dbgPrint("hello console");
  ASSERT_TRUE(console.waitFor("hello console\n"));
  EXPECT_TRUE(std::regex_match(console.received, std::regex(std::string(TS) + "hello console\n"))) << console.received;

  // Two commands in one segment: one per call, the second kept for the next.
  testing::internal::CaptureStdout();
  ASSERT_TRUE(console.send("Tlcdrv lvl dat\r\nTlcdrv lvl hi\r\n"));
  EXPECT_TRUE(until([&] { return drv->debugLevel() != 0; }, [] { BTrace::parseDebugStream(); }));
  EXPECT_EQ(drv->debugLevel(), 0x0002);
  BTrace::parseDebugStream();
  EXPECT_EQ(drv->debugLevel(), 0x0012);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "command: [Tlcdrv lvl dat]\ncommand: [Tlcdrv lvl hi]\n");

  // A command split over two segments.
  ASSERT_TRUE(console.send("Tlcdrv lv"));
  EXPECT_TRUE(until([] { return BTrace::debugInputBuffer == "Tlcdrv lv"; }, [] { BTrace::parseDebugStream(); }));
  EXPECT_EQ(drv->debugLevel(), 0x0012);
  ASSERT_TRUE(console.send("l med\r\n"));
  EXPECT_TRUE(until([&] { return drv->debugLevel() == 0x0032; }, [] { BTrace::parseDebugStream(); }));

  // The output of a command goes back to the console.
  console.received.clear();
  ASSERT_TRUE(console.send("help\r\n"));
  EXPECT_TRUE(until([&] { return console.has("Currently supported components:\n"); }, [&] {
    BTrace::parseDebugStream();
    console.drain();
  }));
  EXPECT_TRUE(console.waitFor("\"Tlcdrv\" mod=10 comp=10 lvl=50 rert=0 states: " + drv->instName() + "(50)\n"));

  // A line longer than the command buffer is refused, also when it arrives
  // in pieces, and the next command still works.
  console.received.clear();
  ASSERT_TRUE(console.send(std::string(200, 'a')));
  until([] { return BTrace::debugInputBuffer.size() == 200; }, [] { BTrace::parseDebugStream(); });
  ASSERT_TRUE(console.send(std::string(200, 'a') + " lvl all\r\nTlcdrv lvl low\r\n"));
  EXPECT_TRUE(until([&] { return (drv->debugLevel() & 0x0040) != 0; }, [] { BTrace::parseDebugStream(); }));
  EXPECT_EQ(drv->debugLevel(), 0x0072);
  EXPECT_TRUE(console.waitFor("parseDebugStream: command longer than 255 characters refused\n"));
  console.received.clear();
  ASSERT_TRUE(console.send(std::string(300, 'b')));
  EXPECT_TRUE(until([&] { return console.has("refused\n"); }, [&] {
    BTrace::parseDebugStream();
    console.drain();
  }));
  ASSERT_TRUE(console.send("bb lvl all\r\nTlcdrv lvl dat off\r\n"));
  EXPECT_TRUE(until([&] { return drv->debugLevel() == 0x0070; }, [] { BTrace::parseDebugStream(); }));
  EXPECT_EQ(BTrace::findComponent("bb"), nullptr);  // the tail of the refused line was dropped
  // A command of exactly 255 characters is still taken.
  ASSERT_TRUE(console.send("Tlcdrv lvl off" + std::string(241, ' ') + "\r\n"));
  EXPECT_TRUE(until([&] { return drv->debugLevel() == 0; }, [] { BTrace::parseDebugStream(); }));
  BTrace::disconnectDebugStream();
}

TEST_F(BTraceTest, MissingVaskRowIsReportedAndRegistrationGoesOn) {
  BTrace::ConfigTable* vask = BTrace::findComponent("vask");
  ASSERT_NE(vask, nullptr);
  vask->compCode = "elsewhere";
  cap.clear();
  TRoot* drv = enter("Tlcdrv", 10, 10);
  vask->compCode = "vask";
  EXPECT_TRUE(std::regex_search(
      cap.remote, std::regex("^cpp/BTrace [0-9]+\nAssertion failed: vaskCfgTbl != NULL \"vask\" entry not in debug table\n")))
      << cap.remote;
  EXPECT_EQ(BTrace::findComponent(10, 10)->instances, std::vector<BRootState*>{drv});
  EXPECT_TRUE(vask->instances.empty() || vask->instances.back() != drv);
}

TEST_F(BTraceTest, GarbageCommandsAreHandledWithoutHarm) {
  TRoot* drv = enter("Tlcdrv", 10, 10);
  enter("Tlprot", 10, 12);
  const char* vocabulary[] = {"lvl", "rert", "vask", "ssm", "-name", "-instname", "-mod", "-cmp", "off", "on",
                              "all", "Tlcdrv", "Tlprot", "que", "byps", "null", "\"", "\"\"", "#", "help", "bnd",
                              "-help", "10", "99999999999", "-1", "\t", "\r", "xx", "prt", "queue", "prio"};
  const size_t n = sizeof vocabulary / sizeof vocabulary[0];
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (int i = 0; i < 1500; ++i) {
    std::string c;
    int words = int(next() >> 16) % 12;
    for (int w = 0; w < words; ++w) {
      if (next() % 7 == 0) c += char(1 + (next() >> 16) % 255);
      c += vocabulary[(next() >> 16) % n];
      c += (next() % 5 == 0) ? "" : " ";
    }
    cap.clear();
    cmd(c);
  }
  cmd("all rert none");
  cmd("Tlcdrv rert none");
  cmd("Tlprot rert none");
  cmd("Tlcdrv lvl off");
  EXPECT_EQ(drv->debugLevel(), 0);
}
