#ifndef ITERATOR_H
#define ITERATOR_H

// Abstract iterator of the in-house list library.
template <class T> class Iterator {
public:
  virtual ~Iterator() {}
  virtual void first() = 0;
  virtual void next() = 0;
  virtual bool end() const = 0;
  virtual bool currentItem(T* item) const = 0;
  virtual bool changeCurrentItem(T item) = 0;
};

#endif
