#ifndef BMAINSTATE_H
#define BMAINSTATE_H

#include "BRootState.h"

// The application's top state: it starts the system under its single-instance
// name and shuts it down.
class BMainState : public BRootState {
public:
  BMainState();
  ~BMainState() override;

  virtual void startup();
  virtual void shutdown();
  virtual void onSleep();

  bool isPersistent() override { return true; }
  void onSetup(BBinding* b) override;
  void onRelease(BBinding* b) override;

  enum { MUTEX_ID_SIZE = 255 };
  // Name of the runtime lock and single-instance guard; set before startup().
  static char _mutexId[MUTEX_ID_SIZE + 1];
  static void mutexId(const char* id);

protected:
  void dispatch() override;
};

#endif
