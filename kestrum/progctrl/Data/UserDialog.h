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

  static void alert(const char* text);
  static int choice(const char* text, const char* b0, const char* b1, const char* b2);
  static void beep();

  // Null restores the toolkit dialogs; the script is not owned.
  static void script(Script* script);
  static Script* script();
};

#endif
