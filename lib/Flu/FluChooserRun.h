#ifndef FLUCHOOSERRUN_H
#define FLUCHOOSERRUN_H

// Shared by the file and the directory chooser: runs an Fl_File_Chooser of
// the given type modally and returns its answer (null when cancelled).
const char* fluRunChooser(const char* title, const char* pattern, const char* start, int type);

#endif
