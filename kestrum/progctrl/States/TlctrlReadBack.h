#ifndef TLCTRLREADBACK_H
#define TLCTRLREADBACK_H

#include <string>

#include "SettingDiff.h"

class BState;
class TlctrlRoot;

// Reading the device's settings back for a purpose other than editing them:
// "-fetch FILE" keeps them in a file, "-verify FILE" compares them with a
// file, and "-program FILE -verify" and the window's option "Controleren na
// programmeren" compare them with what was just programmed. The controller
// root owns one; the idle, download and upload states tell it what happens.
class TlctrlReadBack {
public:
  // COMPARE: an "Ophalen" in the window while a settings file is open.
  enum Purpose { NONE, FETCH, VERIFY, COMPARE };

  // Command-line options; empty texts / false when not given.
  static char* FETCH_FILE;
  static char* VERIFY_FILE;
  static bool VERIFY_PROGRAM;

  explicit TlctrlReadBack(TlctrlRoot* root);
  virtual ~TlctrlReadBack();

  // The command line asks to read the device without programming it.
  static bool commandLineRead();
  // The command line asks for any read-back.
  static bool commandLine() { return commandLineRead() || VERIFY_PROGRAM; }
  // Before anything starts: false, with the reason, when the files named on
  // the command line cannot serve (verify: a readable file; fetch: a
  // directory to write into).
  static bool commandLineUsable(std::string& why);

  // The window's option "Controleren na programmeren".
  bool verifyAfterProgramming() const { return _verifyWindow; }
  void verifyAfterProgramming(bool on) { _verifyWindow = on; }

  // The idle state was entered: gives the result of a read-back that has
  // just ended, and asks for the download that is due, the first of a
  // command-line run. True when asked.
  bool idleEntered(BState* idle);
  // The idle state got the device's status: the check after programming is
  // asked for now, once the device has finished with the programming (its
  // last answer and the first entry of the download would otherwise meet
  // on the line). True when asked.
  bool deviceAnswered(BState* idle);
  // Programming starts: what goes into the device is kept when it is to be
  // checked afterwards.
  void programmingStarts();
  // Programming has ended, to its end (complete) or not. True when a check
  // follows, so that a command-line run goes on.
  bool programmingEnded(bool complete);

  // The download under way is ours (NONE: an ordinary "Ophalen").
  Purpose purpose() const { return _running; }
  // Our download begins: the store is emptied, so that an entry the device
  // does not send reads as empty. An ordinary "Ophalen" with a settings file
  // open keeps the file's settings, to show afterwards what differs.
  void downloadStarts();
  // Our download ended; complete when the device sent its end (the result
  // follows at the next idle entry).
  void downloadEnded(bool complete);

  // "Programmeren" in the window: when the settings of the connected device
  // are known from an "Ophalen" (the same device identity since), the fields
  // that programming will change are marked and listed, and the user is asked
  // whether to go on. True to go on (also when nothing is known or differs).
  bool confirmProgramming();

  // The differences found by the last check.
  const std::vector<SettingDiff::Difference>& differences() const { return _differences; }

private:
  void finishFetch();
  void finishVerify();
  void finishCompare();
  void endRun(int exitCode);
  std::string identity() const;

  TlctrlRoot* _root;
  bool _verifyWindow;
  bool _started;     // the command line's read has been asked for
  Purpose _pending;  // asked for at the next idle entry
  Purpose _running;
  Purpose _finishing;  // complete; its result is given at the next idle entry
  SettingDiff _reference;    // what the device should hold
  SettingDiff _beforeCheck;  // the window's settings when programming ended
  SettingDiff _fileSettings;  // the open file's settings, before an "Ophalen"
  SettingDiff _device;        // the device's settings as the last "Ophalen" found them
  std::string _deviceId;      // and the identity it reported then
  bool _compare;             // the "Ophalen" under way is compared with them
  std::vector<SettingDiff::Difference> _differences;
};

#endif
