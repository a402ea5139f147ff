#include <gtest/gtest.h>

#include "BBindingEvent.h"
#include "BLocalEvent.h"
#include "DiagCapture.h"

TEST(BEvent, LocalEventOutsideLocalRangeIsReportedButMade) {
  DiagCapture cap;
  BLocalEvent* e = new BLocalEvent(50, true);
  EXPECT_EQ(e->signalId(), 50);
  EXPECT_TRUE(cap.has("Assertion failed: IS_LOCAL_SIGNAL(sig) || IS_SYSTEM_SIGNAL(sig) "
                      "signal must be in local or system range, sig=50\n"));
  e->destroy();
  cap.clear();
  (new BLocalEvent(150, false))->destroy();
  (new BLocalEvent(201, false))->destroy();
  EXPECT_EQ(cap.remote, "");
}

TEST(BEvent, BindingEventRejectsOnlyTheLocalRange) {
  DiagCapture cap;
  for (int sig : {0, 99, 200, 255}) (new BBindingEvent(static_cast<SignalId>(sig), true))->destroy();
  EXPECT_EQ(cap.remote, "");
  (new BBindingEvent(150, true))->destroy();
  EXPECT_TRUE(cap.has("Assertion failed: IS_EXTERNAL_SIGNAL(sig) || IS_SYSTEM_SIGNAL(sig) "
                      "Signal must be in external or system range, sig=150\n"));
}

namespace {
struct Counted : BLocalEvent {
  explicit Counted(int* alive) : BLocalEvent(120, false), _alive(alive) { ++*_alive; }
  ~Counted() override { --*_alive; }
  int* _alive;
};
}  // namespace

TEST(BEvent, LastOwnerDeletesTheEvent) {
  int alive = 0;
  Counted* e = new Counted(&alive);
  e->copy();
  e->copy();
  EXPECT_EQ(e->refCount(), 3);
  e->destroy();
  e->destroy();
  EXPECT_EQ(alive, 1);
  e->destroy();
  EXPECT_EQ(alive, 0);
}

TEST(BEvent, KeyWithoutBindingIsAnException) {
  DiagCapture cap;
  BBindingEvent* e = new BBindingEvent(60, true);
  EXPECT_EQ(e->key(), nullptr);
  EXPECT_TRUE(cap.has("Exception: No key available\n"));
  e->destroy();
}
