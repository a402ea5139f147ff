#ifndef TLCTRLCONNIDLE_H
#define TLCTRLCONNIDLE_H

#include "BSimpleState.h"

class TlctrlRoot;

// The device answers and nothing is being transferred: polls the device
// every second and takes the window's requests.
class TlctrlConnIdle : public BSimpleState {
public:
  explicit TlctrlConnIdle(BCompositeState* enclosing);
  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onExit(const BEvent* e) override;

private:
  void lifeCheckTimer();
  // False, with the reason on the status line, when there is nothing to program.
  bool programmable();
  // Opens the settings file named on the command line and starts programming.
  void commandLineStart();
  // Starts the upgrade named on the command line; false when it cannot.
  bool commandLineUpgrade();
  void upgradeRequest(const BEvent* e);
  void bootLoadRequest(const BEvent* e);
  // A request of the window or the command line while a status request's
  // answer is due waits for it.
  void holdRequest(SignalId sig);
  void releaseRequest(bool force = false);
  // Life-check ticks a request waits at most.
  static const int MAX_HELD_TICKS = 2;
  // A programming request for the settings of the chosen pack, the first
  // step of an upgrade.
  bool preUpgradeUpload() const;

  TlctrlRoot* _root;
  SignalId _heldRequest;
  int _heldTicks;
  // The request let go: it starts whatever is due by then.
  SignalId _released;
};

#endif
