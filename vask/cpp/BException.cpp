#include "BException.h"

#include "BDiag.h"

bool BException::_ignoreReset = true;

void BException::exception(ExceptionType, std::string text) { BDiag::print(text, true, true); }
