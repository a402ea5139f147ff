#include "Headless.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "UserDialog.h"

bool Headless::_active = false;
bool Headless::_progressShown = false;

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
  // Nobody sees a dialog: alerts are written, questions go unanswered.
  UserDialog::unattended(true);
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
