#include "TlctrlDldReqEvt.h"

#include "TlctrlRoot.h"

TlctrlDldReqEvt::TlctrlDldReqEvt() : BLocalEvent(TlctrlRoot::LOC_DNLD_REQUEST, true) {}
