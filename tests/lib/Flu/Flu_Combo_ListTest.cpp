#include "FluTestSupport.h"

#include "Flu_Combo_List.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Calls {
  int count = 0;
  std::string lastValue;
  int lastLine = 0;
};

void recordCb(Fl_Widget* w, void* data) {
  Flu_Combo_List* combo = static_cast<Flu_Combo_List*>(w);
  Calls* calls = static_cast<Calls*>(data);
  ++calls->count;
  calls->lastValue = combo->value();
  calls->lastLine = combo->list.value();
}

// Keys sent to the drop-down list once it is open.
std::vector<int> g_keys;
void sendKeys(void*) {
  if (!Fl::grab()) {  // list not open yet
    Fl::repeat_timeout(0.02, sendKeys);
    return;
  }
  for (int k : g_keys) flutest::pressKey(k);
}

class ComboListTest : public ::testing::Test {
protected:
  void SetUp() override {
    FLU_NEED_DISPLAY();
    _win = new Fl_Double_Window(300, 100, "combo");
    _combo = new Flu_Combo_List(100, 20, 180, 25, "Port:");
    _win->end();
    _combo->callback(recordCb, &_calls);
    for (const char* t : {"COM1", "COM2", "COM3"}) _combo->list.add(t);
  }
  void TearDown() override { delete _win; }

  void showAndFocus() {
    _win->show();
    Fl::flush();
    Fl::focus(_combo->input());
  }

  Fl_Double_Window* _win = nullptr;
  Flu_Combo_List* _combo = nullptr;
  Calls _calls;
};

} // namespace

TEST_F(ComboListTest, ValueMarksTheLineAndChooseCallsTheCallbackOnce) {
  EXPECT_STREQ("COM3", _combo->list.text(3));
  EXPECT_EQ(nullptr, _combo->list.text(0));
  EXPECT_EQ(nullptr, _combo->list.text(4));
  _combo->value("COM3");
  EXPECT_EQ(3, _combo->list.value());
  _combo->value("COM9");
  EXPECT_STREQ("COM9", _combo->value());
  EXPECT_EQ(0, _combo->list.value());
  _combo->value(nullptr);
  EXPECT_STREQ("", _combo->value());
  EXPECT_EQ(0, _calls.count) << "setting the value is not a user choice";
  // Outside the list nothing changes.
  for (int line : {0, 4}) EXPECT_FALSE(_combo->choose(line));
  EXPECT_FALSE(_combo->choose("COM7"));
  EXPECT_FALSE(_combo->choose(static_cast<const char*>(nullptr)));
  EXPECT_EQ(0, _calls.count);
  EXPECT_TRUE(_combo->choose(2));
  EXPECT_EQ(1, _calls.count);
  EXPECT_EQ("COM2", _calls.lastValue) << "the field holds the text when the callback runs";
  EXPECT_EQ(2, _calls.lastLine);
  EXPECT_TRUE(_combo->choose("COM3"));
  EXPECT_EQ(2, _calls.count);
  EXPECT_STREQ("COM3", _combo->value());
  _combo->list.clear();
  EXPECT_EQ(0, _combo->list.size());
  EXPECT_EQ(0, _combo->list.value());
  EXPECT_STREQ("COM3", _combo->value()) << "clearing the list leaves the field alone";
  showAndFocus();
  _combo->popup();  // an empty list does not open: this returns at once
  EXPECT_EQ(2, _calls.count);
}

TEST_F(ComboListTest, TypingOnlyWhenEditable) {
  _combo->when(FL_WHEN_CHANGED);
  _combo->value("COM1");
  _combo->editable(false);
  EXPECT_FALSE(_combo->editable());
  showAndFocus();
  flutest::pressKey('x', "x");
  EXPECT_STREQ("COM1", _combo->value());
  EXPECT_EQ(0, _calls.count);
  _combo->editable(true);
  _combo->value("");
  flutest::pressKey('C', "C");
  EXPECT_STREQ("C", _combo->value());
  EXPECT_EQ(1, _calls.count);
  EXPECT_EQ(0, _calls.lastLine) << "typed text matches no line yet";
}

TEST_F(ComboListTest, TheOpenListIsChosenFromWithTheKeyboard) {
  struct Case {
    std::vector<int> keys;
    bool click;  // opened by a click on the field, else by popup()
    const char* line3;
    int calls;
    const char* value;
  } cases[] = {
      {{FL_Down, FL_Down, FL_Enter}, false, "COM3", 1, "COM2"},
      {{FL_Down, FL_Escape}, false, "COM3", 0, "COM3"},
      {{FL_Down, FL_Enter}, true, "COM3", 1, "COM1"},
      // Menu characters are no markup here.
      {{FL_Down, FL_Down, FL_Down, FL_Enter}, false, "A&B@x/y", 1, "A&B@x/y"},
  };
  _combo->editable(false);
  showAndFocus();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    _calls = Calls();
    _combo->list.clear();
    for (const char* t : {"COM1", "COM2", c.line3}) _combo->list.add(t);
    _combo->value("COM3");
    g_keys = c.keys;
    Fl::add_timeout(0.02, sendKeys);
    if (c.click) {
      Fl::e_x = _combo->input()->x() + 5;
      Fl::e_y = _combo->input()->y() + 5;
      Fl::e_x_root = _win->x() + Fl::e_x;
      Fl::e_y_root = _win->y() + Fl::e_y;
      Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
      Fl::handle(FL_PUSH, _win);
    } else {
      _combo->popup();
    }
    EXPECT_EQ(c.calls, _calls.count);
    EXPECT_STREQ(c.value, _combo->value());
    if (c.calls) {
      EXPECT_EQ(_combo->list.find(c.value), _combo->list.value());
    }
  }
}

TEST_F(ComboListTest, PartsStayInsideTheBoxAfterResize) {
  _combo->box(FL_PLASTIC_DOWN_BOX);
  _combo->resize(10, 10, 240, 30);
  Fl_Input* in = _combo->input();
  EXPECT_GE(in->x(), _combo->x());
  EXPECT_GE(in->y(), _combo->y());
  EXPECT_LE(in->x() + in->w(), _combo->x() + _combo->w() - 20);
  EXPECT_LE(in->y() + in->h(), _combo->y() + _combo->h());
  EXPECT_EQ(FL_ALIGN_LEFT, _combo->align());
}
