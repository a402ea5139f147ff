#ifndef USERDIALOG_H
#define USERDIALOG_H

// Every alert, question and beep the data classes give the user passes
// through here. By default the toolkit's dialogs are shown; a script can be
// installed instead so that the callers run without a display.
class UserDialog {
public:
  class Script {
  public:
    virtual ~Script() {}
    virtual void alert(const char* text) = 0;
    // Returns the index of the chosen button (0, 1 or 2).
    virtual int choice(const char* text, const char* b0, const char* b1, const char* b2) = 0;
    virtual void beep() = 0;
  };

  // Without a script, an unattended run shows no dialog: an alert goes to
  // standard error and the trace, and a question is not answered. A stop
  // signal closes a dialog that is open.
  static void alert(const char* text);
  // The index of the chosen button, or NO_ANSWER when nobody answered (an
  // unattended run, or a stop signal while the dialog was open): callers
  // then take the answer that changes nothing.
  static int choice(const char* text, const char* b0, const char* b1, const char* b2);
  static constexpr int NO_ANSWER = -1;
  static void beep();

  // Null restores the toolkit dialogs; the script is not owned.
  static void script(Script* script);
  static Script* script();

  // From then on a stop signal closes any modal window that is open.
  static void closeModalOnStop();

  // Set for runs from the command line that nobody watches.
  static void unattended(bool on);
  static bool unattended();
};

#endif
