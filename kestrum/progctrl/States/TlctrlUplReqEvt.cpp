#include "TlctrlUplReqEvt.h"

#include "TlctrlRoot.h"

TlctrlUplReqEvt::TlctrlUplReqEvt() : BLocalEvent(TlctrlRoot::LOC_UPL_REQUEST, true) {}
