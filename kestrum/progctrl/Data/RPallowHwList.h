#ifndef RPALLOWHWLIST_H
#define RPALLOWHWLIST_H

#include <FL/Fl_Output.H>

class SBTabSheet;

// The hardware versions that the chosen bin file's version may go on.
class RPallowHwList : public Fl_Output {
public:
  static const int W = 360;
  static const int H = 21;

  RPallowHwList();

  int handle(int event) override;
  void placeOnTabSheet(SBTabSheet* sheet);

  static const char* HELP_PAGE;
  // Loads the upgrade tab's help page into the help view of the form w is on.
  static void showHelp(Fl_Widget* w);

private:
  static void rpAllowHwListCb(Fl_Widget*, void*) {}
};

#endif
