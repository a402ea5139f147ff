#include "BEvtQueueFlex.h"

#include <cstdio>
#include <sstream>

#include "BDiag.h"

BEvtQueueFlex::~BEvtQueueFlex() {
  BEvent* e = nullptr;
  while (_list.popFront(&e)) e->destroy();
  clearDeferedEvts();
}

bool BEvtQueueFlex::post(BEvent* e) {
  if (!e) return false;
  if (_list.isEmpty()) wake();
  _list.append(e);
  return true;
}

bool BEvtQueueFlex::post(SignalId) { return false; }

BEvent* BEvtQueueFlex::get() {
  BEvent* e = nullptr;
  if (!_list.popFront(&e)) return nullptr;
  if (_list.isEmpty()) sleep();
  return e;
}

bool BEvtQueueFlex::postDefered(BEvent* e) {
  _deferedList.append(e);
  return true;
}

void BEvtQueueFlex::retryDeferedEvts() {
  if (_deferedList.isEmpty()) return;
  if (_list.isEmpty()) wake();
  _list.prepend(_deferedList);
}

void BEvtQueueFlex::clearDeferedEvts() {
  BEvent* e = nullptr;
  while (_deferedList.popFront(&e)) e->destroy();
}

static void removeFrom(SLList<BEvent*>& list, BBinding* b, const char* what) {
  SLList<BEvent*> keep;
  BEvent* e = nullptr;
  while (list.popFront(&e)) {
    if (e->binding() == b) {
      std::ostringstream os;
      os << what << static_cast<void*>(e) << " (" << e->moduleId() << ":" << int(e->componentId()) << ":"
         << int(e->signalId()) << ")";
      BDiag::print(os.str());
      e->destroy();
    } else {
      keep.append(e);
    }
  }
  list.prepend(keep);
}

void BEvtQueueFlex::removeBindingEvts(BBinding* b) {
  bool hadEvents = !_list.isEmpty();
  removeFrom(_list, b, "cleanup event: ");
  if (hadEvents && _list.isEmpty()) sleep();
  removeFrom(_deferedList, b, "cleanup defered event: ");
}

void BEvtQueueFlex::prtSigs() {
  char buf[128];
  SLListIterator<BEvent*> it(&_list);
  if (!_list.isEmpty()) {
    snprintf(buf, sizeof buf, "%10s %3s:%3s:%3s", "List:", "mod", "cmp", "sig");
    BDiag::print(buf);
    for (it.first(); !it.end(); it.next()) {
      BEvent* e = nullptr;
      it.currentItem(&e);
      snprintf(buf, sizeof buf, "%10s %3d:%3d:%3d", " ", e->moduleId(), e->componentId(), e->signalId());
      BDiag::print(buf);
    }
  }
  if (!_deferedList.isEmpty()) {
    SLListIterator<BEvent*> dit(&_deferedList);
    snprintf(buf, sizeof buf, "%20s %3s:%3s:%3s", "Deferred List:", "mod", "cmp", "sig");
    BDiag::print(buf);
    for (dit.first(); !dit.end(); dit.next()) {
      BEvent* e = nullptr;
      dit.currentItem(&e);
      snprintf(buf, sizeof buf, "%20s %3d:%3d:%3d", " ", e->moduleId(), e->componentId(), e->signalId());
      BDiag::print(buf);
    }
  }
}
