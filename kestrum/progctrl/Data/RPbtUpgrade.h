#ifndef RPBTUPGRADE_H
#define RPBTUPGRADE_H

#include <FL/Fl_Button.H>

class FrmKestrumImpl;
class SBTabSheet;

// Starts the upgrade with the chosen pack and bin file.
class RPbtUpgrade : public Fl_Button {
public:
  static const int W = 360;
  static const int H = 21;
  static const int PLACED_W = 180;

  explicit RPbtUpgrade(FrmKestrumImpl* frmImpl);

  void placeOnTabSheet(SBTabSheet* sheet);

private:
  static void rPbtUpgradeCb(Fl_Widget* w, void* data);

  FrmKestrumImpl* _frmImpl;
};

#endif
