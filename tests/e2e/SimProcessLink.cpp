// The simulator's test driver is shared with the simulator's own tests.
#include "tools/tolvan-sim/SimProcess.cpp"
