// A language.ini of arbitrary bytes chooses a language, or none.
#include "FuzzDialogs.h"
#include "Language.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUpReader();
  fuzz::writeFile(Language::_sel, data, size);
  Language::LanguageId id = Language::getInitLang();
  fuzz::check(id < Language::NR_LANG || id == Language::UNDEF);
  return 0;
}
