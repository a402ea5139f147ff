#include "SimKvnFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

bool SimKvnFile::load(const std::string& path, std::vector<SimEntry>& entries, std::string& err) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) {
    err = path + ": " + strerror(errno);
    return false;
  }
  // A settings file has 200 short lines; never read more than they can hold.
  const size_t limit = (NR_ENTRIES + 1) * (MAX_LINE + 2);
  std::string contents;
  char buf[4096];
  size_t n;
  while (contents.size() < limit && (n = fread(buf, 1, sizeof buf, f)) > 0)
    contents.append(buf, n);
  bool failed = ferror(f);
  fclose(f);
  if (failed) {
    err = path + ": read error";
    return false;
  }
  parse(contents, entries);
  return true;
}

void SimKvnFile::parse(const std::string& contents, std::vector<SimEntry>& entries) {
  entries.assign(NR_ENTRIES + 1, SimEntry());
  int nr = 1;
  std::string line;
  bool inLine = false;
  auto store = [&]() {
    if (nr <= NR_ENTRIES) {
      size_t bar = line.find('|');
      entries[nr] = SimEntry(line.substr(0, bar),
                             bar == std::string::npos ? std::string() : line.substr(bar + 1));
    }
    ++nr;
    line.clear();
    inLine = false;
  };
  for (char c : contents) {
    if (nr > NR_ENTRIES)
      break;
    if (c == '\r')
      continue;
    if (c == '\n') {
      store();
      continue;
    }
    inLine = true;
    if (line.size() < MAX_LINE)
      line += c;
  }
  // A last line without its line end still counts.
  if (inLine)
    store();
}

std::string SimKvnFile::format(const std::vector<SimEntry>& entries) {
  std::string out;
  for (int nr = 1; nr <= NR_ENTRIES; ++nr) {
    if (static_cast<size_t>(nr) < entries.size())
      out += entries[nr].text() + "|" + entries[nr].number() + "\n";
    else
      out += "|\n";
  }
  return out;
}

bool SimKvnFile::save(const std::string& path, const std::vector<SimEntry>& entries, std::string& err) {
  return writeAtomic(path, format(entries), err);
}

bool SimKvnFile::writeAtomic(const std::string& path, const std::string& data, std::string& err) {
  std::string tmp = path + ".tmp" + std::to_string(getpid());
  FILE* f = fopen(tmp.c_str(), "wb");
  if (!f) {
    err = tmp + ": " + strerror(errno);
    return false;
  }
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = (fflush(f) == 0) && ok;
  ok = (fsync(fileno(f)) == 0) && ok;
  ok = (fclose(f) == 0) && ok;
  if (!ok) {
    err = tmp + ": write error";
    remove(tmp.c_str());
    return false;
  }
  if (rename(tmp.c_str(), path.c_str()) != 0) {
    err = path + ": " + strerror(errno);
    remove(tmp.c_str());
    return false;
  }
  return true;
}
