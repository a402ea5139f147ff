#ifndef SBINPUTCHOICE_H
#define SBINPUTCHOICE_H

#include "KesInputChoice.h"

class SBEntry;
class SBTabSheet;
class SettingBin;

// A settings field whose value is chosen from the entry's list of items: it
// shows an item's text and stores the item's value.
class SBInputChoice : public KesInputChoice {
public:
  // Takes ownership of sbEntry.
  SBInputChoice(SBEntry* sbEntry, SettingBin* settingBin);
  ~SBInputChoice() override;

  int handle(int event) override;
  void placeOnTabSheet(SBTabSheet* sheet);

  SBEntry* sbEntry() const { return _sbEntry; }

private:
  static void chosenCb(Fl_Widget* w, void*);
  void chosen();

  SBEntry* _sbEntry;
  SettingBin* _settingBin;
};

#endif
