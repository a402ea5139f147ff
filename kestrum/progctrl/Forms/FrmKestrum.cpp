#include "FrmKestrum.h"

#include "FrmKestrumImpl.h"

FrmKestrum::FrmKestrum(TlctrlRoot* root, SettingBin* settingBin)
    : _frmImpl(nullptr), _configInit(nullptr), _ctrlRtSt(root), _settingBin(settingBin) {
  _frmImpl = new FrmKestrumImpl(this, root);
  _frmImpl->settingBin(settingBin);
}

FrmKestrum::~FrmKestrum() { delete _frmImpl; }

// No window yet: nothing to show.
void FrmKestrum::showBestGroup(const char*, const char*) {}
void FrmKestrum::showTolvanGroup(const char*, const char*, const char*, const char*) {}
void FrmKestrum::createSettingEdit() {}
void FrmKestrum::removeSettingEdit() {}
