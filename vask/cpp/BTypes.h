#ifndef BTYPES_H
#define BTYPES_H

#include <cstdint>

// Identifiers and reserved values shared by the whole runtime.
typedef uint8_t SignalId;
typedef uint16_t ModuleId;
typedef uint8_t ComponentId;
typedef uint8_t StateId;
typedef uint8_t RegionId;
typedef uint16_t DebugLevel;
typedef uint32_t BTickType;

enum FirstModule { MOD_UNDEFINED = 0, MOD_VASK = 1, MOD_MAIN = 2, FIRST_MODULE = 10 };
enum FirstComponent { CMP_UNDEFINED = 0, CMP_VASK = 1, CMP_MAIN = 2, FIRST_COMPONENT = 10 };
enum FirstStateId { STATE_UNDEFINED = 0, STATE_ROOT = 2, FIRST_STATE = 10 };

enum FirstSignal {
  FIRST_MODULE_SIGNAL = 0,
  FIRST_COMPONENT_SIGNAL = 50,
  FIRST_LOCAL_SIGNAL = 100,
  FIRST_SYSTEM_SIGNAL = 200
};

enum SystemSignal {
  SIG_UNDEFINED = 200,
  SIG_SLEEP = 201,
  SIG_WATCHDOG_TIMEOUT = 202,
  SIG_WATCHDOG_ERROR = 203,
  SIG_WATCHDOG_RESET = 204,
  SIG_SETUP_BINDING = 205,
  SIG_BINDING_ACCEPTED = 206,
  SIG_BINDING_REJECTED = 207,
  SIG_RELEASE_BINDING = 208
};

#define IS_EXTERNAL_SIGNAL(sig) ((sig) < FIRST_LOCAL_SIGNAL)
#define IS_LOCAL_SIGNAL(sig) ((sig) >= FIRST_LOCAL_SIGNAL && (sig) < FIRST_SYSTEM_SIGNAL)
#define IS_SYSTEM_SIGNAL(sig) ((sig) >= FIRST_SYSTEM_SIGNAL)

enum BPriority {
  PRIO_TIMECRITICAL = 0,
  PRIO_1 = 1,
  PRIO_2 = 2,
  PRIO_3 = 3,
  PRIO_4 = 4,
  PRIO_5 = 5,
  PRIO_6 = 6,
  PRIO_7 = 7,
  PRIO_BACKGROUND = 8
};
const int NUM_PRIORITY_LEVEL = 9;

// Trace bits of a component's debug level (the trace facility names them).
enum BDebugBits {
  DBG_INIT = 0x0000,
  DBG_SIGNAL = 0x0001,
  DBG_DATA = 0x0002,
  DBG_ST_INT = 0x0004,
  DBG_ST_TGT = 0x0008,
  DBG_HIGH = 0x0010,
  DBG_MED = 0x0020,
  DBG_LOW = 0x0040,
  DBG_ONENTRY = 0x0080,
  DBG_ONEXIT = 0x0100,
  DBG_ACTBND = 0x0200,
  DBG_ALL = 0xFFFF
};

#endif
