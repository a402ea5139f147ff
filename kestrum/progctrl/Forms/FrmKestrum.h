#ifndef FRMKESTRUM_H
#define FRMKESTRUM_H

#include <vector>

#include "SettingDiff.h"

class TlctrlRoot;
class TlctrlBndToProt;
class SettingBin;
class ConfigInit;
class FrmKestrumImpl;
class SBTabs;
class Flu_Combo_List;
class KesInputChoice;
class Fl_Widget;
class Fl_Double_Window;
class Fl_Group;
class Fl_Button;
class Fl_Help_View;
class Fl_Box;
class Fl_Output;
class Fl_Input;
class Fl_Check_Button;
class Fl_Browser;

// The main window "Tolvan Programmeer Omgeving" and its three dialogs. It
// builds the widgets and hands every user action to FrmKestrumImpl; the
// controller drives it through the display operations below.
class FrmKestrum {
public:
  static const int WIDTH = 1057;
  static const int HEIGHT = 609;

  // Builds and shows the main window.
  FrmKestrum(TlctrlRoot* root, SettingBin* settingBin);
  virtual ~FrmKestrum();

  void show();

  // Status line.
  void txtStatusInfo(const char* text);
  Fl_Output* statusInfo() const { return _txtStatusInfo; }
  // The connected device; its type is shown under the customer's name.
  void showTolvanGroup(const char* type, const char* swVer, const char* special,
                       const char* hwVer);
  // The settings file group; a null argument leaves its field as it is.
  void showBestGroup(const char* file, const char* type);
  // Rebuilds the settings form from the settings store / removes it.
  void createSettingEdit();
  void removeSettingEdit();

  void configInit(ConfigInit* configInit);
  ConfigInit* configInit() const { return _configInit; }
  SettingBin* settingBin() const { return _settingBin; }
  TlctrlRoot* ctrlRtSt() const { return _ctrlRtSt; }
  void ctrlBndSt(TlctrlBndToProt* bnd) { _ctrlBndSt = bnd; }
  TlctrlBndToProt* ctrlBndSt() const { return _ctrlBndSt; }
  FrmKestrumImpl* frmImpl() const { return _frmImpl; }

  // Dialogs, rebuilt at every opening; the old one (if any) is deleted.
  void makeNewWindow();
  void makeOptionsWindow();
  void makeCrtRevPackWndw();
  // The fields that differ between the settings file and the device: marked
  // in the form (which shows the device's values) and listed in the window
  // "Verschillen" (tab, field, file value, device value).
  void showDifferences(const std::vector<SettingDiff::Difference>& differences);
  void deleteDiffWindow();
  Fl_Double_Window* diffWindow() const { return _diffWindow; }
  Fl_Browser* diffList() const { return _diffList; }
  // The colour of a marked field.
  static const unsigned DIFF_COLOR = 0xFF990000;  // orange (as Fl_Color), paler in the plastic boxes
  void deleteNewWindow();
  void deleteOptionsWindow();
  void deleteCrtRevPackWndw();

  Fl_Double_Window* window() const { return _window; }
  Fl_Group* grpMenu() const { return _grpMenu; }
  Fl_Button* btNieuw() const { return _btNieuw; }
  Fl_Button* btOpen() const { return _btOpen; }
  Fl_Button* btOpslaan() const { return _btOpslaan; }
  Fl_Button* btProgrammeren() const { return _btProgrammeren; }
  Fl_Button* btOphalen() const { return _btOphalen; }
  Fl_Button* btOpties() const { return _btOpties; }
  Fl_Help_View* helpView() const { return _helpView; }
  Fl_Box* bxCompLogo() const { return _bxCompLogo; }
  SBTabs* settingEdit() const { return _settingEdit; }
  Fl_Output* txtBestName() const { return _txtBestName; }
  Fl_Input* txtInTolTypeInstBest() const { return _txtInTolTypeInstBest; }
  Fl_Output* txtTolType() const { return _txtTolType; }
  Fl_Output* txtTolSwVer() const { return _txtTolSwVer; }
  Fl_Output* txtTolSpecial() const { return _txtTolSpecial; }
  Fl_Output* txtTolHwVer() const { return _txtTolHwVer; }
  Fl_Button* btAfsluiten() const { return _btAfsluiten; }
  Fl_Double_Window* btNewWindow() const { return _btNewWindow; }
  Flu_Combo_List* btNewChoiceTolType() const { return _btNewChoiceTolType; }
  Fl_Button* btNewOk() const { return _btNewOk; }
  Fl_Double_Window* btOptionsWindow() const { return _btOptionsWindow; }
  KesInputChoice* btOptComPort() const { return _btOptComPort; }
  Fl_Check_Button* optUpgrade() const { return _optUpgrade; }
  Fl_Check_Button* optVerify() const { return _optVerify; }
  Fl_Button* btOptOk() const { return _btOptOk; }
  Fl_Output* txtSwDatumTijd() const { return _txtSwDatumTijd; }
  Fl_Output* txtSwVersie() const { return _txtSwVersie; }
  Fl_Button* btCrtRevPackWndw() const { return _btCrtRevPackWndw; }
  Fl_Double_Window* crtRevPackWndw() const { return _crtRevPackWndw; }
  Fl_Button* btSelectBin() const { return _btSelectBin; }
  Fl_Output* txtBinDir() const { return _txtBinDir; }
  Fl_Button* btCreateRevPack() const { return _btCreateRevPack; }
  Fl_Button* btEditRestrictions() const { return _btEditRestrictions; }

private:
  void makeWindow();

  static void cbNieuw(Fl_Widget*, void* data);
  static void cbOpen(Fl_Widget*, void* data);
  static void cbOpslaan(Fl_Widget*, void* data);
  static void cbProgrammeren(Fl_Widget*, void* data);
  static void cbOphalen(Fl_Widget*, void* data);
  static void cbOpties(Fl_Widget*, void* data);
  static void cbTolType(Fl_Widget*, void* data);
  static void cbAfsluiten(Fl_Widget*, void* data);
  static void cbNewChoice(Fl_Widget*, void* data);
  static void cbNewOk(Fl_Widget*, void* data);
  static void cbNewClose(Fl_Widget*, void* data);
  static void cbOptOk(Fl_Widget*, void* data);
  static void cbOptUpgrade(Fl_Widget*, void* data);
  static void cbOptVerify(Fl_Widget*, void* data);
  static void cbOptClose(Fl_Widget*, void* data);
  static void cbCrtRevPack(Fl_Widget*, void* data);
  static void cbSelectBin(Fl_Widget*, void* data);
  static void cbCreateRevPack(Fl_Widget*, void* data);
  static void cbEditRestrictions(Fl_Widget*, void* data);
  static void cbCrtRevPackClose(Fl_Widget*, void* data);
  static void cbDiffClose(Fl_Widget*, void* data);

  FrmKestrumImpl* _frmImpl;
  ConfigInit* _configInit;
  TlctrlRoot* _ctrlRtSt;
  TlctrlBndToProt* _ctrlBndSt;
  SettingBin* _settingBin;
  Fl_Double_Window* _window;
  Fl_Group* _grpMenu;
  Fl_Button* _btNieuw;
  Fl_Button* _btOpen;
  Fl_Button* _btOpslaan;
  Fl_Button* _btProgrammeren;
  Fl_Button* _btOphalen;
  Fl_Button* _btOpties;
  Fl_Help_View* _helpView;
  Fl_Box* _bxCompLogo;
  SBTabs* _settingEdit;
  Fl_Output* _txtBestName;
  Fl_Input* _txtInTolTypeInstBest;
  Fl_Output* _txtTolType;
  Fl_Output* _txtTolSwVer;
  Fl_Output* _txtTolSpecial;
  Fl_Output* _txtTolHwVer;
  Fl_Output* _txtStatusInfo;
  Fl_Button* _btAfsluiten;
  Fl_Double_Window* _btNewWindow;
  Flu_Combo_List* _btNewChoiceTolType;
  Fl_Button* _btNewOk;
  Fl_Double_Window* _btOptionsWindow;
  KesInputChoice* _btOptComPort;
  Fl_Check_Button* _optUpgrade;
  Fl_Check_Button* _optVerify;
  Fl_Button* _btOptOk;
  Fl_Output* _txtSwDatumTijd;
  Fl_Output* _txtSwVersie;
  Fl_Button* _btCrtRevPackWndw;
  Fl_Double_Window* _crtRevPackWndw;
  Fl_Button* _btSelectBin;
  Fl_Output* _txtBinDir;
  Fl_Button* _btCreateRevPack;
  Fl_Button* _btEditRestrictions;
  Fl_Double_Window* _diffWindow;
  Fl_Browser* _diffList;
};

#endif
