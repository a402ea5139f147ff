#ifndef SLLIST_H
#define SLLIST_H

#include "LListReport.h"
#include "List.h"
#include "SLListItem.h"

template <class T> class SLListIterator;

// Singly linked list used for states, events and bindings. Items are not
// owned: removing a node never touches the item.
template <class T> class SLList : public List<T> {
  template <class U> friend class SLListIterator;

public:
  SLList() : _listHead(nullptr) {}
  ~SLList() override { cleanup(); }
  SLList(const SLList&) = delete;
  SLList& operator=(const SLList&) = delete;

  void prepend(T item) override {
    SLListItem<T>* node = new SLListItem<T>(item);
    node->_next = _listHead;
    _listHead = node;
  }

  void append(T item) override {
    SLListItem<T>* node = new SLListItem<T>(item);
    if (!_listHead) {
      _listHead = node;
      return;
    }
    SLListItem<T>* last = _listHead;
    while (last->_next) last = last->_next;
    last->_next = node;
  }

  bool remove(T item) override {
    SLListItem<T>** link = &_listHead;
    while (*link) {
      if ((*link)->_item == item) {
        SLListItem<T>* gone = *link;
        *link = gone->_next;
        delete gone;
        return true;
      }
      link = &(*link)->_next;
    }
    return false;
  }

  bool removeLast() override {
    if (!_listHead) return false;
    SLListItem<T>** link = &_listHead;
    while ((*link)->_next) link = &(*link)->_next;
    delete *link;
    *link = nullptr;
    return true;
  }

  bool removeFirst() override {
    llistReport(__FILE__, __LINE__, "not implemented yet");
    return false;
  }

  bool popFront(T* item) override {
    if (!_listHead) return false;
    SLListItem<T>* head = _listHead;
    _listHead = head->_next;
    if (item) *item = head->_item;
    delete head;
    return true;
  }

  bool popEnd(T*) override {
    llistReport(__FILE__, __LINE__, "not implemented yet");
    return false;
  }

  void cleanup() override {
    while (_listHead) {
      SLListItem<T>* next = _listHead->_next;
      delete _listHead;
      _listHead = next;
    }
  }

  uint16_t count() const override {
    uint16_t n = 0;
    for (SLListItem<T>* p = _listHead; p; p = p->_next) ++n;
    return n;
  }

  bool isEmpty() const override { return _listHead == nullptr; }

  Iterator<T>* createIterator() override;

  // Moves all nodes of other, in their order, in front of this list's nodes.
  virtual void prepend(SLList<T>& other) {
    if (!other._listHead) return;
    SLListItem<T>* last = other._listHead;
    while (last->_next) last = last->_next;
    last->_next = _listHead;
    _listHead = other._listHead;
    other._listHead = nullptr;
  }

  virtual void append(SLList<T>&) { llistReport(__FILE__, __LINE__, "not implemented yet"); }

protected:
  SLListItem<T>* _listHead;
};

#include "SLListIterator.h"

template <class T> Iterator<T>* SLList<T>::createIterator() { return new SLListIterator<T>(this); }

#endif
