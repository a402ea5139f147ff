#include "FluChooserRun.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/filename.H>

#include <string>
#include <system_error>
#include <filesystem>

namespace fs = std::filesystem;

const char* fluRunChooser(const char* title, const char* pattern, const char* start, int type) {
  static std::string answer;

  // Begin in the start directory itself, or in the directory of a start file
  // whose name is then offered; anything that does not exist starts in the
  // working directory.
  std::string dir = ".";
  std::string file;
  if (start && *start) {
    std::error_code ec;
    fs::path p(start);
    if (fs::is_directory(p, ec)) {
      dir = p.string();
    } else {
      fs::path parent = p.has_parent_path() ? p.parent_path() : fs::path(".");
      if (fs::is_directory(parent, ec)) {
        dir = parent.string();
        file = p.string();
      }
    }
  }

  Fl_Group* current = Fl_Group::current();
  Fl_Group::current(nullptr);
  Fl_File_Chooser chooser(dir.c_str(), (pattern && *pattern) ? pattern : "*", type,
                          title ? title : "");
  // Settings files and bin directories have nothing to preview, and the
  // toolkit's preview reads a freed name buffer when a start file is offered.
  chooser.preview(0);
  if (!file.empty() && !(type & Fl_File_Chooser::DIRECTORY)) chooser.value(file.c_str());
  chooser.show();
  while (chooser.shown()) Fl::wait();
  Fl_Group::current(current);

  const char* v = chooser.value();
  if (!v || !*v) return nullptr;
  answer = v;
  return answer.c_str();
}
