#ifndef SBTABS_H
#define SBTABS_H

#include <FL/Fl_Tabs.H>

#include <cstdio>

class Fl_Help_View;
class SBEntry;
class SettingBin;

// The tabbed settings form. It is never laid out by hand: every time settings
// become available it is cleared and rebuilt from the form description
// ("config.csv"), keeping only the fields that apply to the settings' device
// variant. Owns its sheets, which own their fields.
class SBTabs : public Fl_Tabs {
public:
  static const int MAX_CONFIG_LINE_LEN = 512;

  SBTabs(int x, int y, int w, int h, const char* label = nullptr);
  ~SBTabs() override;

  // The form description; the text is not copied.
  void configFile(const char* file) { _configFile = file; }
  const char* configFile() const { return _configFile; }
  void helpView(Fl_Help_View* helpView) { _helpView = helpView; }
  Fl_Help_View* helpView() const { return _helpView; }
  // The settings being edited; null while none.
  SettingBin* settingBin() const { return _settingBin; }

  // Rebuilds the form for settingBin.
  void editSettingBin(SettingBin* settingBin);
  // Forgets the settings and removes the form.
  void editClose();
  // Builds the form from the description.
  void fillList();
  // The next line of the description in fd that describes a field for the
  // variant of settingBin; null at the end of the file. The caller owns it.
  static SBEntry* readEntry(FILE* fd, SettingBin* settingBin);

  // Shows a help page in the help view (an empty name shows nothing new).
  void showHelp(const char* page);

private:
  void removeSheets();
  void redrawParent();

  const char* _configFile;
  Fl_Help_View* _helpView;
  SettingBin* _settingBin;
};

#endif
