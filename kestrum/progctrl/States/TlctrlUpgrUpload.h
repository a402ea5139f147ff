#ifndef TLCTRLUPGRUPLOAD_H
#define TLCTRLUPGRUPLOAD_H

#include "BSimpleState.h"

class TlctrlUpgrading;

// Sends the image packet by packet, one for every ACK; a NAK repeats the
// current segment.
class TlctrlUpgrUpload : public BSimpleState {
public:
  // uplReady: the packet sent on the way in was the last one.
  explicit TlctrlUpgrUpload(BCompositeState* enclosing, bool uplReady = false);
  bool isPersistent() override { return false; }
  void onEvent(const BEvent* e) override;
  bool uplReady() const { return _uplReady; }

private:
  TlctrlUpgrading* _upgrading;
  bool _uplReady;
};

#endif
