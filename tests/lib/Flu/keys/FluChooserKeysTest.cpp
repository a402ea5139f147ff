// The file chooser driven by real key presses: xdotool sends them through the
// X server, as a person at the keyboard would.
#include "ChildProcess.h"
#include "FluTestSupport.h"
#include "TempDir.h"
#include "TestFiles.h"

#include "flu_dir_chooser.h"
#include "flu_file_chooser.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Runs a tool to its end: its exit code (negative when it did not end).
int runTool(std::vector<std::string> args, std::string* out = nullptr) {
  args[0] = "/usr/bin/" + args[0];
  ChildProcess tool(args);
  int rc = tool.waitExit();
  if (out) *out = tool.out();
  return rc;
}

// One simulated person: what is in the clipboard, then the keys pressed.
struct Keys {
  std::string title;
  std::string clipboard;            // offered to a ctrl+v
  std::vector<std::string> typing;  // xdotool arguments after the window is focused
  bool done = false;
  bool failed = false;
};
Keys g_keys;

void giveUp(void*) {
  // The keys never took the dialog away: close it so the case can fail.
  if (Fl_Window* w = flutest::findWindow(g_keys.title)) {
    g_keys.failed = true;
    w->do_callback();
  }
}

void press(void*) {
  if (!flutest::findWindow(g_keys.title)) {
    Fl::repeat_timeout(0.05, press);
    return;
  }
  Fl::flush();
  // A search can fail while windows of other tests come and go: try again.
  // Should it never succeed, the dialog is closed so that the case fails.
  std::string id;
  for (int i = 0; i < 10 && id.empty(); i++)
    if (runTool({"xdotool", "search", "--sync", "--onlyvisible", "--name", "^" + g_keys.title + "$"}, &id) != 0) id.clear();
  if (id.empty()) return giveUp(nullptr);
  id = id.substr(0, id.find('\n'));
  if (!g_keys.clipboard.empty()) Fl::copy(g_keys.clipboard.c_str(), static_cast<int>(g_keys.clipboard.size()), 1);
  runTool({"xdotool", "windowfocus", "--sync", id});
  for (const std::string& step : g_keys.typing) {
    std::vector<std::string> args = {"xdotool"};
    size_t sp = step.find(' ');
    args.push_back(step.substr(0, sp));
    if (args.back() == "type") args.insert(args.end(), {"--delay", "15"});
    if (sp != std::string::npos) args.push_back(step.substr(sp + 1));
    if (runTool(args) != 0) g_keys.failed = true;
  }
  g_keys.done = true;
  // Only a guard against a dialog that ignores the keys.
  Fl::add_timeout(20.0, giveUp);
}

class ChooserKeysTest : public ::testing::Test {
protected:
  void SetUp() override {
    FLU_NEED_DISPLAY();
    if (runTool({"xdotool", "version"}) != 0) GTEST_SKIP() << "xdotool missing";
    fs::create_directories(_dir / "sub");
    for (const char* f : {"t1.kvn", "alpha.kvn", "other.txt", "sub/deep.kvn"}) writeFile(_dir / f, "x|1\n");
  }
  void TearDown() override {
    Fl::remove_timeout(giveUp);
    Fl::remove_timeout(press);
  }

  // Runs a chooser from start with the keys; the path it returns.
  std::string choose(const std::string& start, const std::string& clipboard, const std::vector<std::string>& typing,
                     bool dir) {
    g_keys.title = std::string("Keys ") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    g_keys.clipboard = clipboard;
    g_keys.typing = typing;
    Fl::add_timeout(0.05, press);
    const char* chosen = (dir ? flu_dir_chooser : flu_file_chooser)(g_keys.title.c_str(), "*.kvn", start.c_str());
    Fl::remove_timeout(giveUp);
    EXPECT_TRUE(g_keys.done);
    EXPECT_FALSE(g_keys.failed);
    return chosen ? chosen : "(cancelled)";
  }

  TempDir _tmp;
  fs::path _dir{_tmp.path()};
};

TEST_F(ChooserKeysTest, TypedPastedOfferedAndCancelled) {
  const std::string t1 = (_dir / "t1.kvn").string(), pasted = (_dir / "sub" / "pasted.kvn").string();
  struct Case {
    const char* what;
    std::string start, clipboard;
    std::vector<std::string> keys;
    std::string expected;  // relative to the test directory; empty: cancelled
    bool dir = false;      // the directory chooser
  } cases[] = {
      {"the offered file taken", t1, "", {"key Return"}, "t1.kvn"},
      {"cancelled", t1, "", {"key Escape"}, ""},
      {"a start directory that does not exist", "/no/such/dir/file.kvn", "", {"key Escape"}, ""},
      {"the offered directory taken", (_dir / "sub").string(), "", {"key Return"}, "sub", true},
      // The offered path is selected: typing replaces it.
      {"a name typed over the offered file", t1, "", {"type t2.kvn", "key Return"}, "t2.kvn"},
      {"a pasted path is taken as it is", t1, pasted, {"key ctrl+v", "key Return"}, "sub/pasted.kvn"},
      {"an absolute path into the emptied field", _dir.string(), "",
       {"key Delete", "type " + (_dir / "sub/abs.kvn").string(), "key Return"}, "sub/abs.kvn"},
      {"a name after the offered directory", _dir.string(), "", {"key End", "type typed.kvn", "key Return"}, "typed.kvn"},
      {"a unique start completed", _dir.string(), "", {"type alp", "key Return"}, "alpha.kvn"},
      {"a completion typed over", _dir.string(), "", {"type alpine.kvn", "key Return"}, "alpine.kvn"},
      {"a start completed into a sub-directory", _dir.string(), "", {"type su", "key End", "type /dee", "key Return"},
       "sub/deep.kvn"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_keys = Keys();
    std::string expected = c.expected.empty() ? "(cancelled)" : (_dir / c.expected).string();
    EXPECT_EQ(expected, choose(c.start, c.clipboard, c.keys, c.dir));
  }
}

}  // namespace
