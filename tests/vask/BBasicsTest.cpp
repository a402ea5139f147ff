// Events, the list template and the diagnostic lines.
#include "SLList.h"
#include "Vask.h"

TEST(BEvent, SignalRangesAreCheckedPerKindOfEvent) {
  struct Case {
    bool local;
    int sig;
    const char* complaint;  // null: accepted quietly
  } cases[] = {
      {true, 150, nullptr}, {true, 201, nullptr}, {true, 100, nullptr},
      {true, 99, "IS_LOCAL_SIGNAL(sig) || IS_SYSTEM_SIGNAL(sig) signal must be in local or system range, sig=99\n"},
      {false, 0, nullptr},  {false, 99, nullptr}, {false, 200, nullptr}, {false, 255, nullptr},
      {false, 100, "IS_EXTERNAL_SIGNAL(sig) || IS_SYSTEM_SIGNAL(sig) Signal must be in external or system range, sig=100\n"},
      {false, 199, "Signal must be in external or system range, sig=199\n"},
  };
  for (const Case& c : cases) {
    DiagCapture cap;
    BEvent* e = c.local ? static_cast<BEvent*>(new BLocalEvent(SignalId(c.sig), true))
                        : static_cast<BEvent*>(new BBindingEvent(SignalId(c.sig), true));
    EXPECT_EQ(e->signalId(), c.sig);
    e->destroy();
    if (c.complaint)
      EXPECT_TRUE(cap.has(c.complaint)) << c.sig << cap.remote;
    else
      EXPECT_EQ(cap.remote, "") << c.sig;
  }
}

TEST(BEvent, LastOwnerDeletesTheEventAndAKeyNeedsABinding) {
  int alive = 0;
  Counted* e = new Counted(60, &alive);
  DiagCapture cap;
  EXPECT_EQ(e->key(), nullptr);
  EXPECT_TRUE(cap.has("Exception: No key available\n"));
  e->copy();
  e->copy();
  EXPECT_EQ(e->refCount(), 3);
  e->destroy();
  e->destroy();
  EXPECT_EQ(alive, 1);
  e->destroy();
  EXPECT_EQ(alive, 0);
}

static std::vector<int> items(SLList<int>& l) {
  std::vector<int> v;
  Iterator<int>* it = l.createIterator();
  for (it->first(); !it->end(); it->next()) {
    int x;
    it->currentItem(&x);
    v.push_back(x);
  }
  delete it;
  return v;
}

TEST(SLList, ListOperations) {
  SLList<int> a, b, empty;
  EXPECT_FALSE(a.removeLast());
  for (int i : {3, 4, 5, 6}) a.append(i);
  b.append(1);
  b.append(2);
  a.prepend(b);
  a.prepend(empty);
  EXPECT_TRUE(b.isEmpty());
  EXPECT_EQ(items(a), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_TRUE(a.remove(5));
  EXPECT_FALSE(a.remove(7));
  EXPECT_TRUE(a.removeLast());
  int x = 0;
  EXPECT_TRUE(a.popFront(&x));
  EXPECT_EQ(x, 1);
  EXPECT_EQ(a.count(), 3);
  SLListIterator<int> it(&a);
  it.first();
  it.next();
  EXPECT_TRUE(it.changeCurrentItem(9));
  it.next();
  it.next();
  EXPECT_TRUE(it.end());
  EXPECT_FALSE(it.changeCurrentItem(5));
  EXPECT_FALSE(it.currentItem(&x));
  EXPECT_EQ(items(a), (std::vector<int>{2, 9, 4}));
}

TEST(SLList, UnprovidedOperationsReportAsTheCallersAssertionAndDoNothing) {
  DiagCapture cap;
  SLList<int> l, other;
  l.append(1);
  other.append(2);
  int x = 0;
  EXPECT_FALSE(l.removeFirst());
  EXPECT_FALSE(l.popEnd(&x));
  l.append(other);
  EXPECT_EQ(l.count(), 1);
  EXPECT_EQ(other.count(), 1);
  EXPECT_TRUE(cap.has("lib/LList/hdr/SLList "));
  EXPECT_TRUE(cap.has("\nAssertion failed: 0 not implemented yet\n"));
}

TEST(BDiag, AssertionLineNamesModuleLineConditionAndMessage) {
  DiagCapture cap;
  int line = __LINE__ + 1;
  B_ASSERT(1 == 2, "sig=" << 7);
  EXPECT_EQ(cap.remote, "tests/vask/BBasicsTest " + std::to_string(line) + "\nAssertion failed: 1 == 2 sig=7\n");
  EXPECT_EQ(cap.log, "");
  cap.clear();
  B_FATAL_EXCEPTION("Shadow transition already set");
  EXPECT_NE(cap.remote.find("BBasicsTest "), std::string::npos);
  EXPECT_NE(cap.remote.find("\nFatal Exception: Shadow transition already set\n"), std::string::npos);
  EXPECT_EQ(cap.remote, cap.log);
  std::string ts = BDiag::timeStamp();
  ASSERT_EQ(ts.size(), 19u);
  EXPECT_EQ(ts.substr(4, 1) + ts.substr(7, 1) + ts.substr(10, 1) + ts.substr(13, 1), "///:");
  EXPECT_EQ(cap.remote[19], ' ');  // after the time stamp
}
