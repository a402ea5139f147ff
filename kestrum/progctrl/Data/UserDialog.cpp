#include "UserDialog.h"

#include <FL/fl_ask.H>

namespace {
UserDialog::Script* g_script = nullptr;
}

void UserDialog::script(Script* script) { g_script = script; }
UserDialog::Script* UserDialog::script() { return g_script; }

void UserDialog::alert(const char* text) {
  if (!text) text = "";
  if (g_script) {
    g_script->alert(text);
    return;
  }
  // The text is data, never a format.
  fl_alert("%s", text);
}

int UserDialog::choice(const char* text, const char* b0, const char* b1, const char* b2) {
  if (!text) text = "";
  if (g_script) return g_script->choice(text, b0, b1, b2);
  return fl_choice("%s", b0, b1, b2, text);
}

void UserDialog::beep() {
  if (g_script) {
    g_script->beep();
    return;
  }
  fl_beep();
}
