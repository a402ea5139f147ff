#include "TlctrlDialogScript.h"

#include <cstdlib>
#include <cstring>

#include "BDiag.h"
#include "BEvent.h"

TlctrlDialogScript* TlctrlDialogScript::_installed = nullptr;

TlctrlDialogScript::TlctrlDialogScript(const char* scriptFile, const char* recordFile)
    : _next(0), _recordFile(recordFile ? recordFile : "") {
  FILE* f = scriptFile ? fopen(scriptFile, "r") : nullptr;
  if (!f) return;
  char line[256];
  while (fgets(line, sizeof line, f)) {
    if (line[0] == '#' || line[0] == '\n' || line[0] == '\r' || line[0] == '\0') continue;
    int n = atoi(line);
    _answers.push_back(n >= 0 && n <= 2 ? n : 0);
  }
  fclose(f);
}

TlctrlDialogScript::~TlctrlDialogScript() {}

std::string TlctrlDialogScript::oneLine(const char* text) {
  std::string out;
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == '\n')
      out += "\\n";
    else if (*p != '\r')
      out += *p;
  }
  return out;
}

void TlctrlDialogScript::record(const std::string& line) {
  BDiag::print("Dialog: " + line);
  if (_recordFile.empty()) return;
  FILE* f = fopen(_recordFile.c_str(), "a");
  if (!f) return;
  fprintf(f, "%s\n", line.c_str());
  fclose(f);
}

void TlctrlDialogScript::alert(const char* text) { record("ALERT " + oneLine(text)); }

int TlctrlDialogScript::choice(const char* text, const char* b0, const char* b1, const char* b2) {
  int answer = _next < _answers.size() ? _answers[_next++] : 0;
  // A button that does not exist cannot be chosen.
  if ((answer == 1 && !b1) || (answer == 2 && !b2)) answer = 0;
  (void)b0;
  record("CHOICE " + std::to_string(answer) + " " + oneLine(text));
  return answer;
}

void TlctrlDialogScript::installFromEnvironment() {
  const char* script = getenv("KESTRUM_DIALOG_SCRIPT");
  if (_installed || !script || script[0] == '\0') return;
  _installed = new TlctrlDialogScript(script, getenv("KESTRUM_DIALOG_RECORD"));
  UserDialog::script(_installed);
}

void TlctrlDialogScript::uninstall() {
  if (!_installed) return;
  if (UserDialog::script() == _installed) UserDialog::script(nullptr);
  delete _installed;
  _installed = nullptr;
}
