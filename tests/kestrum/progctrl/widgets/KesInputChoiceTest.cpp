#include "KesInputChoice.h"

#include "lib/Flu/FluTestSupport.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include <string>

namespace {

int g_calls = 0;
std::string g_seen;
void countCb(Fl_Widget* w, void*) {
  ++g_calls;
  g_seen = static_cast<KesInputChoice*>(w)->value();
}

int g_itemCalls = 0;
void itemCb(Fl_Widget*, void*) { ++g_itemCalls; }

class KesInputChoiceTest : public ::testing::Test {
protected:
  void SetUp() override {
    FLU_NEED_DISPLAY();
    g_calls = 0;
    g_itemCalls = 0;
    g_seen.clear();
    _win = new Fl_Double_Window(300, 80, "choice");
    _choice = new KesInputChoice(140, 10, 150, 25, "Com Poort:");
    _win->end();
  }
  void TearDown() override { delete _win; }

  void pick(int i) {
    Fl_Menu_Button* m = _choice->menubutton();
    m->picked(m->menu() + i);
  }

  Fl_Double_Window* _win = nullptr;
  KesInputChoice* _choice = nullptr;
};

} // namespace

TEST_F(KesInputChoiceTest, ItemsAreChosenByValueOrFromTheMenu) {
  EXPECT_FALSE(_choice->input()->active()) << "the field cannot be typed into";
  EXPECT_TRUE(_choice->menubutton()->active());
  // Slashes and underscores are no menu markup here.
  for (const char* t : {"/dev/ttyUSB0", "_a\\b", "Uit"}) _choice->add(t);
  ASSERT_EQ(3, _choice->size());
  _choice->value(1);
  EXPECT_STREQ("_a\\b", _choice->value());
  EXPECT_EQ(1, _choice->menuValue());
  _choice->value(7);
  EXPECT_STREQ("", _choice->value());
  EXPECT_EQ(-1, _choice->menuValue());
  _choice->value(-1);
  EXPECT_EQ(-1, _choice->menuValue());
  pick(0);  // without a callback the text is only copied
  EXPECT_STREQ("/dev/ttyUSB0", _choice->value());
  _choice->callback(countCb);
  pick(2);
  EXPECT_STREQ("Uit", _choice->value());
  EXPECT_EQ(1, g_calls);
  EXPECT_EQ("Uit", g_seen);
  EXPECT_EQ(2, _choice->menuValue());
  _choice->clear();
  EXPECT_EQ(0, _choice->size());
  EXPECT_STREQ("", _choice->value());
  // An item with a callback of its own runs only that.
  _choice->add("special", 0, itemCb, nullptr, 0);
  pick(0);
  EXPECT_EQ(1, g_itemCalls);
  EXPECT_EQ(1, g_calls);
}

TEST_F(KesInputChoiceTest, TextsizeAndDownBoxReachTheParts) {
  _choice->textsize(12);
  _choice->down_box(FL_PLASTIC_DOWN_BOX);
  EXPECT_EQ(12, _choice->input()->textsize());
  EXPECT_EQ(12, _choice->menubutton()->textsize());
  EXPECT_EQ(FL_PLASTIC_DOWN_BOX, _choice->menubutton()->down_box());
  EXPECT_EQ(FL_ALIGN_LEFT, _choice->align());
}
