#ifndef FLU_FILE_CHOOSER_H
#define FLU_FILE_CHOOSER_H

// Asks the user for one file in a modal dialog.
// title: window title; pattern: shown files, such as "*.kvn" (null or empty:
// all files); start: file or directory to begin in (null or empty: the working
// directory). Returns the chosen path, or null when the user cancelled. The
// text stays valid until the next call of a chooser.
const char* flu_file_chooser(const char* title, const char* pattern, const char* start);

#endif
