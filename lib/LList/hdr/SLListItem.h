#ifndef SLLISTITEM_H
#define SLLISTITEM_H

// One node of a singly linked list.
template <class T> class SLListItem {
public:
  explicit SLListItem(T item) : _next(nullptr), _item(item) {}
  SLListItem<T>* _next;
  T _item;
};

#endif
