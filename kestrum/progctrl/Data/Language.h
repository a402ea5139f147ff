#ifndef LANGUAGE_H
#define LANGUAGE_H

#include <cstdio>

// The translation table. The program writes its texts in Dutch; every text
// shown to the user passes through gettext and comes back in the language
// chosen in "language.ini", or unchanged when there is no translation.
class Language {
public:
  enum LanguageId { NLINI = 0, NL = 1, GER = 2, UK = 3, FR = 4, SPA = 5, NR_LANG = 6, UNDEF = 7 };

  static const int LINE_LEN = 512;
  static const int NR_LINES = 512;

  // Null while no language is chosen; then the next call looks again.
  static Language* instance();
  static void destroy();

  explicit Language(LanguageId id);
  virtual ~Language();

  void initLanguage(LanguageId id);

  // The translation of text, or text itself; flag != 0 asks for no translation.
  char* gettext(char* text, int flag);
  const char* gettext(const char* text, int flag);
  // Key text of message n; empty for a number outside the table.
  char* getMsgId(int n);

  LanguageId languageId() const { return _languageId; }

  static LanguageId getInitLang();
  static LanguageId strToId(const char* name);

  static const char* _langTxt[NR_LANG];
  static const char* _file;
  static const char* _sel;

protected:
  // False on a parse error.
  bool parseLine(char* line);
  static bool parse(char* dst, int size, char** pos);
  static void prtError(const char* msg);

private:
  FILE* _fd;
  char _msgId[NR_LINES][LINE_LEN + 1];
  char _msgStr[NR_LINES][LINE_LEN + 1];
  LanguageId _languageId;

  static Language* _language;
};

// The program's translation function. It takes two arguments, so overload
// resolution never confuses it with the C library's one-argument gettext of
// <libintl.h>; both may be declared in the same translation unit.
char* gettext(char* text, int flag);
const char* gettext(const char* text, int flag);
char* getMsgId(int n);

#endif
