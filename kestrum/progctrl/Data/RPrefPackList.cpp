#include "RPrefPackList.h"

#include <string>

#include "Language.h"
#include "Main.h"
#include "RPallowHwList.h"
#include "RPbinList.h"
#include "RevPackDb.h"
#include "SBTabSheet.h"
#include "kestrum/progctrl/States/TlctrlRoot.h"

RPrefPackList::RPrefPackList(RevPackDb* rpDb, RPbinList* binList, TlctrlRoot* root)
    : Flu_Combo_List(0, 0, W, H), _rpDb(rpDb), _binList(binList), _root(root) {
  end();
  copy_label(gettext("Select RevPack File: ", 0));
  align(FL_ALIGN_LEFT);
  box(FL_PLASTIC_DOWN_BOX);
  editable(false);
  if (_rpDb) {
    std::string last = _root ? _root->lastRevpackFile() : "";
    bool lastFound = false;
    for (int i = 0; i < _rpDb->nrRpaFiles(); ++i) {
      list.add(_rpDb->rpaFile(i));
      if (!last.empty() && last == _rpDb->rpaFile(i)) lastFound = true;
    }
    std::string shown = lastFound ? last : std::string(_rpDb->rpaFile(0));
    // A pack handed to the program on its command line wins.
    if (Main::_refPackFile && *Main::_refPackFile) shown = Main::_refPackFile;
    value(shown.c_str());
    if (!shown.empty()) _rpDb->selectRpFile(shown.c_str());
  }
  redraw();
  show();
  if (_binList) _binList->refreshList();
  callback(refPackListCbStatic, this);
}

int RPrefPackList::handle(int event) {
  if (event == FL_PUSH) RPallowHwList::showHelp(this);
  return Flu_Combo_List::handle(event);
}

void RPrefPackList::placeOnTabSheet(SBTabSheet* sheet) {
  if (!sheet) return;
  sheet->add(this);
  sheet->nextTxtField(h());
  resize(sheet->w() / 3, sheet->nextTxtField(h()), W, h());
}

void RPrefPackList::refPackListCbStatic(Fl_Widget*, void* data) {
  if (data) static_cast<RPrefPackList*>(data)->refPackListCb();
}

void RPrefPackList::refPackListCb() {
  if (!_rpDb) return;
  _rpDb->selectRpFile(value());
  if (_binList) _binList->refreshList();
}
