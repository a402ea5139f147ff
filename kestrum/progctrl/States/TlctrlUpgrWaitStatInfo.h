#ifndef TLCTRLUPGRWAITSTATINFO_H
#define TLCTRLUPGRWAITSTATINFO_H

#include "BSimpleState.h"

class BTimer;
class TlctrlBootInf;
class TlctrlRoot;
class TlctrlUpgrading;

// The second-stage boot loader is out: waits for its boot information and
// checks that the loader fits the hardware; sends the loader again when the
// device keeps quiet.
class TlctrlUpgrWaitStatInfo : public BSimpleState {
public:
  static constexpr int BOOTINFO_TIMEOUT_INTV = 8;
  // How often a loader that does not fit is replaced before giving up.
  static constexpr int MAX_SELF_TRANSITIONS = 3;

  explicit TlctrlUpgrWaitStatInfo(BCompositeState* enclosing);
  ~TlctrlUpgrWaitStatInfo() override;
  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onExit(const BEvent* e) override;

  static void selfTransition(int n) { _selfTransition = n; }
  static int selfTransition() { return _selfTransition; }

private:
  void bootInfo(const BEvent* e);
  void bootInfoTimeout();
  // The pause before the loader is waited for again (or, with no loader
  // left, before the step ends).
  void startPause();
  void pauseOver();
  void startTimer();
  void stopTimer();
  void traceMed(const char* operation);

  TlctrlUpgrading* _upgrading;
  BTimer* _timer;
  TlctrlRoot* _root;
  // No loader was left to try: the step ends after the pause.
  bool _failing;
  static int _selfTransition;
};

#endif
