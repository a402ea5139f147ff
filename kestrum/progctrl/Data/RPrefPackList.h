#ifndef RPREFPACKLIST_H
#define RPREFPACKLIST_H

#include "lib/Flu/Flu_Combo_List.h"

class RevPackDb;
class RPbinList;
class SBTabSheet;
class TlctrlRoot;

// The revision packs found in "RevPacks"; choosing one lists its bin files.
class RPrefPackList : public Flu_Combo_List {
public:
  static const int W = 360;
  static const int H = 21;

  RPrefPackList(RevPackDb* rpDb, RPbinList* binList, TlctrlRoot* root);

  int handle(int event) override;
  void placeOnTabSheet(SBTabSheet* sheet);
  void refPackListCb();

private:
  static void refPackListCbStatic(Fl_Widget* w, void* data);

  RevPackDb* _rpDb;
  RPbinList* _binList;
  TlctrlRoot* _root;
};

#endif
