#ifndef FORMSTESTSUPPORT_H
#define FORMSTESTSUPPORT_H

#include <FL/Fl.H>
#include <FL/Fl_Input.H>

#include <cstring>
#include <string>

#include "kestrum/progctrl/DataTestSupport.h"
#include "lib/Flu/FluTestSupport.h"

namespace formstest {

// A form description: header, then the given lines.
inline void writeConfigCsv(const std::string& lines) {
  writeFile("config.csv",
            "Entry;Lijst;Naam;Tab;Soort;Help;Tab help;TL;Dig. in;U in;I in;Uitg.;Netwerk;"
            "Functie;Voeding;Montage;Special;\n" +
                lines);
}

// Types text into the input as the user would, one key at a time.
inline void typeInto(Fl_Input* input, const char* text) {
  Fl::focus(input);
  for (const char* p = text; *p; ++p)
    flutest::pressKey(static_cast<unsigned char>(*p), std::string(1, *p).c_str());
  Fl::e_text = const_cast<char*>("");
  Fl::e_length = 0;
}

// Lets the toolkit finish deferred deletions and redraws.
inline void settle() {
  Fl::do_widget_deletion();
  Fl::check();
}

}  // namespace formstest

#endif
