#ifndef TLCTRLDISCONNECTED_H
#define TLCTRLDISCONNECTED_H

#include "BSimpleState.h"

class TlctrlRoot;

// No device answers (or the port cannot be opened): keeps asking for the
// device's status every second and shows why it is not available.
class TlctrlDisconnected : public BSimpleState {
public:
  explicit TlctrlDisconnected(BCompositeState* enclosing);
  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onExit(const BEvent* e) override;

private:
  void lifeCheckTimer();

  TlctrlRoot* _root;
};

#endif
