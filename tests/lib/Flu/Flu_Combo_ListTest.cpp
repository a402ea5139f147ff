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

class ComboListTest : public ::testing::Test {
protected:
  void SetUp() override {
    FLU_NEED_DISPLAY();
    _win = new Fl_Double_Window(300, 100, "combo");
    _combo = new Flu_Combo_List(100, 20, 180, 25, "Port:");
    _win->end();
    _combo->callback(recordCb, &_calls);
    _combo->list.add("COM1");
    _combo->list.add("COM2");
    _combo->list.add("COM3");
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

// Keys sent to the drop-down list once it is open.
std::vector<int> g_keys;
void sendKeys(void*) {
  if (!Fl::grab()) {  // list not open yet
    Fl::repeat_timeout(0.02, sendKeys);
    return;
  }
  for (int k : g_keys) flutest::pressKey(k);
}

} // namespace

TEST_F(ComboListTest, ListKeepsLinesInOrderAndClears) {
  ASSERT_EQ(3, _combo->list.size());
  EXPECT_STREQ("COM1", _combo->list.text(1));
  EXPECT_STREQ("COM3", _combo->list.text(3));
  EXPECT_EQ(nullptr, _combo->list.text(0));
  EXPECT_EQ(nullptr, _combo->list.text(4));
  _combo->value("COM2");
  _combo->list.clear();
  EXPECT_EQ(0, _combo->list.size());
  EXPECT_EQ(0, _combo->list.value());
  EXPECT_STREQ("COM2", _combo->value()) << "clearing the list leaves the field alone";
}

TEST_F(ComboListTest, ValueShowsTextAndMarksMatchingLine) {
  _combo->value("COM3");
  EXPECT_STREQ("COM3", _combo->value());
  EXPECT_EQ(3, _combo->list.value());
  _combo->value("COM9");
  EXPECT_STREQ("COM9", _combo->value());
  EXPECT_EQ(0, _combo->list.value());
  _combo->value(nullptr);
  EXPECT_STREQ("", _combo->value());
  EXPECT_EQ(0, _calls.count) << "setting the value is not a user choice";
}

TEST_F(ComboListTest, ChooseShowsLineAndCallsCallbackOnce) {
  EXPECT_TRUE(_combo->choose(2));
  EXPECT_EQ(1, _calls.count);
  EXPECT_EQ("COM2", _calls.lastValue) << "the field holds the text when the callback runs";
  EXPECT_EQ(2, _calls.lastLine);
  EXPECT_TRUE(_combo->choose("COM3"));
  EXPECT_EQ(2, _calls.count);
  EXPECT_STREQ("COM3", _combo->value());
}

TEST_F(ComboListTest, ChoosingOutsideTheListChangesNothing) {
  _combo->value("COM1");
  EXPECT_FALSE(_combo->choose(0));
  EXPECT_FALSE(_combo->choose(4));
  EXPECT_FALSE(_combo->choose("COM7"));
  EXPECT_FALSE(_combo->choose(static_cast<const char*>(nullptr)));
  EXPECT_EQ(0, _calls.count);
  EXPECT_STREQ("COM1", _combo->value());
}

TEST_F(ComboListTest, NotEditableRejectsTyping) {
  _combo->editable(false);
  EXPECT_FALSE(_combo->editable());
  _combo->value("COM1");
  showAndFocus();
  flutest::pressKey('x', "x");
  EXPECT_STREQ("COM1", _combo->value());
  EXPECT_EQ(0, _calls.count);
}

TEST_F(ComboListTest, EditableAcceptsTypingAndReportsChangesWhenAsked) {
  _combo->when(FL_WHEN_CHANGED);
  showAndFocus();
  flutest::pressKey('C', "C");
  EXPECT_STREQ("C", _combo->value());
  EXPECT_EQ(1, _calls.count);
  EXPECT_EQ(0, _calls.lastLine) << "typed text matches no line yet";
}

TEST_F(ComboListTest, KeyboardChoiceFromOpenListCallsCallback) {
  _combo->editable(false);
  showAndFocus();
  g_keys = {FL_Down, FL_Down, FL_Enter};
  Fl::add_timeout(0.02, sendKeys);
  _combo->popup();
  EXPECT_EQ(1, _calls.count);
  EXPECT_STREQ("COM2", _combo->value());
  EXPECT_EQ(2, _combo->list.value());
}

TEST_F(ComboListTest, EscapeClosesListWithoutChoice) {
  _combo->value("COM3");
  showAndFocus();
  g_keys = {FL_Down, FL_Escape};
  Fl::add_timeout(0.02, sendKeys);
  _combo->popup();
  EXPECT_EQ(0, _calls.count);
  EXPECT_STREQ("COM3", _combo->value());
}

TEST_F(ComboListTest, ClickOnNotEditableFieldOpensList) {
  _combo->editable(false);
  showAndFocus();
  g_keys = {FL_Down, FL_Enter};
  Fl::add_timeout(0.02, sendKeys);
  Fl::e_x = _combo->input()->x() + 5;
  Fl::e_y = _combo->input()->y() + 5;
  Fl::e_x_root = _win->x() + Fl::e_x;
  Fl::e_y_root = _win->y() + Fl::e_y;
  Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
  Fl::handle(FL_PUSH, _win);
  EXPECT_EQ(1, _calls.count);
  EXPECT_STREQ("COM1", _combo->value());
}

TEST_F(ComboListTest, EmptyListDoesNotOpen) {
  _combo->list.clear();
  showAndFocus();
  _combo->popup();  // must return at once
  EXPECT_EQ(0, _calls.count);
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

TEST_F(ComboListTest, TextsWithMenuCharactersAreChosenVerbatim) {
  _combo->list.clear();
  _combo->list.add("A&B@x/y");
  showAndFocus();
  g_keys = {FL_Down, FL_Enter};
  Fl::add_timeout(0.02, sendKeys);
  _combo->popup();
  EXPECT_STREQ("A&B@x/y", _combo->value());
}
