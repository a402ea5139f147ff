#ifndef FRMKESTRUM_H
#define FRMKESTRUM_H

class TlctrlRoot;
class SettingBin;
class ConfigInit;
class FrmKestrumImpl;

// The main form. This version carries only the wiring and the display
// operations that the settings store and the configuration call; it shows
// no window.
class FrmKestrum {
public:
  FrmKestrum(TlctrlRoot* root, SettingBin* settingBin);
  virtual ~FrmKestrum();

  void showBestGroup(const char* file, const char* type);
  void showTolvanGroup(const char* type, const char* swVer, const char* special,
                       const char* hwVer);
  void createSettingEdit();
  void removeSettingEdit();

  void configInit(ConfigInit* configInit) { _configInit = configInit; }
  ConfigInit* configInit() const { return _configInit; }
  SettingBin* settingBin() const { return _settingBin; }
  TlctrlRoot* ctrlRtSt() const { return _ctrlRtSt; }
  FrmKestrumImpl* frmImpl() const { return _frmImpl; }

private:
  FrmKestrumImpl* _frmImpl;
  ConfigInit* _configInit;
  TlctrlRoot* _ctrlRtSt;
  SettingBin* _settingBin;
};

#endif
