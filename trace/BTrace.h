#ifndef BTRACE_H
#define BTRACE_H

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "BClientSocketStream.h"
#include "BTypes.h"

class BEvent;
class BEvtQueueFlex;
class BCompositeState;
class BRootState;
class BState;

// The trace facility: per-component debug levels and event re-routing, the
// registered root states, the trace command interpreter and the trace sinks
// (remote debug stream and log file). One per process.
class BTrace {
public:
  static constexpr DebugLevel INIT = DBG_INIT;
  static constexpr DebugLevel SIGNAL = DBG_SIGNAL;
  static constexpr DebugLevel DATA = DBG_DATA;
  static constexpr DebugLevel ST_INT = DBG_ST_INT;
  static constexpr DebugLevel ST_TGT = DBG_ST_TGT;
  static constexpr DebugLevel STATE = DBG_ST_INT | DBG_ST_TGT;
  static constexpr DebugLevel HIGH = DBG_HIGH;
  static constexpr DebugLevel MED = DBG_MED;
  static constexpr DebugLevel LOW = DBG_LOW;
  static constexpr DebugLevel ONENTRY = DBG_ONENTRY;
  static constexpr DebugLevel ONEXIT = DBG_ONEXIT;

  enum ReRoutType : uint32_t { NO_RERT = 0, RERT_QUEUE = 1, RERT_NULL = 2, RERT_BYPASS = 3 };

  struct DfltConfigTable {
    const char* compCode;
    uint16_t mod;
    uint8_t comp;
    DebugLevel dbgLvl;
    ReRoutType reRout;
  };

  struct ConfigTable {
    std::string compCode;
    uint16_t mod;
    uint8_t comp;
    DebugLevel dbgLvl;
    ReRoutType reRout;
    std::vector<BRootState*> instances;  // not owned
    bool isPreset() const { return mod == 0 && comp == 0; }
  };

  enum { DBG_BUFF_SIZE = 1024, CMD_LINE_SIZE = 255, MAX_ARGS = 127, CMD_FILE_LINE_SIZE = 80, NO_INDEX = 255 };

  static BTrace* instance();
  static void destroy();

  static void openDbgLog();
  static void closeDbgLog();
  static bool connectDebugStream(const char* host, uint16_t port);
  static bool disconnectDebugStream();
  // Interprets at most one complete command received on the debug stream.
  static void parseDebugStream();
  // Interprets the lines of the commands file that contain filter.
  static void processCommandsFile(const char* filter);
  static void procDbgStr(const std::string& command);

  static void registerRootState(bool add, BRootState* rootState);
  // True when the event must not be delivered to component (mod, comp).
  static bool reRouteEvent(BEvent* e, ModuleId mod, ComponentId comp);
  // The current sub-state in a region of a registered root state; the
  // instance by name when instIndex is 0xFFFF and a name is given.
  static BState* getState(ModuleId mod, ComponentId comp, RegionId region, uint16_t instIndex,
                          const char* instName);

  static void dbgPrint(const std::string& text, bool timeStamp = true, bool newLine = true, bool unused = false);
  static void dbgPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
  static void prtDataArray(const uint8_t* data, uint16_t length, bool hex = true);
  static void prtDataArray(const std::string& data, bool hex = true);
  static void prtDataArray(const std::vector<uint8_t>& data, bool hex = true);
  static std::string timeStamp();
  static char* dbgBuff() { return _dbgbuff; }
  // The two sinks the runtime's diagnostics write to.
  static void toRemote(const std::string& text);
  static void toLog(const std::string& text);

  static ConfigTable* findComponent(const std::string& code);
  static ConfigTable* findComponent(ModuleId mod, ComponentId comp);
  static ConfigTable* findComponent(const std::string& code, ModuleId mod, ComponentId comp);
  static BRootState* findInstance(const std::string& code, const std::string& instName);
  static BRootState* findInstance(ModuleId mod, ComponentId comp, const std::string& instName);
  static void sortConfigTable();
  static void setDbgLvlAll(DebugLevel level);
  // Splits command into words in buf (CMD_LINE_SIZE + 1 bytes); argv gets
  // at most MAX_ARGS words and a closing null; more tells whether words were
  // left over. Returns the number of words.
  static int getArgs(const char* command, char* buf, char** argv, bool* more = nullptr);
  static bool findInArgs(int argc, char** argv, const char* word, int& index, int limit, int start = 0);
  static void handleDbgLevel(bool all, int argc, char** argv, bool on);
  static void handleCompPrt(int argc, char** argv);
  static void handleCompReRout(int argc, char** argv);
  static void handleVaskPrt(int argc, char** argv);

  static const std::vector<ConfigTable*>& configTable() { return _configTable; }

  static const char* const _logFileName;
  static const char* const _commandsFile;
  static const DfltConfigTable _dfltConfigTable[6];
  static std::ofstream _traceFileStr;
  static BClientSocketStream debugSocketStream;
  static std::string debugInputBuffer;
  static BEvtQueueFlex* reRouteTestQueue;

private:
  BTrace();
  ~BTrace();
  static void printHelp();
  static void removeRow(ConfigTable* row, bool del);

  static BTrace* _instance;
  static BCompositeState* _queueOwner;
  static std::vector<ConfigTable*> _configTable;
  static char _dbgbuff[DBG_BUFF_SIZE];
  static char _cmdLineStr[CMD_LINE_SIZE + 1];
  static char _timeStamp[32];
  static bool _discardingLine;
  static int _depth;
};

#endif
