#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "FrmKestrumImpl.h"
#include "Language.h"
#include "TlctrlRoot.h"
#include "UserDialog.h"

namespace {

class AlertLog : public UserDialog::Script {
public:
  void alert(const char* text) override { alerts.push_back(text); }
  int choice(const char*, const char*, const char*, const char*) override { return 0; }
  void beep() override {}
  std::vector<std::string> alerts;
};

// The root's own bookkeeping, without entering it (no window, no device).
class TlctrlRootTest : public ::testing::Test {
protected:
  void SetUp() override {
    UserDialog::script(&log);
    FrmKestrumImpl::CMDL_PROGRAM = false;
  }
  void TearDown() override {
    UserDialog::script(nullptr);
    FrmKestrumImpl::CMDL_PROGRAM = false;
  }
  AlertLog log;
  TlctrlRoot root;
};

}  // namespace

TEST_F(TlctrlRootTest, StatusByte5SetsGeneralAndPinErrorsAndAlertsThemAsLines1And3) {
  root.errorStatusByte(0x05);
  EXPECT_TRUE(root.error(TlctrlRoot::CTRL_GENERAL));
  EXPECT_FALSE(root.error(TlctrlRoot::CTRL_NO_SIM));
  EXPECT_TRUE(root.error(TlctrlRoot::CTRL_INV_PIN));
  EXPECT_FALSE(root.error(TlctrlRoot::CTRL_INV_PIN_USE_PUK));
  ASSERT_EQ(1u, log.alerts.size());
  EXPECT_EQ("Attentie!! Volgende Fouten gedetecteerd:\n"
            "1. Tolvan fout, ( Algemeen )\n"
            "3. Tolvan fout, ( Ongeldige PIN )\n",
            log.alerts[0]);
  EXPECT_FALSE(root.showErrorAlert());
}

TEST_F(TlctrlRootTest, AlertListsConnectionErrorsThatAreSetToo) {
  root.setError(TlctrlRoot::CTRL_PROTOCOL_ERROR, true);
  root.errorStatusByte(0x02);
  ASSERT_EQ(1u, log.alerts.size());
  EXPECT_NE(std::string::npos, log.alerts[0].find("2. Tolvan fout, ( SIM niet aanwezig )\n"));
  EXPECT_NE(std::string::npos, log.alerts[0].find("7. Communicatie fout\n"));
}

TEST_F(TlctrlRootTest, SecondStatusByteErrorInSameConnectionGivesNoAlert) {
  root.errorStatusByte(0x05);
  root.errorStatusByte(0x08);
  EXPECT_EQ(1u, log.alerts.size());
  // The errors follow the latest byte all the same.
  EXPECT_FALSE(root.error(TlctrlRoot::CTRL_GENERAL));
  EXPECT_TRUE(root.error(TlctrlRoot::CTRL_INV_PIN_USE_PUK));
  root.showErrorAlert(true);
  root.errorStatusByte(0x01);
  EXPECT_EQ(2u, log.alerts.size());
}

TEST_F(TlctrlRootTest, StatusByte255ClearsSimAndPinErrorsWithoutAlert) {
  root.showErrorAlert(false);
  root.errorStatusByte(0x0F);
  root.setError(TlctrlRoot::CTRL_COM_NOT_OPEN, true);
  root.showErrorAlert(true);
  root.errorStatusByte(255);
  EXPECT_TRUE(log.alerts.empty());
  for (int e = TlctrlRoot::CTRL_GENERAL; e <= TlctrlRoot::CTRL_INV_PIN_USE_PUK; ++e)
    EXPECT_FALSE(root.error(static_cast<TlctrlRoot::Error>(e)));
  EXPECT_TRUE(root.error(TlctrlRoot::CTRL_COM_NOT_OPEN));
  EXPECT_TRUE(root.showErrorAlert());
}

TEST_F(TlctrlRootTest, HighBitsOfStatusByteAreIgnored) {
  root.errorStatusByte(0xF0);
  EXPECT_TRUE(log.alerts.empty());
  for (int e = 0; e < TlctrlRoot::CTRL_ERR_SIZE; ++e) EXPECT_FALSE(root.error(static_cast<TlctrlRoot::Error>(e)));
}

TEST_F(TlctrlRootTest, CommandLineProgrammingSetsErrorsWithoutAlert) {
  FrmKestrumImpl::CMDL_PROGRAM = true;
  root.errorStatusByte(0x05);
  EXPECT_TRUE(log.alerts.empty());
  EXPECT_TRUE(root.error(TlctrlRoot::CTRL_GENERAL));
  EXPECT_TRUE(root.error(TlctrlRoot::CTRL_INV_PIN));
}

TEST_F(TlctrlRootTest, ErrorTextShowsMostUrgentConnectionError) {
  EXPECT_EQ("", root.errorText());
  root.setError(TlctrlRoot::CTRL_GENERAL, true);
  EXPECT_EQ("", root.errorText());
  root.setError(TlctrlRoot::CTRL_PROTOCOL_ERROR, true);
  EXPECT_EQ("Communicatie fout", root.errorText());
  root.setError(TlctrlRoot::CTRL_TOLVAN_NOT_CONNECTED, true);
  EXPECT_EQ("Tolvan niet aangesloten", root.errorText());
  root.setError(TlctrlRoot::CTRL_COM_NOT_OPEN, true);
  EXPECT_EQ("COM poort niet beschikbaar", root.errorText());
  root.resetErrors();
  EXPECT_EQ("", root.errorText());
}

TEST_F(TlctrlRootTest, SwitchedOffLifeCheckLeavesTimeoutDisarmedButTickRuns) {
  root.activeLifeCk(false);
  root.startLifeCkTimeout();
  root.restartLifeCkTimeout();
  EXPECT_FALSE(root.isArmedLifeCkTimeout());
  root.startLifeCkTmr();
  EXPECT_TRUE(root.isArmedLifeCkTmr());
  root.activeLifeCk(true);
  root.restartLifeCkTimeout();
  EXPECT_TRUE(root.isArmedLifeCkTimeout());
  root.stopLifeCkTimeout();
  root.stopLifeCkTmr();
  EXPECT_FALSE(root.isArmedLifeCkTimeout());
  EXPECT_FALSE(root.isArmedLifeCkTmr());
}

TEST_F(TlctrlRootTest, RememberedPathsAreCutToTheirFields) {
  std::string longName(400, 'x');
  root.lastBinFile(longName.c_str());
  EXPECT_EQ(std::string(TlctrlRoot::PATH_SIZE - 1, 'x'), root.lastBinFile());
  root.lastRevpackFile(nullptr);
  EXPECT_STREQ("", root.lastRevpackFile());
}

// The alert for a device without valid software reads whole in the chosen
// language, and in Dutch when no language is chosen.
TEST_F(TlctrlRootTest, NoValidSoftwareAlertIsInTheChosenLanguage) {
  namespace fs = std::filesystem;
  fs::path old = fs::current_path();
  fs::path dir = fs::temp_directory_path() / ("kestrum-lang-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::copy_file(fs::path(KESTRUM_SOURCE_DIR) / "data" / "language.csv", dir / "language.csv",
                fs::copy_options::overwrite_existing);
  fs::current_path(dir);
  // Per language: its column of language.csv (none: the program's own texts).
  struct Case {
    const char* taal;
    int column;
    const char* firstWords;
  } cases[] = {{"", 2, "De aangesloten"}, {"NL", 3, "De aangesloten"}, {"GER", 4, "Der angeschlossene"},
               {"UK", 5, "The connected"},  {"FR", 6, "Le Tolvan"},         {"SPA", 7, "El Tolvan"}};
  std::map<int, std::vector<std::string>> table;
  {
    std::ifstream csv("language.csv");
    std::string line;
    while (std::getline(csv, line)) {
      std::vector<std::string> cols;
      std::stringstream ss(line);
      std::string c;
      while (std::getline(ss, c, ';')) cols.push_back(c);
      if (cols.size() >= 7 && isdigit(static_cast<unsigned char>(cols[0][0]))) table[std::stoi(cols[0])] = cols;
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.taal);
    std::ofstream("language.ini") << "taal=" << c.taal << "\n";
    Language::destroy();
    log.alerts.clear();
    root.informSetBinFile();
    ASSERT_EQ(1u, log.alerts.size());
    auto col = [&](int n) { return table[n][c.column - 1]; };
    std::string want = col(208) + ".\n\n" + col(209) + "\n" + col(210) + "!\n\n" + col(211) + ",\n" + col(212) +
                       ",\n" + col(213) + ".\n\n" + col(405);
    EXPECT_EQ(want, log.alerts[0]);
    EXPECT_EQ(0u, log.alerts[0].find(c.firstWords)) << log.alerts[0];
  }
  Language::destroy();
  fs::current_path(old);
  fs::remove_all(dir);
}
