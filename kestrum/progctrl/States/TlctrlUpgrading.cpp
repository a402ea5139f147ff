#include "TlctrlUpgrading.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "BBindingEvent.h"
#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "BTimer.h"
#include "FrmKestrumImpl.h"
#include "Language.h"
#include "Main.h"
#include "RevPackDb.h"
#include "TlctrlConnIdle.h"
#include "TlctrlRoot.h"
#include "TlctrlUpgrWaitBootReq.h"
#include "TlctrlUpgrWaitStatInfo.h"
#include "TlprotBootLoadData.h"
#include "TlprotChecksum.h"
#include "TlprotPacknr.h"
#include "TlprotSignals.h"
#include "TlprotUpgrData.h"
#include "TolProgIds.h"

namespace {
TlctrlUpgrading::OrigReq origReqOf(const BEvent* e) {
  if (!e || e->moduleId() != TOL_PROG) return TlctrlUpgrading::UNDEF_ORIG;
  if (e->componentId() == PROG_CTRL && e->signalId() == TlctrlRoot::LOC_UPGRADE_REQ)
    return TlctrlUpgrading::REQ_FROM_PROGRAMMER;
  if (e->componentId() == PROT_PARSER && e->signalId() == TLPROT_REP_BTL_REQ) return TlctrlUpgrading::REQ_FROM_TOLVAN;
  return TlctrlUpgrading::UNDEF_ORIG;
}
}  // namespace

TlctrlUpgrading::TlctrlUpgrading(BCompositeState* enclosing, int nrBytes, const uint8_t* binData,
                                 const BEvent* event)
    : TlctrlUpgrading(enclosing, nrBytes, binData, origReqOf(event)) {}

TlctrlUpgrading::TlctrlUpgrading(BCompositeState* enclosing, int nrBytes, const uint8_t* binData, OrigReq origReq)
    : BCompositeState(enclosing, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLUPGRADING, PRIO_4),
      _root(CHECKCAST(TlctrlRoot, this->enclosing(STATE_ROOT))),
      _timer(new BTimer()),
      // Without image bytes there is nothing to send, whatever the size says.
      _nrBytes(binData && nrBytes > 0 ? nrBytes : 0),
      _bytePtr(0),
      _packetNr(1),
      _binData(binData),
      _segmentPacketNr(1),
      _segmentDelta(0),
      _lastSegmenPtr(0),
      _origReq(origReq) {}

TlctrlUpgrading::~TlctrlUpgrading() {
  delete _timer;
  // The settings programmed before this upgrade are done with.
  RevPackDb::activeKvnFileReset();
}

void TlctrlUpgrading::traceMed(const char* operation) {
  if (debugLevel() & DBG_MED) BDiag::print(std::string("-->TlctrlUpgrading::") + operation + traceSuffix());
}

void TlctrlUpgrading::startTimer() {
  traceMed("startTimer");
  BCompositeState* connected = enclosing(TlctrlRoot::TLCTRLCONNECTED);
  _timer->fireEvery(connected ? connected->queue() : queue(), BTimer::nSecs(UPGRADE_TIMEOUT_INTV),
                    TlctrlRoot::LOC_UPGRADE_TO);
}

void TlctrlUpgrading::stopTimer() {
  traceMed("stopTimer");
  _timer->disarm();
}

void TlctrlUpgrading::onEntry(const BEvent*) {
  if (!_root) return;
  _root->frmStatusInfo(gettext("Upgrading", 0), false);
  _root->frmSetCursorBusy(true);
  _root->frmActivateButtons(false);
  _root->upgradeActive(true);
  _root->upgradeDoneNote(false);
  // An upgrade succeeds only when it completes; any other end (the
  // watchdog, a signal, closing the program) must not leave an earlier 0.
  Main::_exitCode = 1;
  switch (_origReq) {
    case REQ_FROM_PROGRAMMER:
      addRegion(new TlctrlUpgrWaitBootReq(this));
      break;
    case REQ_FROM_TOLVAN:
      // The device is in its boot loader already: the loader goes out now.
      if (sendBtlData(false)) {
        TlctrlUpgrWaitStatInfo::selfTransition(0);
        addRegion(new TlctrlUpgrWaitStatInfo(this));
      } else {
        _root->informSetBinFile();
        addRegion(new TlctrlUpgrWaitBootReq(this));
      }
      break;
    default:
      B_EXCEPTION("Invalid origReq");
      // Nothing runs inside; the watchdog still ends the upgrade.
      startTimer();
      break;
  }
}

void TlctrlUpgrading::onEvent(const BEvent* e) {
  if (!e || e->moduleId() != TOL_PROG || e->componentId() != PROG_CTRL) return;
  switch (e->signalId()) {
    case TlctrlRoot::LOC_UPGRADE_END:
      Main::_exitCode = 0;
      // The device's next status report carries the new software version.
      _root->upgradeDoneNote(true);
      transition(new TlctrlConnIdle(enclosing()));
      break;
    case TlctrlRoot::LOC_UPGRADE_REQ:
      transition(new TlctrlConnIdle(enclosing()));
      break;
    default:
      break;
  }
}

// A step that ended leaves the upgrade without a sub-state; the watchdog
// ends the upgrade.
void TlctrlUpgrading::onDone(const BEvent*, RegionId) {}
void TlctrlUpgrading::onError(const BEvent*, RegionId) {}

void TlctrlUpgrading::onExit(const BEvent*) {
  if (!_root) return;
  if (RevPackDb::CMDL_UPGRADE) {
    _root->frmStatusInfo(gettext("Upgrading Ready", 0), false);
    TlctrlRoot::endCommandLineRun();
  }
  _root->frmSetCursorBusy(false);
  _root->frmActivateButtons(true);
  _root->upgrInitByTol(false);
  _root->upgradeActive(false);
  // The next upgrade makes its own backup.
  _root->backupDone(false);
  if (FrmKestrumImpl* impl = _root->frmImpl()) impl->upgradeEnded();
}

bool TlctrlUpgrading::sendPacket() {
  sendExternal(new BBindingEvent(TLPROT_SOH, true), TOL_PROG, PROT_PARSER, nullptr);
  sendExternal(new TlprotPacknr(_packetNr), TOL_PROG, PROT_PARSER, nullptr);
  sendExternal(new TlprotPacknr(static_cast<uint8_t>(255 - _packetNr)), TOL_PROG, PROT_PARSER, nullptr);
  uint8_t bytes[PACKET_SIZE];
  uint8_t checksum = 0;
  int n = 0;
  for (; n < PACKET_SIZE && _bytePtr < _nrBytes; ++n) {
    bytes[n] = _binData[_bytePtr];
    checksum = static_cast<uint8_t>(checksum + bytes[n]);
    ++_segmentDelta;
    if (_bytePtr % SEGMENT_SIZE == 0) {
      if (debugLevel() & DBG_MED)
        BDiag::print("segmentDelta=" + std::to_string(_segmentDelta) + " packetNr=" + std::to_string(_packetNr) +
                     traceSuffix());
      _segmentPacketNr = _packetNr;
      _lastSegmenPtr = _bytePtr;
      _segmentDelta = 0;
    }
    ++_bytePtr;
  }
  // The last packet is filled up; the device sums all 128 bytes as sent.
  for (; n < PACKET_SIZE; ++n) {
    bytes[n] = 0xFF;
    checksum = static_cast<uint8_t>(checksum + 0xFF);
  }
  TlprotUpgrData* data = new TlprotUpgrData();
  data->assign(bytes, PACKET_SIZE);
  sendExternal(data, TOL_PROG, PROT_PARSER, nullptr);
  sendExternal(new TlprotChecksum(checksum), TOL_PROG, PROT_PARSER, nullptr);
  ++_packetNr;
  if (_root) {
    char status[128];
    int percent = _nrBytes > 0 ? static_cast<int>(static_cast<long>(_bytePtr) * 100 / _nrBytes) : 100;
    snprintf(status, sizeof status, "%s %d%c %s", gettext("Upgrading", 0), percent, '%', gettext("ready", 0));
    _root->frmProgress(status, gettext("Upgrading", 0), percent, 100);
  }
  startTimer();
  return _bytePtr >= _nrBytes;
}

bool TlctrlUpgrading::re_SendPacket() {
  _bytePtr = _lastSegmenPtr;
  _packetNr = _segmentPacketNr;
  _segmentDelta = 0;
  return sendPacket();
}

bool TlctrlUpgrading::sendBtlData(bool nextCandidate) {
  traceMed("sendBtlData");
  RevPackDb* db = _root ? _root->revPack() : nullptr;
  if (_nrBytes == 0 || !db) return false;
  if (nextCandidate && _origReq == REQ_FROM_TOLVAN && !db->setBootData(nullptr)) return false;
  if (db->bootSize() <= 0) return false;
  TlprotBootLoadData* data = new TlprotBootLoadData();
  data->assign(db->bootData(), std::min<size_t>(static_cast<size_t>(db->bootSize()), TlprotBootLoadData::MAX));
  sendExternal(data, TOL_PROG, PROT_PARSER, nullptr);
  return true;
}
