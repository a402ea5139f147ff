#ifndef HEADLESS_H
#define HEADLESS_H

#include <string>

// Running with no X display (a bench PC over ssh, a CI job, a board without
// a screen): the command-line modes work without any window. What the window
// would show goes to standard output as "Status Info: ..." lines, transfers
// show their progress as one updating line on standard error when that is a
// terminal, and no question waits for an answer: an alert is written to
// standard error, and a question is answered with "no answer", which every
// caller takes as the choice that changes nothing.
class Headless {
public:
  // Whether an X display can be used: DISPLAY is set and the display opens.
  static bool displayAvailable();

  // Switches the run to working without a window; from then on active().
  static void start();
  // No dialog of this run waits for an answer (a run nobody watches, with or
  // without a display).
  static void noDialogs();
  static bool active() { return _active; }

  // What a status text looks like on standard output.
  static void statusLine(const std::string& text, bool progress);
  // Progress of a transfer ("Programmeren 120/200"): one line on standard
  // error, rewritten in place, when that is a terminal.
  static void progress(const std::string& text);
  // Ends the progress line, if one is shown.
  static void progressDone();

private:
  static bool _active;
  static bool _progressShown;
};

#endif
