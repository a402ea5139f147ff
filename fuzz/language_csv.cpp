// A language.csv of arbitrary bytes is read for one language (chosen by the
// first byte): every key and translation stays within a table line, and a
// lookup gives either the text itself or one of the table's translations.
#include <cstring>
#include <memory>

#include "FuzzDialogs.h"
#include "Language.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUpReader();
  if (size < 1) return 0;
  Language::LanguageId id = static_cast<Language::LanguageId>(data[0] % (Language::NR_LANG + 1));
  fuzz::writeFile(Language::_file, data + 1, size - 1);
  std::unique_ptr<Language> lang(new Language(id));
  for (int n = -1; n <= Language::NR_LINES; ++n) {
    const char* key = lang->getMsgId(n);
    fuzz::check(strlen(key) <= static_cast<size_t>(Language::LINE_LEN));
    const char* t = lang->gettext(key, 0);
    fuzz::check(strlen(t) <= static_cast<size_t>(Language::LINE_LEN));
  }
  const char* text = "Attentie!!";
  fuzz::check(lang->gettext(text, 1) == text);
  return 0;
}
