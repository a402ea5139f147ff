// A revision pack of arbitrary bytes is opened the way the upgrade sheet
// opens one: its bin list, the boot loader, every bin's data and settings
// file, the checks against a connected device, and the checksum. Loaded
// data must stay within its maxima.
#include <cstring>
#include <filesystem>
#include <string>

#include "FuzzDialogs.h"
#include "RevPackDb.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUpReader();
  static bool once = false;
  if (!once) {
    once = true;
    std::filesystem::create_directory(RevPackDb::APPLICATION);
    RevPackDb::bootPauseMs(0);
    RevPackDb::setActHwSwVers("TL8888GM-ED", "TL 1.23.45", "ABC", "H.49");
  }
  const std::string pack = "fuzz[0000].rpa";
  fuzz::writeFile(std::string(RevPackDb::APPLICATION) + "/" + pack, data, size);

  RevPackDb db(nullptr);
  fuzz::check(db.nrRpaFiles() == 1);
  if (db.selectRpFile(pack.c_str())) {
    fuzz::check(db.actNrBinFiles() <= RevPackDb::MAX_NR_FILES);
    fuzz::check(db.bootSize() >= 0 && db.bootSize() < RevPackDb::MAX_BOOT_SIZE);
    fuzz::check(strlen(db.setBtlHwVersion()) < RevPackDb::HWSW_VER_SIZE);
    db.checkBtlHwVersion();
    db.setBootData("49");
    db.setBootData("0");
    for (int i = 0; i < db.actNrBinFiles(); ++i) {
      std::string bin = db.actBinFile(i);
      const char* kvn = db.setBinData(bin.c_str());
      fuzz::check(kvn != nullptr && strlen(kvn) < RevPackDb::PATH_LEN);
      fuzz::check(db.binSize() >= 0 && db.binSize() <= RevPackDb::MAX_BINFILE_SIZE);
      const char* hw = nullptr;
      const char* type = db.getTolTypeFmBin(hw);
      fuzz::check(strlen(type) < RevPackDb::HWSW_VER_SIZE && strlen(hw) < RevPackDb::HWSW_VER_SIZE);
      const char* special = nullptr;
      const char* version = db.getSwVersionFmBin(special);
      fuzz::check(strlen(version) < RevPackDb::HWSW_VER_SIZE);
      fuzz::check(!special || strlen(special) < RevPackDb::HWSW_VER_SIZE);
      db.checkTypeSwHwVers(bin.c_str());
      db.allowedHwList(bin.c_str());
      fuzz::check(db.getEntry(bin.c_str(), RevPackDb::BIN_TYPE).size() <= RevPackDb::MAX_TXT_LEN);
    }
    db.printData();
  }
  db.checkCheckSum(pack.c_str(), false);
  return 0;
}
