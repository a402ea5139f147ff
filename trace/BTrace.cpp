// The trace facility's state and its place in the runtime: the one instance,
// the hooks it installs, registration of root states and event re-routing.
// Output is in BTrace_output.cpp, the component table in
// BTrace_components.cpp, the command interpreter in BTrace_commands.cpp.
#include "BTrace.h"

#include <algorithm>
#include <cstring>

#include "BCompositeState.h"
#include "BDiag.h"
#include "BEvent.h"
#include "BEvtQueueFlex.h"
#include "BRootState.h"

const char* const BTrace::_logFileName = "dbgTrace.log";
const char* const BTrace::_commandsFile = "dbgTraceCommands.txt";

const BTrace::DfltConfigTable BTrace::_dfltConfigTable[6] = {
    {"help", 0, 0, 0, NO_RERT},
    {"vask", MOD_VASK, CMP_VASK, 0, NO_RERT},
    {"", 10, 10, 0, NO_RERT},
    {"", 10, 11, 0, NO_RERT},
    {"", 10, 12, 0, NO_RERT},
    {"end", 0, 0, 0, NO_RERT},
};

std::ofstream BTrace::_traceFileStr;
BClientSocketStream BTrace::debugSocketStream;
std::string BTrace::debugInputBuffer;
BEvtQueueFlex* BTrace::reRouteTestQueue = nullptr;
BTrace* BTrace::_instance = nullptr;
BCompositeState* BTrace::_queueOwner = nullptr;
std::vector<BTrace::ConfigTable*> BTrace::_configTable;
char BTrace::_dbgbuff[BTrace::DBG_BUFF_SIZE];
char BTrace::_cmdLineStr[BTrace::CMD_LINE_SIZE + 1];
char BTrace::_timeStamp[32];
bool BTrace::_discardingLine = false;
int BTrace::_depth = 0;

namespace {

// Owner of the trace queue. Its queue is never registered with the
// scheduler, so diverted events never keep the system awake.
class TraceQueueOwner : public BCompositeState {
public:
  TraceQueueOwner() : BCompositeState(nullptr, MOD_VASK, CMP_VASK, STATE_ROOT, PRIO_7) {}
  bool isPersistent() override { return true; }
};

void runCommand(const std::string& text) { BTrace::procDbgStr(text); }
void createHook() { BTrace::instance(); }
void destroyHook() { BTrace::destroy(); }

// Linking the trace library is enough for the runtime to print through it
// and to create it with the main state. (Every part of the facility uses
// the data defined above, so whichever part a program calls brings this in.)
struct TraceInstaller {
  TraceInstaller() {
    BDiag::remoteSink(BTrace::toRemote);
    BDiag::logSink(BTrace::toLog);
    BDiag::traceHooks(nullptr, nullptr, createHook, destroyHook);
  }
  ~TraceInstaller() {
    if (BDiag::remoteSink() == BTrace::toRemote) BDiag::remoteSink(nullptr);
    if (BDiag::logSink() == BTrace::toLog) BDiag::logSink(nullptr);
  }
} g_traceInstaller;

}  // namespace

BTrace::BTrace() {
  _queueOwner = new TraceQueueOwner();
  reRouteTestQueue = static_cast<BEvtQueueFlex*>(_queueOwner->queue());
  for (const DfltConfigTable* d = _dfltConfigTable; strcmp(d->compCode, "end") != 0; ++d) {
    ConfigTable* row = new ConfigTable();
    row->compCode = d->compCode;
    row->mod = d->mod;
    row->comp = d->comp;
    row->dbgLvl = d->dbgLvl;
    row->reRout = d->reRout;
    _configTable.push_back(row);
  }
  BDiag::traceHooks(registerRootState, reRouteEvent, createHook, destroyHook);
  BDiag::commandRunner(runCommand);
}

BTrace::~BTrace() {
  BDiag::traceHooks(nullptr, nullptr, createHook, destroyHook);
  BDiag::commandRunner(nullptr);
  for (ConfigTable* row : _configTable) {
    row->instances.clear();
    delete row;
  }
  _configTable.clear();
  // The diverted events still in the trace queue die with it.
  delete _queueOwner;
  _queueOwner = nullptr;
  reRouteTestQueue = nullptr;
}

BTrace* BTrace::instance() {
  if (!_instance) _instance = new BTrace();
  return _instance;
}

void BTrace::destroy() {
  delete _instance;
  _instance = nullptr;
}

void BTrace::registerRootState(bool add, BRootState* root) {
  if (!root || !_instance) return;
  ConfigTable* vaskRow = findComponent("vask");
  if (!vaskRow) {
    BDiag::assertion("cpp/BTrace", __LINE__, "vaskCfgTbl != NULL", "\"vask\" entry not in debug table");
  } else if (add) {
    if (std::find(vaskRow->instances.begin(), vaskRow->instances.end(), root) == vaskRow->instances.end())
      vaskRow->instances.push_back(root);
  }
  if (!add) {
    // Out of every list, so that no row keeps a pointer to a root that goes away.
    for (ConfigTable* row : _configTable)
      row->instances.erase(std::remove(row->instances.begin(), row->instances.end(), root), row->instances.end());
    return;
  }
  std::string name = root->name();
  ModuleId mod = root->moduleId();
  ComponentId comp = root->componentId();
  ConfigTable* b = findComponent(name);
  ConfigTable* a = findComponent(mod, comp);
  ConfigTable* c = findComponent(name, mod, comp);
  bool bPreset = b && b->isPreset() && b != a && b != c;
  ConfigTable* use = nullptr;
  if (a && a->compCode.empty() && bPreset && !c) {
    a->compCode = b->compCode;
    a->dbgLvl = b->dbgLvl;
    removeRow(b, true);
    use = a;
  } else if (bPreset && c) {
    c->compCode = b->compCode;
    c->dbgLvl = b->dbgLvl;
    removeRow(b, true);
    use = c;
  } else if (b && b->isPreset()) {
    use = b;
  } else {
    use = a;
  }
  if (!use) {
    use = new ConfigTable();
    use->compCode = name;
    use->mod = mod;
    use->comp = comp;
    use->dbgLvl = 0;
    use->reRout = NO_RERT;
    _configTable.push_back(use);
    use->instances.push_back(root);
    return;
  }
  use->compCode = name;
  use->mod = mod;
  use->comp = comp;
  if (std::find(use->instances.begin(), use->instances.end(), root) == use->instances.end())
    use->instances.push_back(root);
  root->debugLevel(use->dbgLvl);
}

bool BTrace::reRouteEvent(BEvent* e, ModuleId mod, ComponentId comp) {
  if (!e || !_instance) return false;
  ConfigTable* row = findComponent(mod, comp);
  if (!row) return false;
  switch (row->reRout) {
    case RERT_NULL:
      // The sender still holds its reference and drops it: the event dies there.
      return true;
    case RERT_QUEUE:
      e->copy();
      reRouteTestQueue->post(e);
      return true;
    case RERT_BYPASS:
      e->copy();
      reRouteTestQueue->post(e);
      return false;
    case NO_RERT:
    default:
      return false;
  }
}
