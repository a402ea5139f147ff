#include "FluTestSupport.h"
#include "TempDir.h"
#include "TestFiles.h"

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

void actOnDialog(void*) {
  Fl_Window* dlg = flutest::findWindow(g_answer.title);
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
    fs::create_directories(_dir / "bins");
    writeFile(_dir / "a.kvn", "x|1\n");
  }

  TempDir _tmp;
  fs::path _dir{_tmp.path()};
};

} // namespace

TEST_F(ChooserTest, TheChoosersReturnWhatWasTakenOrNullWhenCancelled) {
  using Chooser = const char* (*)(const char*, const char*, const char*);
  struct Case {
    const char* what;
    Chooser chooser;
    std::string start;
    std::string typed;     // empty: Cancel
    std::string expected;  // empty: null returned
  } cases[] = {
      // (Names typed, completed and pasted: the key press cases.)
      {"an existing file", flu_file_chooser, _dir.string(), (_dir / "a.kvn").string(), (_dir / "a.kvn").string()},
      {"cancelled with the start file offered", flu_file_chooser, (_dir / "a.kvn").string(), "", ""},
      {"a start directory that does not exist", flu_file_chooser, "/no/such/dir/file.kvn", "", ""},
      {"a directory", flu_dir_chooser, _dir.string(), (_dir / "bins").string(), (_dir / "bins").string()},
      {"a cancelled directory", flu_dir_chooser, _dir.string(), "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_answer = Answer();
    g_answer.title = c.what;
    g_answer.typed = c.typed;
    Fl::add_timeout(0.02, actOnDialog);
    const char* chosen = c.chooser(c.what, c.chooser == flu_dir_chooser ? "*.bin" : "*.kvn", c.start.c_str());
    EXPECT_TRUE(g_answer.seen);
    EXPECT_TRUE(g_answer.modal);
    EXPECT_EQ(c.expected, chosen ? fs::path(chosen).lexically_normal().string() : "");
    if (c.start == (_dir / "a.kvn").string()) {
      EXPECT_NE(std::string::npos, g_answer.shownName.find("a.kvn"));
    }
  }
}
