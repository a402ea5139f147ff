#include "flu_dir_chooser.h"

#include "FluChooserRun.h"

#include <FL/Fl_File_Chooser.H>

const char* flu_dir_chooser(const char* title, const char* pattern, const char* start) {
  return fluRunChooser(title, pattern, start, Fl_File_Chooser::DIRECTORY);
}
