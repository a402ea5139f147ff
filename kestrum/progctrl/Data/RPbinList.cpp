#include "RPbinList.h"

#include <cstring>
#include <string>

#include "Language.h"
#include "RPOut.h"
#include "RPallowHwList.h"
#include "RevPackDb.h"
#include "SBTabSheet.h"
#include "kestrum/progctrl/States/TlctrlRoot.h"

RPbinList::RPbinList(RevPackDb* rpDb, RPOut* typeInfo, RPOut* versionInfo, RPOut* hwVersion, RPOut* specialInfo,
                     TlctrlRoot* root, RPallowHwList* alwdHwList)
    : Flu_Combo_List(0, 0, W, H),
      _rpDb(rpDb),
      _typeInfo(typeInfo),
      _versionInfo(versionInfo),
      _hwVersion(hwVersion),
      _specialInfo(specialInfo),
      _alwdHwList(alwdHwList),
      _root(root) {
  end();
  copy_label(gettext("Select Bin File: ", 0));
  align(FL_ALIGN_LEFT);
  box(FL_PLASTIC_DOWN_BOX);
  editable(false);
  hide();
  callback(rpBinListCbStatic, this);
}

int RPbinList::handle(int event) {
  if (event == FL_PUSH) RPallowHwList::showHelp(this);
  return Flu_Combo_List::handle(event);
}

void RPbinList::placeOnTabSheet(SBTabSheet* sheet) {
  if (!sheet) return;
  sheet->add(this);
  sheet->nextTxtField(h());
  resize(sheet->w() / 3, sheet->nextTxtField(h()), W, h());
  show();
}

void RPbinList::rpBinListCbStatic(Fl_Widget*, void* data) {
  if (data) static_cast<RPbinList*>(data)->rpBinListCb();
}

void RPbinList::refreshList() {
  list.clear();
  value(nullptr);
  updateInfo(false);
  if (_rpDb) {
    std::string last = _root ? _root->lastBinFile() : "";
    bool lastFound = false;
    for (int i = 0; i < _rpDb->actNrBinFiles(); ++i) {
      const char* bin = _rpDb->actBinFile(i);
      if (strstr(bin, RevPackDb::BOOT_LOAD_NAME)) continue;
      if (!_rpDb->binFileAllowed(bin)) continue;
      list.add(bin);
      if (list.size() == 1) value(bin);
      if (!last.empty() && last == bin) lastFound = true;
    }
    if (lastFound) value(last.c_str());
    if (list.size() > 0) updateInfo(true);
  }
  show();
  redraw();
}

void RPbinList::rpBinListCb() {
  if (_rpDb && value()[0]) _rpDb->setBinData(value());
  updateInfo(true);
}

void RPbinList::updateInfo(bool show) {
  std::string bin = value();
  bool on = show && _rpDb && !bin.empty();
  std::string type, version, hw, special, allowed;
  if (on) {
    type = _rpDb->customTolType(_rpDb->getEntry(bin.c_str(), RevPackDb::BIN_TYPE).c_str());
    version = _rpDb->getEntry(bin.c_str(), RevPackDb::BIN_VERSION);
    hw = _rpDb->getEntry(bin.c_str(), RevPackDb::BIN_HWVERS);
    special = _rpDb->getEntry(bin.c_str(), RevPackDb::BIN_SPECIAL);
    allowed = _rpDb->allowedHwList(bin.c_str());
  }
  if (_typeInfo) _typeInfo->value(type.c_str());
  if (_versionInfo) _versionInfo->value(version.c_str());
  if (_hwVersion) _hwVersion->value(hw.c_str());
  if (_specialInfo) _specialInfo->value(special.c_str());
  if (_alwdHwList) _alwdHwList->value(allowed.c_str());
}
