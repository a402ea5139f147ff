#ifndef FRMKESTRUMIMPL_H
#define FRMKESTRUMIMPL_H

#include <cstddef>
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
class Fl_Widget;
class Fl_Window;

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
  // "Afsluiten" and the window's close button: asks about unsaved edits,
  // then ends the main loop.
  void btAfsluiten();
  // The main loop ends.
  void shutdown();
  // Unsaved edits: asks whether to save them first. False when the user
  // cancels (or the save did not happen); true when nothing is lost or the
  // user chose to discard. Never asks in a command-line run.
  bool confirmDiscard();
  // A command-line run: no dialog may wait for a person.
  static bool unattended();
  // "Afsluiten" and the window's close button: asks first while an upgrade
  // runs in the window, then as btAfsluiten.
  void closeRequest();
  // The settings tabs were cleared: the upgrade sheet, if shown, is gone.
  void settingEditCleared();
  // The upgrade has ended: its sheet can be used again.
  void upgradeEnded();
  // The question of closeRequest while it is shown (null otherwise).
  Fl_Window* closeQuestion() const { return _closeQuestion; }

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

  // A larger file is not a settings file (200 short lines).
  static const size_t MAX_KVN_BYTES = 1 << 20;

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
  // Asks whether to close during an upgrade without stopping the program:
  // the upgrade goes on while the question is open.
  void showCloseQuestion();
  void closeQuestionAnswered(bool close);
  static void cbCloseQuestion(Fl_Widget* w, void* data);

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
  Fl_Window* _closeQuestion;
  Fl_Widget* _closeYes;
};

#endif
