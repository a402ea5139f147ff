#ifndef TLCTRLDOWNLOADING_H
#define TLCTRLDOWNLOADING_H

#include "BSimpleState.h"

class TlctrlRoot;
class TlprotSeeEvt;

// Reads the device's settings entries into the settings store ("Ophalen").
class TlctrlDownloading : public BSimpleState {
public:
  explicit TlctrlDownloading(BCompositeState* enclosing);
  bool settingEntry(const TlprotSeeEvt* e);
  bool waiting();
  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onExit(const BEvent* e) override;

private:
  TlctrlRoot* _root;
  // The device sent the end of the download.
  bool _complete;
};

#endif
