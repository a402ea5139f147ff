#ifndef TLCTRLDIALOGSCRIPT_H
#define TLCTRLDIALOGSCRIPT_H

#include <cstdio>
#include <string>
#include <vector>

#include "UserDialog.h"

// Answers the program's dialogs from a file instead of the user, for
// unattended runs and the end-to-end tests. KESTRUM_DIALOG_SCRIPT names a
// file with one answer per line: the index of the button to choose (0, 1 or
// 2); lines starting with '#' and empty lines are skipped, and once the
// answers run out the first button is chosen. KESTRUM_DIALOG_RECORD, when
// set, names a file to which every dialog is appended as one line:
// "ALERT <text>" or "CHOICE <answer> <text>", new lines in the text written
// as "\n". Every dialog is also written as a trace line "Dialog: ...".
class TlctrlDialogScript : public UserDialog::Script {
public:
  TlctrlDialogScript(const char* scriptFile, const char* recordFile);
  ~TlctrlDialogScript() override;

  void alert(const char* text) override;
  int choice(const char* text, const char* b0, const char* b1, const char* b2) override;
  void beep() override {}

  // Installs a script when KESTRUM_DIALOG_SCRIPT is set (once per process).
  static void installFromEnvironment();
  static void uninstall();

private:
  void record(const std::string& line);
  static std::string oneLine(const char* text);

  std::vector<int> _answers;
  size_t _next;
  std::string _recordFile;

  static TlctrlDialogScript* _installed;
};

#endif
