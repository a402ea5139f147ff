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
  // Opens the settings file named on the command line and starts programming.
  void commandLineStart();
  // Starts the upgrade named on the command line; false when it cannot.
  bool commandLineUpgrade();
  void upgradeRequest(const BEvent* e);
  void bootLoadRequest(const BEvent* e);
  // A programming request for the settings of the chosen pack, the first
  // step of an upgrade.
  bool preUpgradeUpload() const;

  TlctrlRoot* _root;
};

#endif
