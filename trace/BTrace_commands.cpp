// The trace command interpreter, its help text, and where its commands come
// from: the remote debug stream and the commands file.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "BRootState.h"
#include "BScheduler.h"
#include "BTrace.h"

namespace {

const char* const HELP_TEXT[] = {
    "Processes the trace debug string.",
    "       Commandine string. String may be interpreted in different ways:",
    "",
    "       - Print General Help.",
    "         Command \"help\"\n",
    "",
    "       - Set the trace debug level,",
    "         Command: \"xxxxx [yyyyy] lvl <level> [on|off]\" default on ",
    "         where xxxxx is rootstate component code.",
    "         optional where yyyyy is rootstate component instance name.",
    "         when xxxxx is \"all\" All comp dbg levels are set.  level can be:",
    "             - off   ( set debug level off )",
    "             - all   ( trace maximum )",
    "\n             - msg   ( sig | dat | st )",
    "             - sig   ( trace on signals )",
    "             - dat   ( trace on data in events )",
    "             - sti   ( trace internal state changes)",
    "             - stt   ( trace target state changes)",
    "             - st    ( trace all state changes)",
    "\n             - entext   ( ent | ext ) ",
    "             - ent   ( trace on entry state)",
    "             - ext   ( trace on exit state )",
    "             - actbnd  ( trace on activate bindings from childs )",
    "\n             - dbg   ( hi | med )",
    "             - hi    ( trace high importance )",
    "             - med   ( trace medium importance )",
    "             - low   ( trace low / many prints expect to occur )\n",
    "",
    "       - Print Vask internal data, command: \"vask help\"",
    "       - Print component state machine:",
    "             - vask prt ssm [-name <name>] [-instName <name>] [-mod <nr> -cmp <nr>]",
    "                   state machine data for specific state, one of above",
    "                   options between [...] may be used",
    "",
    "       - Print Internal State information.",
    "         Command: \"xxxxx [yyyyy] <help | all | bnd | [...]\"",
    "         where xxxxx is rootstate component code.",
    "         optional where yyyyy is rootstate component instance name.",
    "         following default commands exist:",
    "         - help, print data interface for specific component.",
    "         - all, print all data for specific component.",
    "         - bnd, will print all bindings to childs. ",
    "",
    "       - Rerouting of Events.",
    "         Command: \"xxxxx rert <action>\", action can be:",
    "           - que  ( place event in Trace queue )",
    "           - byps ( place event in Trace queue and also send to state )",
    "           - null ( delete the event )",
    "           - none ( disable que, null or byps)",
    "",
};

// Level words, tested by containment in this order ("entext" before "ent").
const struct {
  const char* word;
  DebugLevel level;
} LEVEL_WORDS[] = {
    {"all", 0xFFFF}, {"msg", 0x000F},    {"sig", 0x0001},    {"dat", 0x0002}, {"sti", 0x0004},
    {"stt", 0x0008}, {"st", 0x000C},     {"entext", 0x0180}, {"ent", 0x0080}, {"ext", 0x0100},
    {"actbnd", 0x0200}, {"dbg", 0x0070}, {"hi", 0x0010},     {"med", 0x0020}, {"low", 0x0040},
};

DebugLevel modified(DebugLevel current, DebugLevel level, bool on) {
  if (level == 0) return 0;
  return on ? DebugLevel(current | level) : DebugLevel(current & ~level);
}

bool isNumber(const char* s) {
  if (!s || !*s) return false;
  for (; *s; ++s)
    if (!isdigit(static_cast<unsigned char>(*s))) return false;
  return true;
}

}  // namespace

int BTrace::getArgs(const char* command, char* buf, char** argv, bool* more) {
  snprintf(buf, CMD_LINE_SIZE + 1, "%s", command ? command : "");
  int argc = 0;
  char* p = buf;
  while (*p && argc < MAX_ARGS) {
    while (*p && isspace(static_cast<unsigned char>(*p))) ++p;
    if (!*p) break;
    if (*p == '"') {
      ++p;
      argv[argc++] = p;
      while (*p && *p != '"') ++p;
      if (*p == '"') *p = ' ';
    } else {
      argv[argc++] = p;
      while (*p && !isspace(static_cast<unsigned char>(*p))) ++p;
    }
    if (*p) *p++ = '\0';
  }
  argv[argc] = nullptr;
  if (more) {
    while (*p && isspace(static_cast<unsigned char>(*p))) ++p;
    *more = *p != '\0';
  }
  return argc;
}

bool BTrace::findInArgs(int argc, char** argv, const char* word, int& index, int limit, int start) {
  index = NO_INDEX;
  int end = std::min(argc, limit);
  for (int i = start; i < end; ++i) {
    if (argv[i] && word && strcmp(argv[i], word) == 0) {
      index = i;
      return true;
    }
  }
  return false;
}

void BTrace::printHelp() {
  for (const char* line : HELP_TEXT) dbgPrint(line);
  dbgPrint("Currently supported components:");
  sortConfigTable();
  for (ConfigTable* row : _configTable) {
    std::ostringstream os;
    os << "        - \"" << row->compCode << "\" mod=" << row->mod << " comp=" << int(row->comp)
       << " lvl=" << row->dbgLvl << " rert=" << row->reRout << " states:";
    dbgPrint(os.str(), true, false);
    for (BRootState* r : row->instances) {
      std::ostringstream is;
      is << " " << r->instName() << "(" << r->debugLevel() << ")";
      dbgPrint(is.str(), false, false);
    }
    dbgPrint("", false, true);
  }
}

void BTrace::procDbgStr(const std::string& commandIn) {
  instance();
  // Runtime commands may run trace commands of their own: a bounded nesting.
  if (_depth >= 4) {
    dbgPrint("procDbgStr: command nested too deep, ignored [" + commandIn + "]");
    return;
  }
  std::string command = commandIn;
  if (command.size() > CMD_LINE_SIZE) {
    dbgPrint("procDbgStr: command cut to 255 characters");
    command.resize(CMD_LINE_SIZE);
  }
  if (!command.empty() && command[0] == '#') {
    dbgPrint(command);
    return;
  }
  // Local copies: a nested command must not overwrite the words in use.
  char buf[CMD_LINE_SIZE + 1];
  char* argv[MAX_ARGS + 1];
  bool more = false;
  int argc = getArgs(command.c_str(), buf, argv, &more);
  snprintf(_cmdLineStr, sizeof _cmdLineStr, "%s", command.c_str());
  if (more) dbgPrint("procDbgStr: command cut to 127 words");
  ++_depth;
  if (argc < 2) {
    printHelp();
  } else {
    bool all = strcmp(argv[0], "all") == 0;
    int ix = NO_INDEX;
    if (findInArgs(argc, argv, "lvl", ix, 3)) {
      int off = NO_INDEX;
      handleDbgLevel(all, argc, argv, !findInArgs(argc, argv, "off", off, 5));
    } else if (findInArgs(argc, argv, "rert", ix, 3)) {
      handleCompReRout(argc, argv);
    } else if (strcmp(argv[0], "vask") == 0) {
      handleVaskPrt(argc, argv);
    } else {
      handleCompPrt(argc, argv);
    }
  }
  --_depth;
}

void BTrace::handleDbgLevel(bool all, int argc, char** argv, bool on) {
  int lvlIx = NO_INDEX;
  int offIx = NO_INDEX;
  if (!findInArgs(argc, argv, "lvl", lvlIx, 3)) return;
  findInArgs(argc, argv, "off", offIx, 5);
  bool haveInst = lvlIx == 2;
  const char* word = lvlIx + 1 < argc ? argv[lvlIx + 1] : "";
  DebugLevel level = 0;
  bool found = false;
  if (offIx == lvlIx + 1) {
    found = true;
  } else {
    for (const auto& lw : LEVEL_WORDS) {
      if (strstr(word, lw.word)) {
        level = lw.level;
        found = true;
        break;
      }
    }
  }
  if (!found) {
    if (all && on) {
      level = 0xFFFF;
    } else {
      dbgPrint(std::string("handleDbgLevel") + " unexpected debug level " + "\"" + word + "\"");
      return;
    }
  }
  if (all) {
    for (ConfigTable* row : _configTable) {
      row->dbgLvl = modified(row->dbgLvl, level, on);
      for (BRootState* r : row->instances) r->debugLevel(row->dbgLvl);
    }
    return;
  }
  ConfigTable* row = findComponent(argv[0]);
  if (!row) {
    // A preset row: it waits for a root state of that code to register.
    row = new ConfigTable();
    row->compCode = argv[0];
    row->mod = 0;
    row->comp = 0;
    row->dbgLvl = modified(0, level, on);
    row->reRout = NO_RERT;
    _configTable.push_back(row);
    return;
  }
  if (!haveInst) {
    row->dbgLvl = modified(row->dbgLvl, level, on);
    for (BRootState* r : row->instances) r->debugLevel(row->dbgLvl);
    return;
  }
  for (BRootState* r : row->instances)
    if (r->instName() == argv[1]) r->debugLevel(modified(r->debugLevel(), level, on));
}

void BTrace::handleCompReRout(int argc, char** argv) {
  ConfigTable* row = findComponent(argv[0]);
  int ix = NO_INDEX;
  if (!row || !findInArgs(argc, argv, "rert", ix, 3) || ix + 1 >= argc) return;
  const char* action = argv[ix + 1];
  if (!strcmp(action, "none"))
    row->reRout = NO_RERT;
  else if (!strcmp(action, "que"))
    row->reRout = RERT_QUEUE;
  else if (!strcmp(action, "null"))
    row->reRout = RERT_NULL;
  else if (!strcmp(action, "byps"))
    row->reRout = RERT_BYPASS;
}

void BTrace::handleCompPrt(int argc, char** argv) {
  std::string instName = argc > 2 ? argv[1] : "";
  BRootState* one = findInstance(argv[0], instName);
  if (one) {
    one->printData(argc, argv);
    return;
  }
  ConfigTable* row = findComponent(argv[0]);
  if (!row) return;
  // A copy: printing must not be disturbed by a root that (un)registers.
  std::vector<BRootState*> roots = row->instances;
  for (BRootState* r : roots) r->printData(argc, argv);
}

void BTrace::handleVaskPrt(int argc, char** argv) {
  if (BScheduler::vaskProcDbgStr(argc, argv)) return;
  std::string name, instName;
  int mod = 0, cmp = 0;
  bool haveName = false, haveInst = false, haveMod = false, haveCmp = false;
  int ssm = NO_INDEX;
  if (findInArgs(argc, argv, "ssm", ssm, argc, 1)) {
    for (int i = ssm + 1; i + 1 < argc; ++i) {
      const char* opt = argv[i];
      const char* val = argv[i + 1];
      if (!strcmp(opt, "-name")) {
        name = val;
        haveName = true;
      } else if (!strcmp(opt, "-instname")) {
        instName = val;
        haveInst = true;
      } else if (!strcmp(opt, "-mod") && isNumber(val)) {
        mod = atoi(val);
        haveMod = true;
      } else if (!strcmp(opt, "-cmp") && isNumber(val)) {
        cmp = atoi(val);
        haveCmp = true;
      } else {
        continue;
      }
      ++i;
    }
  }
  std::vector<BRootState*> selected;
  bool anyOption = haveName || haveInst || haveMod || haveCmp;
  bool stop = false;
  for (ConfigTable* row : _configTable) {
    if (row->compCode == "vask") continue;
    for (BRootState* r : row->instances) {
      if (!anyOption) {
        selected.push_back(r);
      } else if (haveName && name == r->name()) {
        selected.push_back(r);
      } else if (haveInst && instName == r->instName()) {
        selected.push_back(r);
        stop = true;
        break;
      } else if (haveMod && haveCmp && r->moduleId() == mod && r->componentId() == cmp) {
        selected.push_back(r);
      }
    }
    if (stop) break;
  }
  std::stable_sort(selected.begin(), selected.end(),
                   [](BRootState* a, BRootState* b) { return strcmp(a->name(), b->name()) < 0; });
  for (BRootState* r : selected) {
    std::ostringstream os;
    os << "\n\n================= RootState start " << r->name() << "," << r->instName() << ", " << r->moduleId()
       << ":" << int(r->componentId()) << " =================";
    dbgPrint(os.str());
    r->printVaskData();
  }
}

void BTrace::parseDebugStream() {
  instance();
  // Received text waits here until complete; no more is taken in while a
  // backlog is waiting, so the socket's own buffer holds the rest.
  if (debugInputBuffer.size() < 4 * (CMD_LINE_SIZE + 1)) {
    std::string chunk;
    if (debugSocketStream.recv(chunk) > 0) debugInputBuffer += chunk;
  }
  if (_discardingLine) {
    std::string::size_type end = debugInputBuffer.find("\r\n");
    if (end == std::string::npos) {
      // Keep a final '\r': its '\n' may be in the next chunk.
      bool cr = !debugInputBuffer.empty() && debugInputBuffer.back() == '\r';
      debugInputBuffer = cr ? "\r" : "";
      return;
    }
    debugInputBuffer.erase(0, end + 2);
    _discardingLine = false;
  }
  if (debugInputBuffer.empty()) return;
  std::string::size_type end = debugInputBuffer.find("\r\n");
  if (end == std::string::npos) {
    size_t lineLen = debugInputBuffer.size();
    if (debugInputBuffer.back() == '\r') --lineLen;
    if (lineLen > CMD_LINE_SIZE) {
      dbgPrint("parseDebugStream: command longer than 255 characters refused");
      bool cr = debugInputBuffer.back() == '\r';
      debugInputBuffer = cr ? "\r" : "";
      _discardingLine = true;
    }
    return;
  }
  std::string command = debugInputBuffer.substr(0, end);
  debugInputBuffer.erase(0, end + 2);
  if (command.size() > CMD_LINE_SIZE) {
    dbgPrint("parseDebugStream: command longer than 255 characters refused");
    return;
  }
  printf("command: [%s]\n", command.c_str());
  fflush(stdout);
  procDbgStr(command);
}

void BTrace::processCommandsFile(const char* filter) {
  instance();
  std::ifstream in(_commandsFile);
  if (!in.is_open()) {
    printf("\nTrace commands file \"%s\" does not exist !!, touching ...\n\n", _commandsFile);
    fflush(stdout);
    std::error_code ec;
    if (!std::filesystem::exists(_commandsFile, ec)) std::ofstream create(_commandsFile);
    return;
  }
  std::string line;
  while (std::getline(in, line)) {
    // Lines are at most 79 characters; a longer one is cut, not split.
    if (line.size() > CMD_FILE_LINE_SIZE - 1) line.resize(CMD_FILE_LINE_SIZE - 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!filter || line.find(filter) != std::string::npos) procDbgStr(line);
  }
}
