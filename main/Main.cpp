#include "Main.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "BTrace.h"
#include "TlctrlRoot.h"

const char* Main::_dbgAddr = "";
int Main::_dbgPort = 0;
bool Main::_wsStartupDll = true;
bool Main::_shutdown = false;
int Main::_exitCode = 0;
const char* Main::_refPackFile = nullptr;
bool Main::_unattended = false;
volatile std::sig_atomic_t Main::_stopSignal = 0;

Main::Main() : _wsaData(0) {}

Main::~Main() {}

void Main::onEntry(const BEvent*) {
  if (_dbgPort != 0) {
    _wsStartupDll = true;
    // A name that does not resolve must not aim the stream anywhere else.
    if (!BTrace::connectDebugStream(_dbgAddr, _dbgPort)) {
      fprintf(stderr, "kestrum: -remdbg: host \"%s\" not found; remote debugging off\n", _dbgAddr ? _dbgAddr : "");
      _dbgPort = 0;
    }
  }
  addRegion(new TlctrlRoot());
}

void Main::onExit(const BEvent*) {
  if (_dbgPort != 0) {
    std::string line = "Exit code:" + std::to_string(_exitCode);
    BTrace::dbgPrint(line.c_str(), true, true, false);
    BTrace::disconnectDebugStream();
  }
}

void Main::onEvent(const BEvent*) {}
void Main::onInitial(const BEvent*, RegionId) {}
void Main::onDone(const BEvent*, RegionId) {}
void Main::onError(const BEvent*, RegionId) {}
void Main::onSleep() {}
void Main::printStateData(int, char**) {}

char* filename_dir(char* path) {
  if (!path) return nullptr;
  if (!*path) return const_cast<char*>(".");  // nothing to cut, nothing to write into
  char* start = path;
  if (start[0] && start[1] == ':') start += 2;  // a drive letter
  char* last = nullptr;
  for (char* p = start; *p; ++p)
    if (*p == '/' || *p == '\\') last = p;
  if (last) {
    if (last == path) {
      last[1] = '\0';  // the root directory stays "/"
    } else {
      *last = '\0';
    }
  } else {
    strcpy(path, ".");  // a non-empty text holds at least two bytes
  }
  return path;
}
