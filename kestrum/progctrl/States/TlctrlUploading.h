#ifndef TLCTRLUPLOADING_H
#define TLCTRLUPLOADING_H

#include <cstdint>

#include "BSimpleState.h"

class BTimer;
class SettingBin;
class TlctrlRoot;
class TlprotSeeEvt;

// Writes the settings of the store into the device ("Programmeren"), one
// entry per acknowledge, from entry 1 up to the device's number of entries.
class TlctrlUploading : public BSimpleState {
public:
  // Seconds to wait for the first acknowledge, or the next one after a
  // busy reply.
  static const int UPLOAD_TIMEOUT_INTV = 2;

  explicit TlctrlUploading(BCompositeState* enclosing);
  ~TlctrlUploading() override;

  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onExit(const BEvent* e) override;

  uint8_t actEntry() const { return _actEntry; }

private:
  bool handleAck();
  bool handleNak();
  bool waiting();
  // False when the user stops programming at a text too long for its field.
  bool checkTextSize(char* text);
  // Sends entry nr with its text and number as they are in the store.
  bool sendEntry(uint8_t nr);
  void startTimer();
  void stopTimer();
  void traceMed(const char* operation);

  TlctrlRoot* _root;
  SettingBin* _settingBin;
  uint8_t _actEntry;
  BTimer* _timer;
  // The upload ran to its end (the end was sent to the device).
  bool _completed;
};

#endif
