#ifndef TLCTRLUPGRADING_H
#define TLCTRLUPGRADING_H

#include <cstdint>

#include "BCompositeState.h"

class BTimer;
class TlctrlRoot;

// Replaces the device's firmware: brings the device into its boot loader,
// loads the second-stage loader, checks the boot information and sends the
// image in 128-byte packets. Holds the transfer's counters; the steps are
// its sub-states. The image belongs to the revision pack database.
class TlctrlUpgrading : public BCompositeState {
public:
  enum OrigReq { REQ_FROM_TOLVAN = 0, REQ_FROM_PROGRAMMER = 1, UNDEF_ORIG = 2 };
  // Seconds without progress before the upgrade is given up.
  static constexpr int UPGRADE_TIMEOUT_INTV = 30;
  static constexpr int PACKET_SIZE = 128;
  // A NAK repeats the transfer from the start of the current segment.
  static constexpr int SEGMENT_SIZE = 512;

  TlctrlUpgrading(BCompositeState* enclosing, int nrBytes, const uint8_t* binData, const BEvent* event);
  // The same with who asked given directly.
  TlctrlUpgrading(BCompositeState* enclosing, int nrBytes, const uint8_t* binData, OrigReq origReq);
  ~TlctrlUpgrading() override;

  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onExit(const BEvent* e) override;
  void onDone(const BEvent* e, RegionId region) override;
  void onError(const BEvent* e, RegionId region) override;

  void startTimer();
  void stopTimer();
  // Sends the next packet; true when the image is now completely sent.
  bool sendPacket();
  // Goes back to the start of the current segment and sends from there.
  bool re_SendPacket();
  // Sends the second-stage boot loader (nextCandidate: ask the database for
  // another one first); false when there is none to send.
  bool sendBtlData(bool nextCandidate);

  OrigReq origReq() const { return _origReq; }
  int nrBytes() const { return _nrBytes; }
  int bytePtr() const { return _bytePtr; }
  uint8_t packetNr() const { return _packetNr; }

private:
  void traceMed(const char* operation);

  TlctrlRoot* _root;
  BTimer* _timer;
  int _nrBytes;
  int _bytePtr;
  uint8_t _packetNr;
  const uint8_t* _binData;
  uint8_t _segmentPacketNr;
  uint16_t _segmentDelta;
  int _lastSegmenPtr;
  OrigReq _origReq;
};

#endif
