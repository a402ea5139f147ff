#include "TlprotBndToConnDrv.h"

#include <cstring>

#include "BCheckcast.h"
#include "BDiag.h"
#include "CdrvStrEvt.h"
#include "TlWire.h"
#include "TlcdrvBinding.h"
#include "TlcdrvSignals.h"
#include "TlctrlBootInf.h"
#include "TlctrlBtlReq.h"
#include "TlctrlDldEndEvt.h"
#include "TlctrlStiEvt.h"
#include "TlctrlWaitEvt.h"
#include "TlprotAckEvt.h"
#include "TlprotBootLoadData.h"
#include "TlprotChecksum.h"
#include "TlprotNakEvt.h"
#include "TlprotPacknr.h"
#include "TlprotPacknr1cmpl.h"
#include "TlprotSeeEvt.h"
#include "TlprotSignals.h"
#include "TlprotUpgrData.h"
#include "TolProgIds.h"

TlprotBndToConnDrv::TlprotBndToConnDrv(BCompositeState* enclosing)
    : BBinderState(enclosing, TOL_PROG, PROT_PARSER, TLPROTBNDTOCONNDRV, PRIO_4), _nrBadCkSums(0) {}

void TlprotBndToConnDrv::onEntry(const BEvent*) { addBinding(new TlcdrvBinding()); }

void TlprotBndToConnDrv::traceMed(const std::string& function) {
  if (debugLevel() & DBG_MED) BDiag::print("-->TlprotBndToConnDrv::" + function + traceSuffix());
}

void TlprotBndToConnDrv::onEvent(const BEvent* e) {
  traceMed("onEvent");
  if (!e || e->moduleId() != TOL_PROG) return;
  if (e->componentId() == PROT_PARSER) {
    request(e);
    transition(static_cast<BState*>(nullptr));
  } else if (e->componentId() == CONN_DRV && e->signalId() == CDRV_STRING) {
    cdrvString(CHECKCAST_CONST(CdrvStrEvt, e));
    transition(static_cast<BState*>(nullptr));
  }
}

// A request of the controller; a failed build is not reported further.
bool TlprotBndToConnDrv::request(const BEvent* e) {
  switch (e->signalId()) {
    case TLPROT_ACK: return handleAck();
    case TLPROT_UPL_END: return uplEnd();
    case TLPROT_SET_ENTRY: return uplSetEntry(CHECKCAST_CONST(TlprotSeeEvt, e));
    case TLPROT_DOWNLOAD_REQUEST: return downloadRequest();
    case TLPROT_LIFE_CHECK: return lifeCheck();
    case TLPROT_NAK: return handleNak();
    case TLPROT_STATUS_REQUEST: return statusRequest();
    case TLPROT_UPLOAD_REQUEST: return uploadRequest();
    case TLPROT_CHECKSUM: {
      const TlprotChecksum* c = CHECKCAST_CONST(TlprotChecksum, e);
      return c && sendByte(c->checkSum());
    }
    case TLPROT_EOT: return eot();
    case TLPROT_PACKNR:
    case TLPROT_PACKNR_1CMPL: {
      // The complement comes as a TlprotPacknr as well.
      if (const TlprotPacknr1cmpl* c = dynamic_cast<const TlprotPacknr1cmpl*>(e))
        return sendByte(c->nr());
      const TlprotPacknr* p = CHECKCAST_CONST(TlprotPacknr, e);
      return p && sendByte(p->nr());
    }
    case TLPROT_SOH: return soh();
    case TLPROT_UPGRADE_REQ: return upgrReq();
    case TLPROT_UPGR_DATA: return upgrData(CHECKCAST_CONST(TlprotUpgrData, e));
    case TLPROT_BOOTLOAD_DATA: return btlData(CHECKCAST_CONST(TlprotBootLoadData, e));
    default: return false;
  }
}

bool TlprotBndToConnDrv::sendUnit(const uint8_t* bytes, size_t n) {
  CdrvStrEvt* strEvt = new CdrvStrEvt(bytes, n);
  return sendExternal(strEvt, TOL_PROG, CONN_DRV, nullptr) > 0;
}

bool TlprotBndToConnDrv::sendFrame(uint8_t type) {
  uint8_t buf[TlWire::OVERHEAD];
  return sendUnit(buf, TlWire::noDataFrame(type, buf));
}

bool TlprotBndToConnDrv::sendByte(uint8_t b) { return sendUnit(&b, 1); }

bool TlprotBndToConnDrv::statusRequest() {
  traceMed("statusRequest");
  return sendFrame(TlWire::STATUS_REQUEST);
}
bool TlprotBndToConnDrv::uploadRequest() { return sendFrame(TlWire::UPLOAD_REQUEST); }
bool TlprotBndToConnDrv::downloadRequest() { return sendFrame(TlWire::DOWNLOAD_REQUEST); }
bool TlprotBndToConnDrv::uplEnd() { return sendFrame(TlWire::TRANSFER_END); }
bool TlprotBndToConnDrv::lifeCheck() { return sendFrame(TlWire::LIFE_CHECK); }
bool TlprotBndToConnDrv::upgrReq() { return sendFrame(TlWire::UPGRADE_REQUEST); }
bool TlprotBndToConnDrv::handleAck() { return sendByte(TlWire::ACK); }
bool TlprotBndToConnDrv::handleNak() { return sendByte(TlWire::NAK); }
bool TlprotBndToConnDrv::eot() { return sendByte(TlWire::EOT); }
bool TlprotBndToConnDrv::soh() { return sendByte(TlWire::SOH); }

bool TlprotBndToConnDrv::uplSetEntry(const TlprotSeeEvt* e) {
  if (!e) return false;
  uint8_t buf[TlWire::MAXDATA];
  size_t n = TlWire::settingEntryFrame(e->entryNr(), e->f1data(), e->f2data(), buf, sizeof buf);
  if (n == 0) {
    B_ASSERT_TXT(false, "n != 0", "setting entry " << static_cast<int>(e->entryNr())
                                                   << " does not fit into a frame");
    return false;
  }
  return sendUnit(buf, n);
}

bool TlprotBndToConnDrv::btlData(const TlprotBootLoadData* e) {
  if (!e) return false;
  static uint8_t buf[TlWire::MAXDATA];
  size_t n = TlWire::bootLoadDataFrame(e->data(), e->nrBytes(), buf, sizeof buf);
  if (n == 0) {
    B_ASSERT_TXT(false, "n != 0", "boot loader of " << e->nrBytes() << " bytes does not fit into "
                                                    << TlWire::MAXDATA);
    return false;
  }
  return sendUnit(buf, n);
}

bool TlprotBndToConnDrv::upgrData(const TlprotUpgrData* e) {
  if (!e) return false;
  return sendUnit(e->data(), e->nrBytes());
}

void TlprotBndToConnDrv::report(BBindingEvent* e) {
  if (e) sendBack(e, TOL_PROG, PROG_CTRL, nullptr);
}

bool TlprotBndToConnDrv::parseString(const uint8_t* unit, size_t n) {
  uint8_t received = 0, calc = 0;
  switch (TlWire::checkFrame(unit, n, &received, &calc)) {
    case TlWire::CHECK_OK:
      _nrBadCkSums = 0;
      return true;
    case TlWire::CHECK_NO_SOH:
      B_EXCEPTION(" Data does NOT start with SOH");
      return false;
    case TlWire::CHECK_TOO_SHORT:
      B_EXCEPTION(" Data too short for a frame: " << n);
      return false;
    case TlWire::CHECK_BAD_SUM:
    default:
      B_EXCEPTION("checksum error read:" << static_cast<int>(static_cast<int8_t>(received))
                                         << " calc:" << static_cast<int>(static_cast<int8_t>(calc)));
      return false;
  }
}

void TlprotBndToConnDrv::cdrvString(const CdrvStrEvt* e) {
  if (!e) return;
  size_t n = e->nrBytes <= CdrvStrEvt::MAXDATA ? e->nrBytes : CdrvStrEvt::MAXDATA;
  const uint8_t* unit = e->bytes();
  if (n == 0) {
    B_ASSERT_TXT(false, "false", "Unknown data: empty unit");
    return;
  }
  if (n == 1) {
    switch (unit[0]) {
      case TlWire::BTL_REQ: report(new TlctrlBtlReq()); break;
      case TlWire::NAK: report(new TlprotNakEvt()); break;
      case TlWire::ACK: report(new TlprotAckEvt()); break;
      default: B_ASSERT_TXT(false, "false", "Unknown data:" << static_cast<int>(unit[0])); break;
    }
    return;
  }
  if (!parseString(unit, n)) {
    if (_nrBadCkSums <= MAXBADCKSUMS) handleNak();
    // Saturates, so that a long run of bad frames does not start the NAKs
    // over again.
    if (_nrBadCkSums < UINT8_MAX) ++_nrBadCkSums;
    return;
  }
  switch (unit[1]) {
    case TlWire::STATUS_INFO: report(getStatusInfo(unit, n)); break;
    case TlWire::SETTING_ENTRY: report(getSettingEntry(unit, n)); break;
    case TlWire::TRANSFER_END: report(new TlctrlDldEndEvt()); break;
    case TlWire::WAITING: report(new TlctrlWaitEvt()); break;
    case TlWire::BOOTLOAD_REQUEST: report(new TlctrlBtlReq()); break;
    case TlWire::BOOT_INFO: report(getBootInfo(unit, n)); break;
    default: B_EXCEPTION("Unknown data:" << static_cast<int>(unit[1])); break;
  }
}

BBindingEvent* TlprotBndToConnDrv::getSettingEntry(const uint8_t* unit, size_t n) {
  size_t len = 0;
  const uint8_t* data = TlWire::frameData(unit, n, &len);
  TlWire::SettingEntry entry = TlWire::settingEntry(data, len);
  size_t f2Len = entry.f2Len;
  B_ASSERT_TXT(f2Len <= TlWire::FIELD2MAX, "(f2Len <= Tlprot::FIELD2MAX)",
               "invalid f2 size " << f2Len);
  TlprotSeeEvt* see = new TlprotSeeEvt();
  see->entryNr(entry.entryNr);
  see->f1data(entry.f1);
  see->f2data(entry.f2);
  return see;
}

BBindingEvent* TlprotBndToConnDrv::getStatusInfo(const uint8_t* unit, size_t n) {
  size_t len = 0;
  const uint8_t* data = TlWire::frameData(unit, n, &len);
  TlWire::StatusInfo s = TlWire::statusInfo(data, len);
  size_t tpLen = s.tpLen, swLen = s.swLen, spLen = s.spLen, hwLen = s.hwLen;
  B_ASSERT_TXT(tpLen <= TlctrlStiEvt::STRSIZE, "(tpLen <= TlctrlStiEvt::STRSIZE)",
               "invalid tpNrBytes size " << tpLen);
  B_ASSERT_TXT(swLen <= TlctrlStiEvt::STRSIZE, "(swLen <= TlctrlStiEvt::STRSIZE)",
               "invalid swNrBytes size " << swLen);
  B_ASSERT_TXT(spLen <= TlctrlStiEvt::STRSIZE, "(spLen <= TlctrlStiEvt::STRSIZE)",
               "invalid spNrBytes size " << spLen);
  B_ASSERT_TXT(hwLen <= TlctrlStiEvt::STRSIZE, "(hwLen <= TlctrlStiEvt::STRSIZE)",
               "invalid hwNrBytes size " << hwLen);
  TlctrlStiEvt* sti = new TlctrlStiEvt();
  sti->prVer = s.prVer;
  sti->extraStat = s.extraStat;
  sti->totalNrEntries = s.totalNrEntries;
  strcpy(sti->type, s.type);
  strcpy(sti->softw, s.softw);
  strcpy(sti->special, s.special);
  strcpy(sti->hardw, s.hardw);
  return sti;
}

BBindingEvent* TlprotBndToConnDrv::getBootInfo(const uint8_t* unit, size_t n) {
  size_t len = 0;
  const uint8_t* data = TlWire::frameData(unit, n, &len);
  TlWire::BootInfo b = TlWire::bootInfo(data, len, unit[2]);
  if (!b.usable) return nullptr;
  TlctrlBootInf* inf = new TlctrlBootInf();
  strcpy(inf->type, b.type);
  strcpy(inf->special, b.special);
  strcpy(inf->hardw, b.hardw);
  return inf;
}
