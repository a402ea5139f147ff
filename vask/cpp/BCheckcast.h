#ifndef BCHECKCAST_H
#define BCHECKCAST_H

#include "BDiag.h"

// The checked downcast every handler applies to a received event: a failed
// cast (null) is reported with the caller's source position.
template <class T>
T* checkcast(T* ptr, const char* file, int line, const char* typeName, const char* varName) {
  if (!ptr) BDiag::downcastFailed(file, line, typeName, varName);
  return ptr;
}

#define CHECKCAST(T, e) \
  checkcast<T>(dynamic_cast<T*>(e), __FILE__, __LINE__, #T, #e)
#define CHECKCAST_CONST(T, e) \
  checkcast<const T>(dynamic_cast<const T*>(e), __FILE__, __LINE__, #T, #e)

#endif
