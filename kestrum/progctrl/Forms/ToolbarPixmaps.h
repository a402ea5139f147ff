#ifndef TOOLBARPIXMAPS_H
#define TOOLBARPIXMAPS_H

// The small images of the main window's toolbar (XPM, 18 lines each). The
// "Programmeren" button carries the download image (into the device),
// "Ophalen" the upload image (out of it).
class ToolbarPixmaps {
public:
  static const char* const newXpm[];
  static const char* const openXpm[];
  static const char* const saveXpm[];
  static const char* const downloadXpm[];
  static const char* const uploadXpm[];
  static const char* const optionsXpm[];
};

#endif
