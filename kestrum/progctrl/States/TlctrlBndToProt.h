#ifndef TLCTRLBNDTOPROT_H
#define TLCTRLBNDTOPROT_H

#include "BBinderState.h"

class TlctrlRoot;
class CdrvErrorEvt;

// Binds the connection driver and the protocol parser to the controller and
// holds the controller's state machine. The window posts its requests here.
class TlctrlBndToProt : public BBinderState {
public:
  explicit TlctrlBndToProt(TlctrlRoot* root);

  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onRejected() override {}
  void onWatchdogError(BBinding*) override {}

  // Sends the configured COM port to the connection driver.
  bool portSettings();
  // A port report of the driver; false for an unknown code.
  bool handleError(const CdrvErrorEvt* e);

  TlctrlRoot* root() const { return _root; }

private:
  TlctrlRoot* _root;
};

#endif
