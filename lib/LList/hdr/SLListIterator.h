#ifndef SLLISTITERATOR_H
#define SLLISTITERATOR_H

#include "Iterator.h"

template <class T> class SLList;
template <class T> class SLListItem;

// Iterator over an SLList; changeCurrentItem swaps the item of the current
// node in place (a composite state swaps the state of one region this way).
template <class T> class SLListIterator : public Iterator<T> {
public:
  explicit SLListIterator(SLList<T>* list) : _list(list), _current(list ? list->_listHead : nullptr) {}
  void first() override { _current = _list ? _list->_listHead : nullptr; }
  void next() override {
    if (_current) _current = _current->_next;
  }
  bool end() const override { return _current == nullptr; }
  bool currentItem(T* item) const override {
    if (!_current) return false;
    if (item) *item = _current->_item;
    return true;
  }
  bool changeCurrentItem(T item) override {
    if (!_current) return false;
    _current->_item = item;
    return true;
  }

private:
  SLList<T>* _list;
  SLListItem<T>* _current;
};

#endif
