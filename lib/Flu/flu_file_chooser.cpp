#include "flu_file_chooser.h"

#include "FluChooserRun.h"

#include <FL/Fl_File_Chooser.H>

// CREATE: the same dialog serves "open" and "save as", where the name may be new.
const char* flu_file_chooser(const char* title, const char* pattern, const char* start) {
  return fluRunChooser(title, pattern, start, Fl_File_Chooser::CREATE);
}
