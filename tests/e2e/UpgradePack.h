#ifndef UPGRADEPACK_H
#define UPGRADEPACK_H

// A revision pack for command-line upgrade runs, made by the program itself
// from bins written into the run's working directory.

#include <filesystem>
#include <string>
#include <vector>

#include "E2eHarness.h"

namespace upgradepack {

// The bin's name as the pack lists it (customer name for the device type).
inline const char* const BIN_GROUP = "Tolvan 8888 GSM_620.bin";

// The application part of a bin file (from the start address 0x100 on): a
// counting pattern with the device type behind its hardware and a version.
inline std::string application(size_t size) {
  std::string b(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    char c = static_cast<char>(i * 13 + i / 256);
    b[i] = (c == 'T' || c == 'V') ? ' ' : c;
  }
  b.replace(size / 2, 19, "xxH.49TL8888GM-EDyy");
  b.replace(size / 2 + 40, 22, "VERSION: TL-6.20STD001");
  return b;
}

// Bins in "bins" of the working directory, made into a pack by the program;
// the pack's file name, empty when none was made.
inline std::string buildPack(E2eRun& run, const std::string& app,
                             const std::vector<std::string>& boots = {"BOOT_LOAD_H49.bin"}) {
  std::filesystem::create_directory(run.path("bins"));
  writeFile(run.path("bins/TL8888GM-ED_620.bin"), std::string(0x100, '\xEE') + app);
  for (const std::string& boot : boots) writeFile(run.path("bins/" + boot), std::string(1800, '\x5A'));
  ChildProcess make({E2eRun::kestrum(), "-cmdl_crtrpa", "-bindir", "bins"},
                    {{"XDG_RUNTIME_DIR", run.path("xdg")}, {"KESTRUM_DIALOG_SCRIPT", "/dev/null"}}, run.path(""));
  if (make.waitExit(30000) != 0) return "";
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(run.path("RevPacks"), ec))
    if (e.path().extension() == ".rpa") return e.path().filename().string();
  return "";
}

// The image as the device keeps it: whole packets, the last filled with 0xFF.
inline std::string padded(std::string s) {
  while (s.size() % 128) s.push_back('\xFF');
  return s;
}

}  // namespace upgradepack

#endif
