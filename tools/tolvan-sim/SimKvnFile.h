#ifndef SIMKVNFILE_H
#define SIMKVNFILE_H

#include "SimEntry.h"

#include <string>
#include <vector>

// Settings files: 200 lines "text|number". Entries are indexed 0..200 and
// entry 0 is never stored.
class SimKvnFile {
public:
  static constexpr int NR_ENTRIES = 200;
  // Longest line we take in; the rest of a longer line is skipped.
  static constexpr size_t MAX_LINE = 1024;

  // Reads the file into entries (resized to 201). CR is dropped wherever it
  // stands; missing lines leave their entries empty; lines past 200 are
  // ignored. False with err set when the file cannot be read.
  static bool load(const std::string& path, std::vector<SimEntry>& entries, std::string& err);
  // Parses the file contents; the same rules as load.
  static void parse(const std::string& contents, std::vector<SimEntry>& entries);
  // Writes 200 lines ending in LF through a temporary file renamed over the
  // target, so a reader never sees half a file.
  static bool save(const std::string& path, const std::vector<SimEntry>& entries, std::string& err);
  static std::string format(const std::vector<SimEntry>& entries);
  // Writes data to a temporary file beside path and renames it over path.
  static bool writeAtomic(const std::string& path, const std::string& data, std::string& err);
};

#endif
