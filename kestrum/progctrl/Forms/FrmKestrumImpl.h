#ifndef FRMKESTRUMIMPL_H
#define FRMKESTRUMIMPL_H

class FrmKestrum;
class TlctrlRoot;
class ConfigInit;
class SettingBin;

// The actions behind the main form. This version holds the process-wide
// options that the command line sets and the options dialog entry point,
// which opens nothing yet.
class FrmKestrumImpl {
public:
  FrmKestrumImpl(FrmKestrum* frame, TlctrlRoot* root);
  virtual ~FrmKestrumImpl();

  void btOptionsWindow();

  void settingBin(SettingBin* settingBin) { _settingBin = settingBin; }
  SettingBin* settingBin() const { return _settingBin; }

  // Settings file named on the command line; empty by default.
  static char* PROG_FILE_KVN;
  // Command-line programming mode: set when PROG_FILE_KVN is not empty.
  static bool CMDL_PROGRAM;
  // Revision pack creation allowed (command line).
  static bool CREATE_REVPACK;

private:
  FrmKestrum* _frame;
  TlctrlRoot* _root;
  ConfigInit* _configInit;
  SettingBin* _settingBin;
};

#endif
