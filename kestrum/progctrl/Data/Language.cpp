#include "Language.h"

#include <cstring>
#include <string>

#include "TextLine.h"
#include "UserDialog.h"

const char* Language::_langTxt[NR_LANG] = {"NLINI", "NL", "GER", "UK", "FR", "SPA"};
const char* Language::_file = "language.csv";
const char* Language::_sel = "language.ini";
Language* Language::_language = nullptr;

namespace {
char g_empty[1] = "";
// Column widths of language.csv: the number, then key and six languages.
const int NR_WIDTH = 5;
}  // namespace

Language* Language::instance() {
  if (!_language) {
    LanguageId id = getInitLang();
    if (id != UNDEF) _language = new Language(id);
  }
  return _language;
}

void Language::destroy() {
  delete _language;
  _language = nullptr;
}

Language::Language(LanguageId id) : _fd(nullptr), _languageId(id) {
  for (int i = 0; i < NR_LINES; i++) {
    _msgId[i][0] = '\0';
    _msgStr[i][0] = '\0';
  }
  initLanguage(id);
}

Language::~Language() {
  if (_fd) fclose(_fd);
}

void Language::initLanguage(LanguageId id) {
  _languageId = id;
  if (id == UNDEF || id >= NR_LANG) {
    _languageId = UNDEF;
    return;
  }
  _fd = fopen(_file, "r");
  if (!_fd) {
    std::string msg = std::string("File \"") + _file + "\" not available.";
    prtError(msg.c_str());
    _languageId = UNDEF;
    return;
  }
  char line[LINE_LEN + 1];
  int c;
  do {
    c = TextLine::read(_fd, line, sizeof line);
    if (!parseLine(line)) {
      prtError("Language Parse error.");
      break;
    }
  } while (c != EOF);
  fclose(_fd);
  _fd = nullptr;
}

bool Language::parse(char* dst, int size, char** pos) {
  char* p = *pos;
  int n = 0;
  bool fits = true;
  while (*p && *p != ';') {
    if (n < size - 1)
      dst[n++] = *p;
    else
      fits = false;
    p++;
  }
  dst[n] = '\0';
  if (*p == ';') p++;
  *pos = p;
  return fits;
}

bool Language::parseLine(char* line) {
  char* pos = line;
  char nr[NR_WIDTH + 1];
  char col[NR_LANG][LINE_LEN + 1];
  if (!parse(nr, sizeof nr, &pos)) return false;
  for (int i = 0; i < NR_LANG; i++)
    if (!parse(col[i], sizeof col[i], &pos)) return false;
  int n = 0;
  if (sscanf(nr, "%d", &n) != 1 || n == 0) return true;  // header, comment or empty line
  // A negative number indexes nothing and is as wrong as one beyond the table.
  if (n < 0 || n >= NR_LINES) return false;
  strcpy(_msgId[n], col[NLINI]);
  strcpy(_msgStr[n], col[_languageId]);
  return true;
}

char* Language::gettext(char* text, int flag) {
  if (!text || _languageId == UNDEF || flag != 0) return text;
  for (int i = 0; i < NR_LINES; i++)
    if (_msgStr[i][0] != '\0' && strcmp(_msgId[i], text) == 0) return _msgStr[i];
  return text;
}

const char* Language::gettext(const char* text, int flag) {
  return gettext(const_cast<char*>(text), flag);
}

char* Language::getMsgId(int n) {
  if (n < 0 || n >= NR_LINES) return g_empty;
  return _msgId[n];
}

Language::LanguageId Language::getInitLang() {
  FILE* fd = fopen(_sel, "r");
  if (!fd) return UNDEF;
  LanguageId id = UNDEF;
  char line[21];
  int c;
  do {
    c = TextLine::read(fd, line, sizeof line);
    if (line[0] == '\0') break;
    char key[21] = "";
    char value[80] = "";
    if (sscanf(line, "%20[^=]=%79s", key, value) == 2 && strcmp(key, "taal") == 0 &&
        value[0] != '\0') {
      id = strToId(value);
      break;
    }
  } while (c != EOF);
  fclose(fd);
  return id;
}

Language::LanguageId Language::strToId(const char* name) {
  if (!name) return UNDEF;
  for (int i = 0; i < NR_LANG; i++)
    if (strcmp(name, _langTxt[i]) == 0) return static_cast<LanguageId>(i);
  return UNDEF;
}

void Language::prtError(const char* msg) {
  std::string text = std::string("Error!! ") + (msg ? msg : "") + " \n" +
                     "No Language Support. Default is NL";
  UserDialog::alert(text.c_str());
}

char* gettext(char* text, int flag) {
  Language* lang = Language::instance();
  return lang ? lang->gettext(text, flag) : text;
}

const char* gettext(const char* text, int flag) {
  return gettext(const_cast<char*>(text), flag);
}

char* getMsgId(int n) {
  Language* lang = Language::instance();
  return lang ? lang->getMsgId(n) : g_empty;
}
