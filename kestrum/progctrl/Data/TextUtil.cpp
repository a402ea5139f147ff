#include "TextUtil.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "Language.h"

std::string TextUtil::format(const char* fmt, ...) {
  char buf[4096];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

std::string TextUtil::conversions(const char* fmt) {
  std::string c;
  for (const char* p = fmt; *p; ++p) {
    if (*p != '%') continue;
    ++p;
    while (*p && strchr("-+ #0123456789.lh", *p)) ++p;
    if (!*p) break;
    c += *p;
  }
  return c;
}

const char* TextUtil::trFormat(const char* fmt) {
  const char* t = gettext(fmt, 0);
  return conversions(t) == conversions(fmt) ? t : fmt;
}

void TextUtil::copyCut(char* dst, const char* src, size_t size) {
  if (size == 0) return;
  if (!src) src = "";
  size_t n = strnlen(src, size - 1);
  memmove(dst, src, n);
  dst[n] = '\0';
}

bool TextUtil::endsWith(const std::string& s, const char* tail) {
  size_t n = strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

bool TextUtil::readableFile(const char* path) {
  std::error_code ec;
  if (!path || !*path || !std::filesystem::is_regular_file(path, ec)) return false;
  FILE* f = fopen(path, "r");
  if (!f) return false;
  fclose(f);
  return true;
}
