#include "SBTabs.h"

#include <FL/Fl_Help_View.H>

#include <cstdio>

#include "Language.h"
#include "SBChoice.h"
#include "SBEntry.h"
#include "SBInput.h"
#include "SBInputChoice.h"
#include "SBMenuButton.h"
#include "SBTabSheet.h"
#include "SettingBin.h"
#include "TextLine.h"
#include "UserDialog.h"
#include "main/Main.h"

SBTabs::SBTabs(int x, int y, int w, int h, const char* label)
    : Fl_Tabs(x, y, w, h, label), _configFile(nullptr), _helpView(nullptr), _settingBin(nullptr) {
  end();
}

SBTabs::~SBTabs() {
  // The fields unlink themselves from the settings while those still exist.
  removeSheets();
}

void SBTabs::removeSheets() {
  // Fl_Tabs remembers the pushed tab; it must not point at a deleted sheet.
  push(nullptr);
  clear();
}

void SBTabs::redrawParent() {
  if (parent())
    parent()->redraw();
  else
    redraw();
}

void SBTabs::editSettingBin(SettingBin* settingBin) {
  removeSheets();
  _settingBin = settingBin;
  fillList();
  redrawParent();
}

void SBTabs::editClose() {
  _settingBin = nullptr;
  removeSheets();
  if (!Main::_shutdown) redrawParent();
}

void SBTabs::showHelp(const char* page) {
  if (!_helpView || !page || page[0] == '\0') return;
  _helpView->load(page);
}

SBEntry* SBTabs::readEntry(FILE* fd, SettingBin* settingBin) {
  char line[MAX_CONFIG_LINE_LEN];
  int c = 0;
  while (fd && c != EOF) {
    c = TextLine::read(fd, line, sizeof line);
    if (c == EOF && line[0] == '\0') break;
    SBEntry* entry = new SBEntry(line, settingBin);
    if (entry->entryType() != SBEntry::INVALID_TYPE) return entry;
    delete entry;
  }
  return nullptr;
}

void SBTabs::fillList() {
  const char* file = _configFile ? _configFile : "";
  FILE* fd = fopen(file, "r");
  if (!fd) {
    char buf[1024];
    int n = snprintf(buf, sizeof buf, "%s \"%s\" %s.\n", gettext("Fout!! Bestand", 0), file,
                     gettext("niet aanwezig", 0));
    if (n < 0 || n >= static_cast<int>(sizeof buf)) n = 0;
    snprintf(buf + n, sizeof buf - n, "%s.\n", gettext("Gegevens kunnen NIET ingevuld worden", 0));
    UserDialog::alert(buf);
    return;
  }
  // Sheets and fields are added explicitly, never to an open group.
  Fl_Group* current = Fl_Group::current();
  Fl_Group::current(nullptr);
  SBTabSheet* sheet = nullptr;
  while (SBEntry* entry = readEntry(fd, _settingBin)) {
    // Lines of one tab follow each other; a name that comes back makes a
    // new sheet of that name.
    if (!sheet || !entry->tabNameIs(sheet->label())) {
      sheet = new SBTabSheet(this, entry->tabName(), gettext(entry->tabHelp(), 0));
    }
    if (_settingBin && !_settingBin->entrySupported(static_cast<uint8_t>(entry->entry()),
                                                     entry->list())) {
      delete entry;
      continue;
    }
    Fl_Widget* field = nullptr;
    switch (entry->entryType()) {
      case SBEntry::ASCII_INPUT_TYPE:
      case SBEntry::TEL_INPUT_TYPE:
      case SBEntry::NUM_INPUT_TYPE: {
        SBInput* w = new SBInput(entry, _settingBin);
        w->placeOnTabSheet(sheet);
        field = w;
        break;
      }
      case SBEntry::MENU_BUTTON_TYPE: {
        SBMenuButton* w = new SBMenuButton(entry, _settingBin);
        w->placeOnTabSheet(sheet);
        field = w;
        break;
      }
      case SBEntry::CHOICE_TYPE: {
        SBChoice* w = new SBChoice(entry, _settingBin);
        w->placeOnTabSheet(sheet);
        field = w;
        break;
      }
      case SBEntry::INPUT_CHOICE_TYPE: {
        SBInputChoice* w = new SBInputChoice(entry, _settingBin);
        w->placeOnTabSheet(sheet);
        field = w;
        break;
      }
      default:
        break;
    }
    if (!field) {
      delete entry;
      continue;
    }
    if (_settingBin) _settingBin->setSbEntry(entry);
  }
  fclose(fd);
  if (children() > 0) {
    // Each new sheet showed its help; the help beside the form is that of
    // the sheet in front.
    value(child(0));
    if (SBTabSheet* first = dynamic_cast<SBTabSheet*>(child(0))) showHelp(first->help());
  }
  Fl_Group::current(current);
}
