#include "UserDialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>

#include <cstdio>
#include <string>

#include "BDiag.h"
#include "Main.h"

namespace {
UserDialog::Script* g_script = nullptr;
bool g_unattended = false;

std::string oneLine(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else if (*p != '\r') {
      out += *p;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// While a modal window is open (a question, a file chooser), a stop signal
// closes it: the signal must end the program, not wait for a person. The
// signal ends the toolkit's wait; the check runs before the next one, and
// the zero timeout keeps that next wait from blocking, so the dialog's loop
// sees its window gone. Nothing wakes an idle program for it.
void wakeUp(void*) {}
void closeModalIfStopped(void*) {
  if (!Main::stopRequested()) return;
  if (Fl_Window* w = Fl::modal()) {
    w->hide();
    Fl::add_timeout(0.0, wakeUp);
  }
}
}  // namespace

void UserDialog::closeModalOnStop() {
  Fl::remove_check(closeModalIfStopped);
  Fl::add_check(closeModalIfStopped);
}

void UserDialog::script(Script* script) { g_script = script; }
UserDialog::Script* UserDialog::script() { return g_script; }
void UserDialog::unattended(bool on) { g_unattended = on; }
bool UserDialog::unattended() { return g_unattended; }

void UserDialog::alert(const char* text) {
  if (!text) text = "";
  if (g_script) {
    g_script->alert(text);
    return;
  }
  if (g_unattended) {
    std::string line = oneLine(text);
    BDiag::print("Alert: " + line);
    fprintf(stderr, "kestrum: %s\n", line.c_str());
    return;
  }
  if (Main::stopRequested()) return;
  // The text is data, never a format.
  fl_alert("%s", text);
}

int UserDialog::choice(const char* text, const char* b0, const char* b1, const char* b2) {
  if (!text) text = "";
  if (g_script) return g_script->choice(text, b0, b1, b2);
  if (g_unattended) {
    BDiag::print("Question not answered (unattended): " + oneLine(text));
    return NO_ANSWER;
  }
  if (Main::stopRequested()) return NO_ANSWER;
  int answer = fl_choice("%s", b0, b1, b2, text);
  return Main::stopRequested() ? NO_ANSWER : answer;
}

void UserDialog::beep() {
  if (g_script) {
    g_script->beep();
    return;
  }
  if (g_unattended) return;
  fl_beep();
}
