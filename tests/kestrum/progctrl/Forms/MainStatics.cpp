// The program's shutdown switches live with its entry; the form tests link
// without it.
#include "main/Main.h"

bool Main::_shutdown = false;
int Main::_exitCode = 0;
