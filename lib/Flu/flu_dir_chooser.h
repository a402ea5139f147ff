#ifndef FLU_DIR_CHOOSER_H
#define FLU_DIR_CHOOSER_H

// Asks the user for one directory in a modal dialog. Only directories are
// listed; pattern is kept as the chooser's filter but does not hide them.
// Returns the chosen directory, or null when the user cancelled. The text
// stays valid until the next call of a chooser.
const char* flu_dir_chooser(const char* title, const char* pattern, const char* start);

#endif
