#ifndef FLUTESTSUPPORT_H
#define FLUTESTSUPPORT_H

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <cstdlib>
#include <cstring>
#include <string>

// GUI tests need the X server that scripts/test.sh starts.
#define FLU_NEED_DISPLAY()                                   \
  do {                                                       \
    const char* d = std::getenv("DISPLAY");                  \
    if (!d || !*d) GTEST_SKIP() << "no DISPLAY";             \
  } while (0)

namespace flutest {

// Sends one key press to whatever has the focus or the grab.
inline void pressKey(int key, const char* text = "") {
  Fl::e_keysym = key;
  Fl::e_text = const_cast<char*>(text);
  Fl::e_length = static_cast<int>(std::strlen(text));
  Fl::e_state = 0;
  Fl_Window* target = Fl::grab() ? Fl::grab() : Fl::first_window();
  Fl::handle(FL_KEYBOARD, target);
}

inline Fl_Window* findWindow(const std::string& title) {
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w))
    if (w->label() && title == w->label() && w->shown() && w->visible()) return w;
  return nullptr;
}

} // namespace flutest

#endif
