#ifndef TLCTRLCONNECTED_H
#define TLCTRLCONNECTED_H

#include "BCompositeState.h"

class TlctrlRoot;

// The device answers. Holds the idle state and the transfers started from
// it; losing the device ends whatever runs inside.
class TlctrlConnected : public BCompositeState {
public:
  explicit TlctrlConnected(BCompositeState* enclosing);

  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onExit(const BEvent* e) override;
  void onDone(const BEvent* e, RegionId region) override;
  void onError(const BEvent* e, RegionId region) override;

  // The device in its boot loader asks for firmware: the user chooses a bin
  // file while the window runs (the scheduler waits). False when the program
  // is shutting down instead.
  bool waitForBinFile();
  // The image of the chosen bin file is there to be sent.
  bool binLoaded() const;

private:
  void bootLoadReq(const BEvent* e);

  TlctrlRoot* _root;
};

#endif
