#include "KesInputChoice.h"

#include "lib/Flu/FluTestSupport.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include <cstdlib>
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

  // Chooses item i from the menu as the user would.
  void pick(int i) {
    Fl_Menu_Button* m = _choice->menubutton();
    m->picked(m->menu() + i);
  }

  Fl_Double_Window* _win = nullptr;
  KesInputChoice* _choice = nullptr;
};

} // namespace

TEST_F(KesInputChoiceTest, FieldCannotBeTypedInto) {
  EXPECT_FALSE(_choice->input()->active());
  EXPECT_TRUE(_choice->menubutton()->active());
  EXPECT_EQ(FL_ALIGN_LEFT, _choice->align());
}

TEST_F(KesInputChoiceTest, ValueSelectsItemAndShowsItsText) {
  _choice->add("COM1");
  _choice->add("COM3");
  _choice->value(1);
  EXPECT_STREQ("COM3", _choice->value());
  EXPECT_EQ(1, _choice->menuValue());
  _choice->value(7);
  EXPECT_STREQ("", _choice->value());
  EXPECT_EQ(-1, _choice->menuValue());
  _choice->value(-1);
  EXPECT_EQ(-1, _choice->menuValue());
}

TEST_F(KesInputChoiceTest, ChoosingPlainItemCopiesTextAndCallsCallback) {
  _choice->add("Aan");
  _choice->add("Uit");
  _choice->callback(countCb);
  pick(1);
  EXPECT_STREQ("Uit", _choice->value());
  EXPECT_EQ(1, g_calls);
  EXPECT_EQ("Uit", g_seen);
  EXPECT_EQ(1, _choice->menuValue());
}

TEST_F(KesInputChoiceTest, ChoosingWithoutCallbackOnlyCopiesText) {
  _choice->add("COM1");
  pick(0);
  EXPECT_STREQ("COM1", _choice->value());
}

TEST_F(KesInputChoiceTest, ItemWithOwnCallbackRunsOnlyThat) {
  _choice->add("special", 0, itemCb, nullptr, 0);
  _choice->callback(countCb);
  pick(0);
  EXPECT_EQ(1, g_itemCalls);
  EXPECT_EQ(0, g_calls);
}

TEST_F(KesInputChoiceTest, SlashesAndUnderscoresStayInTheItemText) {
  _choice->add("/dev/ttyUSB0");
  _choice->add("_a\\b");
  ASSERT_EQ(2, _choice->size());
  _choice->value(0);
  EXPECT_STREQ("/dev/ttyUSB0", _choice->value());
  _choice->value(1);
  EXPECT_STREQ("_a\\b", _choice->value());
}

TEST_F(KesInputChoiceTest, ClearEmptiesMenuAndField) {
  _choice->add("COM1");
  _choice->value(0);
  _choice->clear();
  EXPECT_EQ(0, _choice->size());
  EXPECT_STREQ("", _choice->value());
}

TEST_F(KesInputChoiceTest, ResizeKeepsButtonAtRightInsideBox) {
  _choice->resize(20, 30, 200, 30);
  Fl_Widget* in = _choice->input();
  Fl_Widget* mb = _choice->menubutton();
  int dx = Fl::box_dx(_choice->box());
  EXPECT_EQ(20, mb->w());
  EXPECT_EQ(20 + 200 - dx, mb->x() + mb->w());
  EXPECT_EQ(in->x() + in->w(), mb->x()) << "field ends where the button begins";
  EXPECT_GE(mb->y(), 30 + Fl::box_dy(_choice->box()));
  EXPECT_LE(mb->y() + mb->h(), 30 + 30 - Fl::box_dy(_choice->box()));
}

TEST_F(KesInputChoiceTest, TextsizeAndDownBoxReachTheParts) {
  _choice->textsize(12);
  _choice->down_box(FL_PLASTIC_DOWN_BOX);
  EXPECT_EQ(12, _choice->input()->textsize());
  EXPECT_EQ(12, _choice->menubutton()->textsize());
  EXPECT_EQ(FL_PLASTIC_DOWN_BOX, _choice->menubutton()->down_box());
}

TEST_F(KesInputChoiceTest, DrawsWithASchemeAfterBoxChange) {
  Fl::scheme("plastic");
  _choice->box(FL_PLASTIC_DOWN_BOX);
  _choice->add("COM1");
  _choice->value(0);
  _win->show();
  for (int i = 0; i < 100 && (!_win->visible() || _win->damage()); ++i) Fl::wait(0.01);
  Fl_Widget* mb = _choice->menubutton();
  EXPECT_EQ(_choice->y() + Fl::box_dy(FL_PLASTIC_DOWN_BOX) + 1, mb->y());
  Fl::scheme("none");
}
