#ifndef LIST_H
#define LIST_H

#include <cstdint>

template <class T> class Iterator;

// Abstract list interface of the in-house list library.
template <class T> class List {
public:
  virtual ~List() {}
  virtual void prepend(T item) = 0;
  virtual void append(T item) = 0;
  virtual bool remove(T item) = 0;
  virtual bool removeLast() = 0;
  virtual bool removeFirst() = 0;
  virtual bool popFront(T* item) = 0;
  virtual bool popEnd(T* item) = 0;
  virtual void cleanup() = 0;
  virtual uint16_t count() const = 0;
  virtual bool isEmpty() const = 0;
  virtual Iterator<T>* createIterator() = 0;
};

#endif
