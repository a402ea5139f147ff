#include "TlctrlUplEndEvt.h"

#include "TlctrlRoot.h"

TlctrlUplEndEvt::TlctrlUplEndEvt() : BLocalEvent(TlctrlRoot::LOC_UPL_END, true) {}
