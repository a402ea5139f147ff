#ifndef FRMKESTRUMIMPL_H
#define FRMKESTRUMIMPL_H

#include <cstdint>

class FrmKestrum;
class TlctrlRoot;
class TlctrlBndToProt;
class ConfigInit;
class SettingBin;
class RevPackDb;
class RPrefPackList;
class RPbinList;
class RPbtUpgrade;

// The actions behind the main window's buttons and dialogs, and the display
// operations the controller calls (busy cursor, buttons on or off).
class FrmKestrumImpl {
public:
  // A modal chooser: title, file pattern, start path; returns the chosen path
  // or null when cancelled. Replaceable so that the actions run unattended.
  typedef const char* (*Chooser)(const char* title, const char* pattern, const char* start);

  FrmKestrumImpl(FrmKestrum* frame, TlctrlRoot* root);
  virtual ~FrmKestrumImpl();

  // "Nieuw": the type dialog; its "OK" makes new settings of the chosen type.
  void btNewSb();
  void btNewSbOk();
  // The type field of the file group changed.
  void tolTypeChanged(const char* customType);
  // "Open" / "Opslaan".
  void btOpenSb();
  void btStoreSb();
  // "Programmeren" / "Ophalen": requests to the controller.
  void btProgrammeren();
  void btOphalen();
  // "Opties": the options dialog; its "OK"; closing it.
  void btOptionsWindow();
  void btOptionsOk();
  void btOptionsClose();
  void btOptCkSwUpgrade();
  // The option "Controleren na programmeren": the settings are read back
  // after programming and compared with what was programmed.
  void verifyAfterProgramming(bool on);
  // The revision pack creation dialog and its buttons.
  void btCrtRevPackWndw();
  void btSelectBin();
  void btCreateRevPack();
  void btEditRestrictions();
  // Starts a firmware upgrade; false when it was not started.
  bool btExecUpgrade();
  // The upgrade sheet's widgets while it exists (null otherwise).
  RPrefPackList* rpList() const { return _rpList; }
  RPbinList* binList() const { return _binList; }
  RPbtUpgrade* btUpgrade() const { return _btUpgrade; }
  bool checkTypeHwVers();

  void cursorBusy(bool busy);
  void activateButtons(bool on);
  // "Afsluiten" and the window's close button: the main loop ends.
  void shutdown();

  void settingBin(SettingBin* settingBin) { _settingBin = settingBin; }
  SettingBin* settingBin() const { return _settingBin; }
  void configInit(ConfigInit* configInit) { _configInit = configInit; }
  ConfigInit* configInit() const { return _configInit; }
  FrmKestrum* frame() const { return _frame; }
  TlctrlRoot* root() const { return _root; }

  // Null restores the toolkit's choosers.
  static void fileChooser(Chooser chooser);
  static Chooser fileChooser();
  static void dirChooser(Chooser chooser);
  static Chooser dirChooser();
  // Opens a file in the desktop's editor; replaceable for the same reason.
  typedef void (*Editor)(const char* path);
  static void editor(Editor editor);

  // Settings file named on the command line; empty by default.
  static char* PROG_FILE_KVN;
  // Command-line programming mode: set when PROG_FILE_KVN is not empty.
  static bool CMDL_PROGRAM;
  // Revision pack creation allowed (command line).
  static bool CREATE_REVPACK;

private:
  // The settings file name under which to save: asked until accepted; null
  // when the user cancelled.
  const char* askStoreName();

  FrmKestrum* _frame;
  TlctrlRoot* _root;
  ConfigInit* _configInit;
  SettingBin* _settingBin;
  [[maybe_unused]] uint8_t _nrTols;
  char* _tolTypes[40];
  RevPackDb* _rpDb;
  TlctrlBndToProt* _ctrlBnd;
  RPrefPackList* _rpList;
  RPbinList* _binList;
  RPbtUpgrade* _btUpgrade;
};

#endif
