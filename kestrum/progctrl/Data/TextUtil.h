#ifndef TEXTUTIL_H
#define TEXTUTIL_H

#include <cstddef>
#include <string>

// The small text and file helpers that the controller, the data classes and
// the entry share, so that each rule (cutting, formatting, what counts as a
// readable file) is written once.
class TextUtil {
public:
  // printf into a string; cut at 4095 characters.
  static std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
  // The translation of a printf format, or the format itself when the
  // translation takes other arguments (a language table is data, never
  // trusted as a format).
  static const char* trFormat(const char* fmt);
  // The conversions of a printf format, in order ("%x%s" -> "xs").
  static std::string conversions(const char* fmt);
  // Copies src (null: empty) into the buffer dst of size bytes, cut to fit,
  // always terminated.
  static void copyCut(char* dst, const char* src, size_t size);
  static bool endsWith(const std::string& s, const char* tail);
  // A plain file (not a directory) that can be opened for reading.
  static bool readableFile(const char* path);
};

#endif
