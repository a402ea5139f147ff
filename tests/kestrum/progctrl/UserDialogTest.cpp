#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DataTestSupport.h"
#include "UserDialog.h"

namespace {

TEST(UserDialog, ScriptReplacesToolkitDialogsUntilRemoved) {
  {
    DialogScript script;
    script.answers = {2};
    UserDialog::alert("Let op");
    UserDialog::alert(nullptr);
    EXPECT_EQ(UserDialog::choice("Kies", "Nee", "Ja", "Misschien"), 2);
    UserDialog::beep();
    EXPECT_EQ(script.alerts, (std::vector<std::string>{"Let op", ""}));
    EXPECT_EQ(script.questions, (std::vector<std::string>{"Kies"}));
    EXPECT_EQ(script.beeps, 1);
    EXPECT_EQ(UserDialog::script(), &script);
  }
  EXPECT_EQ(UserDialog::script(), nullptr);
}

}  // namespace
