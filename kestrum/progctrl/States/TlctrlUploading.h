#ifndef TLCTRLUPLOADING_H
#define TLCTRLUPLOADING_H

#include <cstdint>
#include <string>

#include "BTimerTick.h"

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
  // Repeats of a refused entry (or upload request) after which the upload
  // ends: the device will not take it.
  static const int MAX_REPEATS = 5;
  // Seconds without an acknowledge after which repeating the request ends:
  // the device is taken as gone (busy for ever, or pulled out).
  static const int STALL_LIMIT_SECS = 30;

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
  // The device keeps refusing: tell why and end the upload.
  bool refused();
  // Ends the upload: the device gets the end message, the state its end event.
  bool endUpload();
  // A busy reply (busy) or the upload time-out: the last request goes again.
  bool waiting(bool busy);
  // Sends the last entry (or the upload request) again.
  bool repeatLast();
  // Re-arms the life check while the device still takes the settings within
  // the stall limit; past it the running time-out ends the upload.
  void keepWaiting();
  // False when the user stops programming at a text too long for its field;
  // the text is cut only when the user chose to go on.
  bool checkTextSize(char* text);
  // A question nobody answered: the upload stops, the run fails naming the entry.
  // field: 'T' the text, 'N' the number.
  void unanswered(const std::string& why, char field);
  // Sends entry nr with its text and number as they are in the store.
  bool sendEntry(uint8_t nr);
  void startTimer();
  void stopTimer();
  void traceMed(const char* operation);

  TlctrlRoot* _root;
  SettingBin* _settingBin;
  uint8_t _actEntry;
  BTimer* _timer;
  int _refusals;
  // How the upload ended, for the status line: 0 done, else the note.
  const char* _endNote;
  BTickType _lastProgress;  // entry, or the last acknowledge
  // The upload stops: the device kept refusing, or a question went unanswered.
  bool _failed;
  bool _refused;
  // Why the device's refusals ended the upload; told once it has ended.
  std::string _refusedMsg;
  // The upload ran to its end (the end was sent to the device).
  bool _completed;
};

#endif
