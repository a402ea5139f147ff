#include "Main.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "BTrace.h"
#include "TlctrlRoot.h"

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
