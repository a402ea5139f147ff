#ifndef TLCTRLDOWNLOADING_H
#define TLCTRLDOWNLOADING_H

#include "BSimpleState.h"
#include "BTimerTick.h"

class TlctrlRoot;
class TlprotSeeEvt;

// Reads the device's settings entries into the settings store ("Ophalen").
class TlctrlDownloading : public BSimpleState {
public:
  // Seconds without an entry after which asking again ends: a device busy
  // for ever is taken as gone.
  static const int STALL_LIMIT_SECS = 30;

  explicit TlctrlDownloading(BCompositeState* enclosing);
  bool settingEntry(const TlprotSeeEvt* e);
  bool waiting();
  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onExit(const BEvent* e) override;

private:
  TlctrlRoot* _root;
  // The number of the entry received last, and how many came in.
  int _lastEntry;
  int _nrEntries;
  BTickType _lastProgress;  // entry, or the last setting entry received
  // The device sent the end of the download.
  bool _complete;
};

#endif
