#ifndef REVPACKFIXTURES_H
#define REVPACKFIXTURES_H

#include <FL/Fl_Preferences.H>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../DataTestSupport.h"
#include "DiagCapture.h"
#include "RevPackDb.h"

namespace fs = std::filesystem;

// Bytes of a synthetic firmware image: a counting pattern that is easy to
// compare, the identification (such as "H.49TL8888GM-ED") and "VERSION: "
// with version and special.
inline std::vector<uint8_t> imageBytes(size_t size, const std::string& hwType, const std::string& version,
                                       const std::string& special, uint8_t seed = 0) {
  std::vector<uint8_t> b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>((i * 7 + seed) & 0xFF);
  // Keep the pattern from forming an identification of its own.
  for (auto& c : b)
    if (c == 'T' || c == 'V') c = 0x20;
  auto put = [&](size_t at, const std::string& s) {
    if (at + s.size() <= size) memcpy(b.data() + at, s.data(), s.size());
  };
  put(size / 2, "xx" + hwType + "yy");
  if (!version.empty()) put(size / 2 + 64, "VERSION: " + version + special);
  return b;
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& b) {
  writeFile(path, std::string(b.begin(), b.end()));
}

// The packs in "RevPacks".
inline std::vector<std::string> packsInDir() {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto& e : fs::directory_iterator("RevPacks", ec))
    if (e.path().extension() == ".rpa") out.push_back(e.path().filename().string());
  return out;
}

inline const char* kRestrictionHeader =
    "; FLTK preferences file format 1.0\n; vendor: RevPacks\n; application: SwHwRestrictions\n\n[.]\n\n"
    "[./SwHwRestrictions]\n\n";

// A pack written by the toolkit itself, for contents createDb never makes;
// without its version it is a pack of the old format.
inline void handMadePack(const std::string& name, const std::function<void(Fl_Preferences&)>& fill,
                         bool withVersion = true) {
  fs::create_directories("RevPacks");
  fs::create_directories("hand");
  {
    Fl_Preferences prefs("hand", "RevPacks", "pack");
    if (withVersion) Fl_Preferences(prefs, "General").set("version", 3);
    fill(prefs);
  }
  fs::rename("hand/pack.prefs", "RevPacks/" + name);
}

// A bin group of a hand-made pack whose size says size and that stores stored bytes.
inline void binGroup(Fl_Preferences& prefs, const char* name, const char* hw, int size, int stored) {
  Fl_Preferences list(prefs, "BinFileList_2");
  list.set(name, name);
  Fl_Preferences g(prefs, name);
  g.set("size", size);
  if (hw) g.set("hardware", hw);
  std::vector<uint8_t> data(stored, 0x5A);
  g.set("data", data.data(), stored);
}

// A working directory with a bin directory, config.ini and a recorder for
// what the user would see.
class RevPackTest : public ::testing::Test {
protected:
  void SetUp() override {
    TearDown();
    RevPackDb::bootPauseMs(0);
    RevPackDb::activeKvnFileReset();
    fs::create_directory("bins");
    writeFile("config.ini",
              "tolvantype=TL8888GM-ED;Meter G\ntolvantype=TL8888IM-ED;Meter I\ntolvantype=TL4444GM-ED\n");
  }
  void TearDown() override {
    RevPackDb::CHECK_HARDWARE = true;
    RevPackDb::CMDL_CREATE_REVPACK = false;
    RevPackDb::setActHwSwVers("", "", "", "");
  }
  // An application bin for hardware hw ("H.49") of the given type.
  std::vector<uint8_t> addBin(const std::string& name, const std::string& hw, const std::string& type,
                              const std::string& version = "TL-6.01", size_t size = 0x5000) {
    auto b = imageBytes(size, hw + type, version, "SPEC01", static_cast<uint8_t>(name.size()));
    writeBytes("bins/" + name, b);
    return b;
  }
  std::vector<uint8_t> addBoot(const std::string& name, uint8_t fill) {
    std::vector<uint8_t> b(1800, fill);
    b[0] = 0x02;
    writeBytes("bins/" + name, b);
    return b;
  }
  // Builds the pack and returns its file name (empty when none was made).
  std::string build() {
    db.reset(new RevPackDb(nullptr));
    db->createDb("bins");
    auto packs = packsInDir();
    return packs.size() == 1 ? packs[0] : "";
  }
  void removePacks() {
    for (const std::string& old : packsInDir()) fs::remove("RevPacks/" + old);
  }

  TempDir dir{TempDir::Entered};
  DialogScript dialogs;
  std::unique_ptr<RevPackDb> db;
};

#endif
