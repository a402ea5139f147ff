#include "FluTestSupport.h"

#include "flu_dir_chooser.h"
#include "flu_file_chooser.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_ask.H>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// What the simulated user does in the open dialog.
struct Answer {
  std::string title;   // dialog to act on
  std::string typed;   // text typed into the name field; empty: press Cancel
  bool seen = false;
  bool modal = false;     // the dialog held the toolkit's modal grab
  std::string shownName;  // the name field when the dialog was found
};
Answer g_answer;

Fl_Window* findDialog(const std::string& title) {
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
    if (w->label() && title == w->label()) return w;
  }
  return nullptr;
}

void actOnDialog(void*) {
  Fl_Window* dlg = findDialog(g_answer.title);
  if (!dlg) {
    Fl::repeat_timeout(0.02, actOnDialog);
    return;
  }
  g_answer.seen = true;
  g_answer.modal = (Fl::modal() == dlg);
  Fl_File_Input* name = static_cast<Fl_File_Input*>(flutest::findWidget(
      dlg, [](Fl_Widget* w) { return dynamic_cast<Fl_File_Input*>(w) != nullptr; }));
  if (name && name->value()) g_answer.shownName = name->value();
  if (g_answer.typed.empty()) {
    Fl_Widget* cancel = flutest::findWidget(dlg, [](Fl_Widget* w) {
      return w->label() && std::string(w->label()) == fl_cancel;
    });
    if (cancel) cancel->do_callback();
    else dlg->hide();
    return;
  }
  Fl_Widget* ok = flutest::findWidget(
      dlg, [](Fl_Widget* w) { return dynamic_cast<Fl_Return_Button*>(w) != nullptr; });
  ASSERT_NE(nullptr, name);
  ASSERT_NE(nullptr, ok);
  name->value(g_answer.typed.c_str());
  ok->do_callback();
}

class ChooserTest : public ::testing::Test {
protected:
  void SetUp() override {
    FLU_NEED_DISPLAY();
    // Each case runs as its own process in the same directory, in parallel.
    _dir = fs::absolute(std::string("chooser_") +
                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(_dir);
    fs::create_directories(_dir / "bins");
    std::ofstream(_dir / "a.kvn") << "x|1\n";
    g_answer = Answer();
  }
  void TearDown() override { fs::remove_all(_dir); }

  fs::path _dir;
};

} // namespace

TEST_F(ChooserTest, FileChooserReturnsTheChosenPath) {
  g_answer.title = "Selecteer Bestand";
  g_answer.typed = (_dir / "a.kvn").string();
  Fl::add_timeout(0.02, actOnDialog);
  const char* chosen = flu_file_chooser("Selecteer Bestand", "*.kvn", _dir.string().c_str());
  EXPECT_TRUE(g_answer.seen);
  ASSERT_NE(nullptr, chosen);
  EXPECT_EQ(fs::canonical(_dir / "a.kvn"), fs::canonical(chosen));
}

TEST_F(ChooserTest, FileChooserAcceptsANewNameForSaving) {
  g_answer.title = "Opslaan";
  g_answer.typed = (_dir / "new.kvn").string();
  Fl::add_timeout(0.02, actOnDialog);
  const char* chosen = flu_file_chooser("Opslaan", "*.kvn", (_dir / "a.kvn").string().c_str());
  ASSERT_NE(nullptr, chosen);
  EXPECT_EQ((_dir / "new.kvn").string(), fs::path(chosen).lexically_normal().string());
}

TEST_F(ChooserTest, FileChooserOffersTheStartFile) {
  g_answer.title = "Start";
  Fl::add_timeout(0.02, actOnDialog);
  EXPECT_EQ(nullptr, flu_file_chooser("Start", "*.kvn", (_dir / "a.kvn").string().c_str()));
  EXPECT_NE(std::string::npos, g_answer.shownName.find("a.kvn"));
}

TEST_F(ChooserTest, CancelledFileChooserReturnsNull) {
  g_answer.title = "Cancel me";
  Fl::add_timeout(0.02, actOnDialog);
  EXPECT_EQ(nullptr, flu_file_chooser("Cancel me", "*.kvn", _dir.string().c_str()));
  EXPECT_TRUE(g_answer.seen);
  EXPECT_TRUE(g_answer.modal);
}

TEST_F(ChooserTest, MissingStartDirectoryStillOpensTheDialog) {
  g_answer.title = "Nowhere";
  Fl::add_timeout(0.02, actOnDialog);
  EXPECT_EQ(nullptr, flu_file_chooser("Nowhere", nullptr, "/no/such/dir/file.kvn"));
  EXPECT_TRUE(g_answer.seen);
}

TEST_F(ChooserTest, DirChooserReturnsTheChosenDirectory) {
  g_answer.title = "Select a dir";
  g_answer.typed = (_dir / "bins").string();
  Fl::add_timeout(0.02, actOnDialog);
  const char* chosen = flu_dir_chooser("Select a dir", "*.bin", _dir.string().c_str());
  ASSERT_NE(nullptr, chosen);
  EXPECT_EQ(fs::canonical(_dir / "bins"), fs::canonical(chosen));
}

TEST_F(ChooserTest, CancelledDirChooserReturnsNull) {
  g_answer.title = "Select a dir";
  Fl::add_timeout(0.02, actOnDialog);
  EXPECT_EQ(nullptr, flu_dir_chooser("Select a dir", "*.bin", _dir.string().c_str()));
  EXPECT_TRUE(g_answer.modal);
}
