#ifndef RPBINLIST_H
#define RPBINLIST_H

#include "lib/Flu/Flu_Combo_List.h"

class RevPackDb;
class RPOut;
class RPallowHwList;
class SBTabSheet;
class TlctrlRoot;

// The bin files of the selected pack that the connected device may take.
class RPbinList : public Flu_Combo_List {
public:
  static const int W = 360;
  static const int H = 21;

  RPbinList(RevPackDb* rpDb, RPOut* typeInfo, RPOut* versionInfo, RPOut* hwVersion, RPOut* specialInfo,
            TlctrlRoot* root, RPallowHwList* alwdHwList);

  int handle(int event) override;
  void placeOnTabSheet(SBTabSheet* sheet);

  // Lists the allowed bins of the selected pack again.
  void refreshList();
  // The chosen bin is loaded and described.
  void rpBinListCb();
  // Shows what the bin in the field holds; show false empties the outputs.
  void updateInfo(bool show);

private:
  static void rpBinListCbStatic(Fl_Widget* w, void* data);

  RevPackDb* _rpDb;
  RPOut* _typeInfo;
  RPOut* _versionInfo;
  RPOut* _hwVersion;
  RPOut* _specialInfo;
  RPallowHwList* _alwdHwList;
  TlctrlRoot* _root;
};

#endif
