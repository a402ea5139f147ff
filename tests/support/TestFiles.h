#ifndef TESTFILES_H
#define TESTFILES_H

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline void writeFile(const std::string& name, const std::string& content) {
  std::ofstream(name, std::ios::binary) << content;
}

// The whole file; empty when it cannot be read.
inline std::string readFile(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  std::ostringstream os;
  os << f.rdbuf();
  return os.str();
}

inline bool fileExists(const std::string& name) {
  std::error_code ec;
  return std::filesystem::exists(name, ec);
}

// The text's lines without their line ends.
inline std::vector<std::string> textLines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream ss(text);
  std::string l;
  while (std::getline(ss, l)) out.push_back(l);
  return out;
}

#endif
