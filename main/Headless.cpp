#include "Headless.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "BDiag.h"
#include "UserDialog.h"

bool Headless::_active = false;
bool Headless::_progressShown = false;

namespace {
std::string oneLine(const char* text) {
  std::string out;
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == '\n') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else if (*p != '\r') {
      out += *p;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Nobody sees a dialog: alerts are written, questions go unanswered.
class NoDialogs : public UserDialog::Script {
public:
  void alert(const char* text) override {
    std::string line = oneLine(text);
    Headless::progressDone();
    fprintf(stderr, "kestrum: %s\n", line.c_str());
    BDiag::print("Alert: " + line);
  }
  int choice(const char* text, const char*, const char*, const char*) override {
    std::string line = oneLine(text);
    Headless::progressDone();
    fprintf(stderr, "kestrum: not answered (nobody at the window): %s\n", line.c_str());
    BDiag::print("Question not answered (nobody at the window): " + line);
    return Headless::NO_ANSWER;
  }
  void beep() override {}
};

NoDialogs g_noDialogs;
}  // namespace

bool Headless::displayAvailable() {
  const char* name = getenv("DISPLAY");
  if (!name || !*name) return false;
  // The toolkit ends the process when it cannot open the display: try first.
  ::Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  XCloseDisplay(d);
  return true;
}

void Headless::start() {
  _active = true;
  noDialogs();
}

void Headless::noDialogs() {
  // A script of the tests, when installed later, takes precedence.
  if (!UserDialog::script()) UserDialog::script(&g_noDialogs);
}

void Headless::statusLine(const std::string& text, bool progress) {
  // On a terminal the progress line on standard error says it already.
  if (progress && _active && isatty(STDOUT_FILENO) && isatty(STDERR_FILENO)) return;
  progressDone();
  printf("Status Info: %s\n", text.c_str());
  fflush(stdout);
}

void Headless::progress(const std::string& text) {
  if (!_active || !isatty(STDERR_FILENO)) return;
  fprintf(stderr, "\r%s\033[K", text.c_str());
  fflush(stderr);
  _progressShown = true;
}

void Headless::progressDone() {
  if (!_progressShown) return;
  _progressShown = false;
  fputc('\n', stderr);
  fflush(stderr);
}
