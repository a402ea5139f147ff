#include <gtest/gtest.h>

#include "DiagCapture.h"
#include "SLList.h"

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

TEST(SLList, PrependOtherListPutsItsItemsFirstAndEmptiesIt) {
  SLList<int> a, b;
  a.append(3);
  a.append(4);
  b.append(1);
  b.append(2);
  a.prepend(b);
  EXPECT_EQ(items(a), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_TRUE(b.isEmpty());
  SLList<int> empty;
  a.prepend(empty);
  EXPECT_EQ(a.count(), 4);
}

TEST(SLList, RemoveLastPopFrontAndRemoveByValue) {
  SLList<int> l;
  EXPECT_FALSE(l.removeLast());
  for (int i = 1; i <= 4; ++i) l.append(i);
  EXPECT_TRUE(l.remove(3));
  EXPECT_FALSE(l.remove(7));
  EXPECT_TRUE(l.removeLast());
  int x = 0;
  EXPECT_TRUE(l.popFront(&x));
  EXPECT_EQ(x, 1);
  EXPECT_EQ(items(l), std::vector<int>{2});
}

TEST(SLList, IteratorChangesItemInPlaceButNotPastTheEnd) {
  SLList<int> l;
  l.append(1);
  l.append(2);
  SLListIterator<int> it(&l);
  it.first();
  it.next();
  EXPECT_TRUE(it.changeCurrentItem(9));
  it.next();
  EXPECT_TRUE(it.end());
  EXPECT_FALSE(it.changeCurrentItem(5));
  int x = 0;
  EXPECT_FALSE(it.currentItem(&x));
  EXPECT_EQ(items(l), (std::vector<int>{1, 9}));
}

TEST(SLList, UnprovidedOperationsReportAndDoNothing) {
  DiagCapture cap;
  SLList<int> l;
  l.append(1);
  int x = 0;
  EXPECT_FALSE(l.removeFirst());
  EXPECT_FALSE(l.popEnd(&x));
  EXPECT_TRUE(cap.has("Assertion failed: 0 not implemented yet"));
  EXPECT_EQ(l.count(), 1);
}
