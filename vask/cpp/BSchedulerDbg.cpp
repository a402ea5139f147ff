// The "vask" debug commands of the scheduler.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "BCompositeState.h"
#include "BDiag.h"
#include "BEvent.h"
#include "BEvtQueue.h"
#include "BException.h"
#include "BScheduler.h"

namespace {
bool isNumber(const char* s) {
  if (!s || !*s) return false;
  char* end = nullptr;
  strtol(s, &end, 10);
  return end && *end == '\0';
}
const char* word(int argc, char** argv, int i) { return i < argc ? argv[i] : nullptr; }
}  // namespace

void BScheduler::printQueues(int argc, char** argv, int ix) {
  bool filter = false;
  long mod = 0, cmp = 0;
  if (isNumber(word(argc, argv, ix + 1)) && isNumber(word(argc, argv, ix + 2))) {
    filter = true;
    mod = strtol(argv[ix + 1], nullptr, 10);
    cmp = strtol(argv[ix + 2], nullptr, 10);
  }
  BDiag::print("Event List:");
  char buf[160];
  for (int p = 0; p < NUM_PRIORITY_LEVEL; ++p) {
    if (!_QList[p]) continue;
    snprintf(buf, sizeof buf, "%10s;%4s;%3s;%3s;%4s;%4s", "quePtr", "prio", "mod", "cmp", "stid", "#evt");
    BDiag::print(buf);
    BQListItem* n = _QList[p];
    do {
      BEvtQueue* q = n->_queue;
      BCompositeState* o = q->owner();
      bool match = !filter || (o && o->moduleId() == mod && o->componentId() == cmp);
      if (match && (!q->isEmpty() || !q->isDeferedEmpty())) {
        snprintf(buf, sizeof buf, "%10p;%4d;%3d;%3d;%4d;%4d, sigs:", static_cast<void*>(q), p,
                 o ? o->moduleId() : 0, o ? o->componentId() : 0, o ? o->stateId() : 0, q->count());
        BDiag::print(buf);
        q->prtSigs();
      }
      n = n->_next;
    } while (n != _QList[p]);
  }
  timerManager().printData();
}

void BScheduler::printEvtOverview() {
  BDiag::print("Nr events overview:");
  std::string prio = "Priority:", evts = "#events:";
  char buf[16];
  for (int p = 0; p < NUM_PRIORITY_LEVEL; ++p) {
    snprintf(buf, sizeof buf, "%3d ", p);
    prio += buf;
    int n = 0;
    if (BQListItem* head = _QList[p]) {
      BQListItem* it = head;
      do {
        n += it->_queue->count();
        it = it->_next;
      } while (it != head);
    }
    snprintf(buf, sizeof buf, "%3d ", n);
    evts += buf;
  }
  BDiag::print(prio);
  BDiag::print(evts);
}

void BScheduler::printPrio() {
  std::ostringstream os;
  os << "CurrentPrio:" << int(currentPriority());
  BDiag::print(os.str());
  for (int p = 0; p < NUM_PRIORITY_LEVEL; ++p) {
    std::ostringstream l;
    l << "Prio:" << p << " #activeQs:" << _activeQ[p];
    BDiag::print(l.str());
  }
}

void BScheduler::printStat() {
  std::ostringstream os;
  os << "BASE_TICK_MULTIPLIER=" << 1 << " statChkRTCmax=" << int(_stats.statChkRTCmax);
  if (_stats.statChkRTCmax) {
    os << " statRTCMax=" << _stats.statRTCMax << " (RTC-step time boundary, " << _stats.statRTCMax * 10 << " ms)"
       << " statRTCHL=" << _stats.statRTCHL << " (highest RTC-step time, " << _stats.statRTCHL * 10 << " ms)"
       << " queue=" << _stats.statRTCQueMod << ":" << int(_stats.statRTCQueCmp) << ":" << int(_stats.statRTCQueSt)
       << " into state: " << int(_stats.statRTCActSt) << " (highest RTC-step queue)"
       << " event=" << _stats.statRTCEvtMod << ":" << int(_stats.statRTCEvtCmp) << ":"
       << int(_stats.statRTCEvtSig) << " (highest RTC-step time event id)";
  }
  BDiag::print(os.str());
  for (const std::string& line : _recordList) BDiag::print(line);
}

void BScheduler::printHelp() {
  static const char* const lines[] = {
      "       - Print Vask internal data.",
      "         Command: \"vask <action>\", action can be:",
      "             - (default)  (print state machine data for all states)",
      "             - queue      (queues and # events)",
      "             - prio       (priorities and # active queues)",
      "             - curr_evt   (mod, comp, signal Id of current event)",
      "             - curr_queue (owner, signal ids of current queue)",
      "             - ssm        <-name <name>> [-instName <name>] [-mod <nr> -cmp <nr>]",
      "                          (print component state machine data.",
      "             - rtcmax     <on|off> <timevalue>,  maximum time of one RTC step in nTicks",
      "                          on with value = 0, checks and set the maximum RTC step. Print with \"vask stat\" ",
      "                          on with value > 0, checks and set the maximum RTC step. Print with \"vask stat\" ",
      "                                             Prints exception when value exceeded.",
      "             - stat       (statistics, only available if rtcmax == on )",
      nullptr,
      "             - trevts <nrEvents> prints the next #events of currenqueue en event. This to",
      "                                 investigate certain events ar NOT processed while e.g. prio is max",
      "             - flush             clear the recorded list",
      "             - evt_overview Prints event overview of all #events per priority",
      ""};
  for (const char* l : lines) {
    if (l) {
      BDiag::print(l);
    } else {
      std::ostringstream os;
      os << "             - ignrst <on|off> (ignore reset in BException) ignrst=" << int(BException::_ignoreReset);
      BDiag::print(os.str());
    }
  }
}

bool BScheduler::vaskProcDbgStr(int argc, char** argv) {
  BDiag::print("=-->BScheduler::vaskProcDbgStr");
  bool handled = false;
  for (int i = 1; i < argc; ++i) {
    const char* w = argv[i];
    if (!strcmp(w, "queue")) {
      printQueues(argc, argv, i);
      handled = true;
    } else if (!strcmp(w, "evt_overview")) {
      printEvtOverview();
      handled = true;
    } else if (!strcmp(w, "prio")) {
      printPrio();
      handled = true;
    } else if (!strcmp(w, "stat")) {
      printStat();
      handled = true;
    } else if (!strcmp(w, "curr_evt")) {
      if (_currentEvent) {
        char buf[96];
        snprintf(buf, sizeof buf, "Current event: mod:%d cmp:%d sig:%d", _currentEvent->moduleId(),
                 _currentEvent->componentId(), _currentEvent->signalId());
        BDiag::print(buf);
      }
      handled = true;
    } else if (!strcmp(w, "curr_queue")) {
      if (_currentQueue) {
        BCompositeState* o = _currentQueue->owner();
        char buf[160];
        snprintf(buf, sizeof buf, "Current queue: mod:%d cmp:%d state:%d #evt:%d evt => state:%d sigs:",
                 o ? o->moduleId() : 0, o ? o->componentId() : 0, o ? o->stateId() : 0, _currentQueue->count(),
                 _currEvtQue.currActSt);
        BDiag::print(buf);
        snprintf(buf, sizeof buf, "vask prt ssm -mod %d -cmp %d", o ? o->moduleId() : 0, o ? o->componentId() : 0);
        BDiag::command(buf);
      }
      handled = true;
    } else if (!strcmp(w, "rtcmax")) {
      const char* onoff = word(argc, argv, i + 1);
      _stats.statChkRTCmax = onoff && !strcmp(onoff, "on");
      if (!_stats.statChkRTCmax) {
        _recordList.clear();
        _stats.statRTCMax = 0;
      } else {
        const char* value = word(argc, argv, i + 2);
        if (isNumber(value)) _stats.statRTCMax = static_cast<BTickType>(strtoul(value, nullptr, 10));
        addRecordHeader();
      }
      std::ostringstream os;
      os << "RTC stats: statChkRTCmax=" << int(_stats.statChkRTCmax) << " statRTCMax=" << _stats.statRTCMax;
      BDiag::print(os.str());
      handled = true;
    } else if (!strcmp(w, "ignrst")) {
      const char* onoff = word(argc, argv, i + 1);
      BException::_ignoreReset = onoff && !strcmp(onoff, "on");
      return true;
    } else if (!strcmp(w, "trevts")) {
      const char* n = word(argc, argv, i + 1);
      _traceNrEvents = isNumber(n) ? atoi(n) : 0;
      if (_recordList.empty()) addRecordHeader();
      handled = true;
    } else if (!strcmp(w, "flush")) {
      _recordList.clear();
      handled = true;
    } else if (!strcmp(w, "help")) {
      printHelp();
      handled = true;
    }
  }
  return handled;
}
