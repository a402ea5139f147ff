#include "TlcdrvRoot.h"

#include "BCheckcast.h"
#include "BDiag.h"
#include "BTimer.h"
#include "CdrvErrorEvt.h"
#include "CdrvPortSetEvt.h"
#include "CdrvStrEvt.h"
#include "PortDiagnosis.h"
#include "Serial.h"
#include "TlcdrvSignals.h"
#include "TolProgIds.h"

#include <cstdio>
#include <utility>

TlcdrvRoot* TlcdrvRoot::_tlcdrvroot = nullptr;
uint16_t TlcdrvRoot::_instNr = 0;
Serial* TlcdrvRoot::_serial = nullptr;
std::string TlcdrvRoot::_actComPort;
bool TlcdrvRoot::_portChosen = false;
bool TlcdrvRoot::_portOpen = false;
std::string TlcdrvRoot::_lastFailure;
SLList<BBinding*>* TlcdrvRoot::_bindings = nullptr;
BTimer* TlcdrvRoot::_portPollTmr = nullptr;
Serial::WatchHook TlcdrvRoot::_portWatch;

namespace {
// _lastFailure after a hang-up.
const char* const LOST = "lost";
}  // namespace

TlcdrvRoot::TlcdrvRoot() : BRootState("Tlcdrv", TOL_PROG, CONN_DRV, PRIO_4) {
  _serial = new Serial();
  _serial->watchHook(_portWatch);
  _bindings = new SLList<BBinding*>();
  _portPollTmr = new BTimer();
  _reader.unitSink([this](const uint8_t* unit, size_t n) { unitReceived(unit, n); });
}

TlcdrvRoot::~TlcdrvRoot() {
  _portOpen = false;
  if (_serial) _serial->closePort();
  delete _serial;
  _serial = nullptr;
  delete _bindings;
  _bindings = nullptr;
  delete _portPollTmr;
  _portPollTmr = nullptr;
  _portChosen = false;
  _actComPort.clear();
  _lastFailure.clear();
}

TlcdrvRoot* TlcdrvRoot::instance() {
  ++_instNr;
  if (!_tlcdrvroot) {
    _tlcdrvroot = new TlcdrvRoot();
    _tlcdrvroot->initialize();
  }
  return _tlcdrvroot;
}

void TlcdrvRoot::destroy() {
  if (_instNr == 0) return;
  if (--_instNr == 0 && _tlcdrvroot) {
    TlcdrvRoot* root = _tlcdrvroot;
    _tlcdrvroot = nullptr;
    root->abort();
    delete root;
  }
}

void TlcdrvRoot::readCom() {
  if (_tlcdrvroot) _tlcdrvroot->readSerialPort();
}

bool TlcdrvRoot::unitArriving() { return _tlcdrvroot && _tlcdrvroot->_reader.readBufPos() > 0; }

void TlcdrvRoot::portWatch(Serial::WatchHook hook) {
  _portWatch = std::move(hook);
  if (_serial) _serial->watchHook(_portWatch);
}

void TlcdrvRoot::portReadable() {
  if (!_tlcdrvroot || !_serial) return;
  bool wasHungUp = _serial->hungUp();
  _serial->onReadable();
  if (_serial->hungUp() && !wasHungUp)
    _tlcdrvroot->traceLine("TlcdrvRoot::portReadable port \"" + _actComPort + "\" hung up");
}

void TlcdrvRoot::onSetup(BBinding* b) {
  _bindings->append(b);
  accept(b);
}

void TlcdrvRoot::onRelease(BBinding* b) { _bindings->remove(b); }

void TlcdrvRoot::onEvent(const BEvent* e) {
  if (!e || e->moduleId() != TOL_PROG || e->componentId() != CONN_DRV) return;
  bool result;
  switch (e->signalId()) {
    case CDRV_STRING:
      result = cdrvString(CHECKCAST_CONST(CdrvStrEvt, e));
      break;
    case LOC_PORT_POLL_TMR:
      result = portPolltimer();
      break;
    case CDRV_PORT_SETTINGS:
      result = portSettings(CHECKCAST_CONST(CdrvPortSetEvt, e));
      break;
    default:
      return;
  }
  transition(static_cast<BState*>(nullptr));
  B_ASSERT_TXT(result, "result", "Unsuccessful result event=" << static_cast<int>(e->signalId()));
}

void TlcdrvRoot::traceLine(const std::string& text) {
  if (debugLevel() & DBG_LOW) BDiag::print(text + traceSuffix());
}

void TlcdrvRoot::startPollTimer() {
  _portPollTmr->fireIn(queue(), BTimer::n100Ms(POLL_TMR_INTV), LOC_PORT_POLL_TMR);
}

// Tells the controller whether the port is usable.
bool TlcdrvRoot::reportPort(bool open) {
  CdrvErrorEvt* report = new CdrvErrorEvt(open ? CdrvErrorEvt::CDRV_CLEAR_COM_NOT_OPEN
                                               : CdrvErrorEvt::CDRV_SET_COM_NOT_OPEN);
  if (!open) report->reason(_serial->lastError());
  return sendBack(report, TOL_PROG, PROG_CTRL, nullptr) > 0;
}

// A line for the user on standard error and in the trace, whatever the
// trace levels: the port is the first thing to check when nothing works.
void TlcdrvRoot::notice(const std::string& text) {
  fprintf(stderr, "kestrum: %s\n", text.c_str());
  fflush(stderr);
  BDiag::print("TlcdrvRoot: " + text);
}

// Opens the chosen port; a failure is explained once until it changes or
// the port opens again.
bool TlcdrvRoot::openPort() {
  std::string path = Serial::devicePath(_actComPort.c_str());
  if (_serial->openPort(_actComPort.c_str())) {
    // After a loss the port is quiet until the device answers again (see
    // unitReceived): a port that hangs up at every open is told of once.
    if (!_lastFailure.empty() && _lastFailure != LOST) {
      notice("COM port \"" + _actComPort + "\" is open again");
      _lastFailure.clear();
    }
    std::string warning = PortDiagnosis::sharedWarning(path);
    if (!warning.empty()) notice(warning);
    return true;
  }
  std::string key = path + "\n" + std::to_string(_serial->errorCode()) + "\n" + std::to_string(_serial->lastErrno());
  if (key != _lastFailure) {
    _lastFailure = key;
    std::string why = _serial->errorCode() == Serial::ERR_OPEN || _serial->errorCode() == Serial::ERR_LINE_SETTINGS
                          ? PortDiagnosis::explain(path, _serial->lastErrno())
                          : _serial->lastError();
    notice("COM port \"" + _actComPort + "\" cannot be opened: " + why);
  }
  return false;
}

// The device went away under an open port: the descriptor is dead, so it
// is closed; the next write opens the port again, which finds the device
// when it is back on the same path.
void TlcdrvRoot::portLost() {
  _serial->closePort();
  _portOpen = false;
  _reader.reset();
  if (_lastFailure == LOST) {
    reportLost();
    return;
  }
  _lastFailure = LOST;
  notice("COM port \"" + _actComPort + "\" lost: the device hung up the line (unplugged?)");
  reportLost();
}

bool TlcdrvRoot::reportLost() {
  CdrvErrorEvt* report = new CdrvErrorEvt(CdrvErrorEvt::CDRV_SET_COM_NOT_OPEN);
  report->reason("the device hung up the line");
  return sendBack(report, TOL_PROG, PROG_CTRL, nullptr) > 0;
}

bool TlcdrvRoot::portSettings(const CdrvPortSetEvt* e) {
  if (_portOpen) {
    _serial->closePort();
    _portOpen = false;
  }
  if (!e || !e->comPort()) return false;
  _actComPort = e->comPort();
  _portChosen = true;
  _portOpen = openPort();
  // Also polled by the timer, not only by the main loop.
  if (_portOpen && !_portPollTmr->armed()) startPollTimer();
  bool sent = reportPort(_portOpen);
  traceLine(std::string("TlcdrvRoot::") + "portSettings" + " result=" + (_portOpen ? "1" : "0") +
            " port=\"" + _actComPort + "\"");
  return _portOpen && sent;
}

bool TlcdrvRoot::cdrvString(const CdrvStrEvt* e) {
  if (!e) return false;
  if (!_portChosen) {
    B_ASSERT_TXT(false, "_actComPort != NULL", "_actComPort: " << " undefined.");
    return false;
  }
  if (!_portOpen) {
    _portOpen = openPort();
    if (!_portOpen) {
      B_ASSERT_TXT(false, "_portOpen", "cdrvString: port " << _actComPort << " is not open.");
      return false;
    }
    if (!_portPollTmr->armed()) startPollTimer();
    reportPort(true);
  }
  int want = e->nrBytes <= CdrvStrEvt::MAXDATA ? e->nrBytes : CdrvStrEvt::MAXDATA;
  int n = _serial->writePort(e->data, want);
  // A frame half received goes on: its rest may still come, and the answer
  // right behind it.
  _reader.written();
  // The reply may be a lone ACK: any byte must wake the loop again.
  _serial->wakeThreshold(1);
  if (n != e->nrBytes) {
    B_ASSERT_TXT(false, "n == strEvt->nrBytes", "not all bytes written " << n);
    if (_serial->lineLost()) portLost();
    return false;
  }
  traceLine("bytes written: " + std::to_string(n));
  return true;
}

bool TlcdrvRoot::portPolltimer() {
  readSerialPort();
  startPollTimer();
  return true;
}

void TlcdrvRoot::readSerialPort() {
  if (!_portOpen) return;
  if (_serial->lineLost()) {
    portLost();
    return;
  }
  DebugLevel level = debugLevel();
  if (level & DBG_LOW)
    _reader.traceSink([this](const std::string& t) { BDiag::print(t + traceSuffix()); });
  else
    _reader.traceSink(nullptr);
  if (level & (DBG_HIGH | DBG_MED | DBG_LOW))
    _reader.dumpSink([](const std::string& t) { BDiag::print(t); });
  else
    _reader.dumpSink(nullptr);
  _reader.read([](void* buf, int max) { return _serial->readPort(buf, max); });
  _serial->wakeThreshold(static_cast<int>(_reader.bytesToNextUnit()));
  _serial->rearm();
}

void TlcdrvRoot::unitReceived(const uint8_t* unit, size_t n) {
  // The device answers: the next failure is news again.
  _lastFailure.clear();
  CdrvStrEvt* strEvt = new CdrvStrEvt(unit, n);
  sendBack(strEvt, TOL_PROG, PROT_PARSER, nullptr);
}
