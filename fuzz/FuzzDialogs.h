#ifndef FUZZDIALOGS_H
#define FUZZDIALOGS_H

#include <cstring>

#include "FuzzSupport.h"
#include "UserDialog.h"

namespace fuzz {

// Alerts and questions are read to their end (a text without a terminator
// shows here) and answered with the first button.
class QuietDialogs : public UserDialog::Script {
public:
  static void install() {
    static QuietDialogs dialogs;
    UserDialog::script(&dialogs);
  }
  void alert(const char* text) override { check(strlen(text) < 1000000); }
  int choice(const char* text, const char*, const char*, const char*) override {
    check(strlen(text) < 1000000);
    return 0;
  }
  void beep() override {}
};

// Working directory and dialogs for the targets of the settings readers.
inline void setUpReader() {
  setUp();
  static bool done = false;
  if (!done) QuietDialogs::install();
  done = true;
}

}  // namespace fuzz

#endif
