#ifndef RPOUT_H
#define RPOUT_H

#include <FL/Fl_Output.H>

class SBTabSheet;

// One line of what the chosen bin file holds, on the upgrade tab.
class RPOut : public Fl_Output {
public:
  static const int W = 360;
  static const int H = 21;
  static const int PLACED_W = 180;

  // label is translated and copied.
  explicit RPOut(const char* label);

  void placeOnTabSheet(SBTabSheet* sheet);
};

#endif
