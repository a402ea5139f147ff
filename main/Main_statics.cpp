// Main's process-wide variables, apart from the state itself, so that the
// libraries that set them need not link the entry's library.
#include "Main.h"

const char* Main::_dbgAddr = "";
int Main::_dbgPort = 0;
bool Main::_wsStartupDll = true;
bool Main::_shutdown = false;
int Main::_exitCode = 0;
const char* Main::_refPackFile = nullptr;
volatile std::sig_atomic_t Main::_stopSignal = 0;
