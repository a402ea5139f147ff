// Arbitrary input, cut into chunks, goes through the driver's reader; every
// unit it delivers, and the input itself as one unit, is handed to the
// running parser component, whose reports must stay within their layouts.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "BBinderState.h"
#include "BBinding.h"
#include "BMainState.h"
#include "BRootState.h"
#include "BScheduler.h"
#include "CdrvStrEvt.h"
#include "FuzzSystem.h"
#include "SLListIterator.h"
#include "TlWire.h"
#include "TlcdrvBinding.h"
#include "TlcdrvReader.h"
#include "TlctrlBootInf.h"
#include "TlctrlStiEvt.h"
#include "TlprotBinding.h"
#include "TlprotBndToConnDrv.h"
#include "TlprotSeeEvt.h"
#include "TolProgIds.h"

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

// Stands in for the controller: binds the parser and checks its reports.
class FuzzCtrl : public fuzz::SystemBinder {
public:
  explicit FuzzCtrl(BCompositeState* enclosing) : fuzz::SystemBinder(enclosing) {}
  void onEvent(const BEvent* e) override {
    if (auto s = dynamic_cast<const TlprotSeeEvt*>(e)) {
      check(s->f1data() && strlen(s->f1data()) <= TlWire::FIELD1MAX);
      check(s->f2data() && strlen(s->f2data()) <= TlWire::FIELD2MAX);
    }
    if (auto s = dynamic_cast<const TlctrlStiEvt*>(e)) {
      check(strnlen(s->type, sizeof s->type) <= TlWire::TYPE_LEN);
      check(strnlen(s->softw, sizeof s->softw) <= TlWire::SOFTW_LEN);
      check(strnlen(s->special, sizeof s->special) <= TlWire::STRSIZE);
      check(strnlen(s->hardw, sizeof s->hardw) <= TlWire::HARDW_LEN);
    }
    if (auto b = dynamic_cast<const TlctrlBootInf*>(e)) {
      check(strnlen(b->type, sizeof b->type) <= TlWire::TYPE_LEN);
      check(strnlen(b->special, sizeof b->special) <= TlWire::BOOT_SPECIAL_LEN);
      check(strnlen(b->hardw, sizeof b->hardw) <= TlWire::HARDW_LEN);
    }
    fuzz::SystemBinder::onEvent(e);
  }
  TlprotBndToConnDrv* parser() {
    SLListIterator<BBinding*> it(&_childList);
    for (it.first(); !it.end(); it.next()) {
      BBinding* b = nullptr;
      it.currentItem(&b);
      if (!b || !b->isActivated() || !b->child()) continue;
      BState* s = b->child()->getState(TlprotBndToConnDrv::TLPROTBNDTOCONNDRV);
      if (auto p = dynamic_cast<TlprotBndToConnDrv*>(s)) return p;
    }
    return nullptr;
  }
};

class FuzzMain : public BMainState {
public:
  void onEntry(const BEvent*) override { addRegion(ctrl = new FuzzCtrl(this)); }
  FuzzCtrl* ctrl = nullptr;
};

using fuzz::drain;

TlprotBndToConnDrv* parser() {
  static TlprotBndToConnDrv* p = nullptr;
  if (!p) {
    BMainState::mutexId(("Kestrum_fuzz_link_" + std::to_string(getpid())).c_str());
    FuzzMain* m = new FuzzMain();
    m->startup();
    for (int i = 0; i < 1000 && !p; ++i) {
      drain();
      p = m->ctrl ? m->ctrl->parser() : nullptr;
    }
    check(p != nullptr);
  }
  return p;
}

void toParser(const uint8_t* unit, size_t n) {
  CdrvStrEvt* e = new CdrvStrEvt(unit, n);
  parser()->cdrvString(e);
  e->destroy();
  drain();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  parser();
  toParser(data, size);
  TlcdrvReader reader;
  reader.unitSink([](const uint8_t* u, size_t n) {
    check(n > 0 && n < TlcdrvReader::MAXDATA);
    check(n == 1 || u[0] == TlWire::SOH);
    toParser(u, n);
  });
  size_t i = 0;
  while (i < size) {
    // A control byte: the chunk length, and whether the PC wrote before it.
    uint8_t c = data[i++];
    if (c & 0x80) reader.written();
    size_t len = (c & 0x7F) + 1u;
    if (len > size - i) len = size - i;
    reader.feed(data + i, len);
    i += len;
    check(reader.readBufPos() < TlcdrvReader::MAXDATA);
  }
  return 0;
}
