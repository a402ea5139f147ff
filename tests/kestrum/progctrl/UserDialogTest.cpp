#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <FL/Fl.H>

#include "DataTestSupport.h"
#include "DiagCapture.h"
#include "Main.h"
#include "UserDialog.h"

namespace {

// The alert goes to the trace (and standard error) on one line.
TEST(UserDialog, UnattendedRunShowsNothingAndAnswersNoQuestion) {
  DiagCapture diag;
  UserDialog::unattended(true);
  UserDialog::alert("Let op\nregel twee");
  int answer = UserDialog::choice("Doorgaan?", "Ja", "Nee", nullptr);
  UserDialog::unattended(false);
  EXPECT_EQ(UserDialog::NO_ANSWER, answer);
  EXPECT_EQ(nullptr, Fl::first_window());
  EXPECT_TRUE(diag.has("Alert: Let op regel twee\n")) << diag.remote;
  EXPECT_TRUE(diag.has("Doorgaan?")) << diag.remote;
}

// The program ends instead of waiting for a person.
TEST(UserDialog, StopSignalClosesAnOpenQuestion) {
  const char* d = getenv("DISPLAY");
  if (!d || !*d) GTEST_SKIP() << "needs an X display";
  UserDialog::closeModalOnStop();
  Fl::add_timeout(0.2, [](void*) { Main::_stopSignal = 1; });
  int answer = UserDialog::choice("Doorgaan?", "Ja", "Nee", nullptr);
  Main::_stopSignal = 0;
  EXPECT_EQ(UserDialog::NO_ANSWER, answer);
  EXPECT_EQ(nullptr, Fl::modal());
}

}  // namespace
