#ifndef TLPROTBNDTOCONNDRV_H
#define TLPROTBNDTOCONNDRV_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "BBinderState.h"

class CdrvStrEvt;
class TlprotSeeEvt;
class TlprotUpgrData;
class TlprotBootLoadData;

// Turns the controller's requests into units for the driver and the units
// the driver receives into events for the controller.
class TlprotBndToConnDrv : public BBinderState {
public:
  enum { TLPROTBNDTOCONNDRV = 10 };
  // Bad frames are answered with NAK while at most this many came before.
  enum { MAXBADCKSUMS = 3 };

  explicit TlprotBndToConnDrv(BCompositeState* enclosing);
  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onRejected() override {}
  void onWatchdogError(BBinding*) override {}
  void printStateData(int, char**) override {}

  uint8_t nrBadCkSums() const { return _nrBadCkSums; }

  // Builders of the units for the driver; each returns whether it was sent.
  bool statusRequest();
  bool uploadRequest();
  bool downloadRequest();
  bool uplEnd();
  bool lifeCheck();
  bool upgrReq();
  bool uplSetEntry(const TlprotSeeEvt* e);
  bool btlData(const TlprotBootLoadData* e);
  bool upgrData(const TlprotUpgrData* e);
  bool handleAck();
  bool handleNak();
  bool eot();
  bool soh();
  bool sendByte(uint8_t b);

  // A unit received from the driver.
  void cdrvString(const CdrvStrEvt* e);
  // Checks SOH and checksum of a frame.
  bool parseString(const uint8_t* unit, size_t n);

private:
  bool request(const BEvent* e);
  bool sendFrame(uint8_t type);
  bool sendUnit(const uint8_t* bytes, size_t n);
  void report(BBindingEvent* e);
  BBindingEvent* getSettingEntry(const uint8_t* unit, size_t n);
  BBindingEvent* getStatusInfo(const uint8_t* unit, size_t n);
  BBindingEvent* getBootInfo(const uint8_t* unit, size_t n);
  void traceMed(const std::string& function);

  uint8_t _nrBadCkSums;
};

#endif
