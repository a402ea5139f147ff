#include <gtest/gtest.h>

#include <filesystem>

#include "FrmKestrumImpl.h"
#include "TlctrlRoot.h"
#include "kestrum/progctrl/DataTestSupport.h"

namespace {

// The root's own bookkeeping, without entering it (no window, no device).
class TlctrlRootTest : public ::testing::Test {
protected:
  void SetUp() override { FrmKestrumImpl::CMDL_PROGRAM = false; }
  void TearDown() override { FrmKestrumImpl::CMDL_PROGRAM = false; }
  bool errors(std::vector<TlctrlRoot::Error> set) {
    for (int e = 0; e < TlctrlRoot::CTRL_ERR_SIZE; ++e) {
      bool want = false;
      for (TlctrlRoot::Error s : set) want = want || s == e;
      if (root.error(static_cast<TlctrlRoot::Error>(e)) != want) return false;
    }
    return true;
  }
  DialogScript log;
  TlctrlRoot root;
};

}  // namespace

// The status byte's low bits are the device's errors; they are alerted
// once per connection (never in a command-line run), and follow the latest
// byte all the same. 255 means no status: no alert, and no device errors.
TEST_F(TlctrlRootTest, StatusByteErrorsAreAlertedOncePerConnection) {
  root.errorStatusByte(0x05);
  EXPECT_TRUE(errors({TlctrlRoot::CTRL_GENERAL, TlctrlRoot::CTRL_INV_PIN}));
  ASSERT_EQ(1u, log.alerts.size());
  EXPECT_EQ("Attentie!! Volgende Fouten gedetecteerd:\n"
            "1. Tolvan fout, ( Algemeen )\n"
            "3. Tolvan fout, ( Ongeldige PIN )\n",
            log.alerts[0]);
  EXPECT_FALSE(root.showErrorAlert());
  root.errorStatusByte(0x08);
  EXPECT_EQ(1u, log.alerts.size());
  EXPECT_TRUE(errors({TlctrlRoot::CTRL_INV_PIN_USE_PUK}));
  // High bits are no errors.
  root.errorStatusByte(0xF0);
  EXPECT_TRUE(errors({}));
  root.showErrorAlert(true);
  root.setError(TlctrlRoot::CTRL_PROTOCOL_ERROR, true);
  root.errorStatusByte(0x02);
  ASSERT_EQ(2u, log.alerts.size());
  EXPECT_NE(std::string::npos, log.alerts[1].find("2. Tolvan fout, ( SIM niet aanwezig )\n"));
  EXPECT_NE(std::string::npos, log.alerts[1].find("7. Communicatie fout\n"));

  root.errorStatusByte(0x0F);
  root.setError(TlctrlRoot::CTRL_COM_NOT_OPEN, true);
  root.showErrorAlert(true);
  root.errorStatusByte(255);
  EXPECT_EQ(2u, log.alerts.size());
  EXPECT_TRUE(errors({TlctrlRoot::CTRL_PROTOCOL_ERROR, TlctrlRoot::CTRL_COM_NOT_OPEN}));
  EXPECT_TRUE(root.showErrorAlert());
  FrmKestrumImpl::CMDL_PROGRAM = true;
  root.errorStatusByte(0x05);
  EXPECT_EQ(2u, log.alerts.size());
  EXPECT_TRUE(errors({TlctrlRoot::CTRL_PROTOCOL_ERROR, TlctrlRoot::CTRL_COM_NOT_OPEN, TlctrlRoot::CTRL_GENERAL,
                      TlctrlRoot::CTRL_INV_PIN}));
}

TEST_F(TlctrlRootTest, ErrorTextShowsMostUrgentConnectionError) {
  EXPECT_EQ("", root.errorText());
  std::pair<TlctrlRoot::Error, const char*> steps[] = {
      {TlctrlRoot::CTRL_GENERAL, ""},
      {TlctrlRoot::CTRL_PROTOCOL_ERROR, "Communicatie fout"},
      {TlctrlRoot::CTRL_TOLVAN_NOT_CONNECTED, "Tolvan niet aangesloten"},
      {TlctrlRoot::CTRL_COM_NOT_OPEN, "COM poort niet beschikbaar"}};
  for (auto& s : steps) {
    root.setError(s.first, true);
    EXPECT_EQ(s.second, root.errorText());
  }
  root.resetErrors();
  EXPECT_EQ("", root.errorText());
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
  TempDir dir(TempDir::Entered);
  std::filesystem::copy_file(KESTRUM_SOURCE_DIR "/data/language.csv", "language.csv");
  const char* cases[][3] = {
      {"", "De aangesloten Tolvan bevat geen geldige software.\n\nEr moet eerst nieuwe software in de Tolvan",
       "\n\nRevisie pakketten (*.rpa) en bin bestanden zijn bij uw leverancier verkrijgbaar."},
      {"UK", "The connected", "\n\nRevision packs (*.rpa)"}};
  for (auto& c : cases) {
    SCOPED_TRACE(c[0]);
    writeFile("language.ini", std::string("taal=") + c[0] + "\n");
    Language::destroy();
    log.alerts.clear();
    root.informSetBinFile();
    ASSERT_EQ(1u, log.alerts.size());
    EXPECT_EQ(0u, log.alerts[0].find(c[1])) << log.alerts[0];
    EXPECT_NE(std::string::npos, log.alerts[0].find(c[2])) << log.alerts[0];
  }
  Language::destroy();
}
