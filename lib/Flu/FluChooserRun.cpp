#include "FluChooserRun.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/filename.H>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The name field of a running chooser. The toolkit's own handling of it
// rewrites the text on every key (a name typed over an offered path, or an
// absolute path typed into an empty field, came out garbled); this one
// leaves the text as typed, completes names like the toolkit does, and
// resolves the name against the chooser's directory only when it is taken.
struct NameField {
  Fl_File_Chooser* chooser;
  Fl_File_Input* input;
  Fl_Return_Button* ok;
  int type;
};

template <class T>
T* findIn(Fl_Group* g) {
  for (int i = 0; g && i < g->children(); ++i) {
    Fl_Widget* c = g->child(i);
    if (T* t = dynamic_cast<T*>(c)) return t;
    if (T* t = findIn<T>(c->as_group())) return t;
  }
  return nullptr;
}

// name with "~" and "$VAR" expanded, made absolute against dir.
std::string resolve(const std::string& name, const char* dir) {
  if (name.empty()) return name;
  char expanded[FL_PATH_MAX];
  fl_filename_expand(expanded, sizeof expanded, name.c_str());
  fs::path p(expanded);
  if (p.is_relative()) p = fs::path(dir && *dir ? dir : ".") / p;
  return p.lexically_normal().string();
}

bool isDir(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

// Completes the last part of the typed name with what all matching names in
// its directory share; the added characters stay selected, so typing on
// replaces them, as in the toolkit's chooser.
void complete(NameField* f) {
  std::string text = f->input->value();
  if (f->input->position() != f->input->size()) return;
  size_t slash = text.rfind('/');
  std::string dirPart = slash == std::string::npos ? "" : text.substr(0, slash + 1);
  std::string part = slash == std::string::npos ? text : text.substr(slash + 1);
  if (part.empty()) return;
  std::string dir = dirPart.empty() ? std::string(f->chooser->directory() ? f->chooser->directory() : ".")
                                    : resolve(dirPart, f->chooser->directory());
  const char* filter = f->chooser->filter();
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.compare(0, part.size(), part) != 0) continue;
    if (name[0] == '.' && part[0] != '.') continue;
    std::error_code dec;
    bool directory = it->is_directory(dec);
    if (!directory && (f->type & Fl_File_Chooser::DIRECTORY)) continue;
    if (!directory && filter && *filter && !fl_filename_match(name.c_str(), filter)) continue;
    names.push_back(name);
  }
  if (names.empty()) return;
  std::string common = names[0];
  for (const std::string& n : names) {
    size_t k = 0;
    while (k < common.size() && k < n.size() && common[k] == n[k]) ++k;
    common.resize(k);
  }
  if (common.size() <= part.size()) return;
  int at = f->input->size();
  std::string added = common.substr(part.size());
  f->input->replace(at, at, added.c_str(), static_cast<int>(added.size()));
  f->input->position(f->input->size(), at);
}

void nameChanged(Fl_Widget*, void* data) {
  NameField* f = static_cast<NameField*>(data);
  std::string text = f->input->value();
  if (f->ok) {
    if (text.empty())
      f->ok->deactivate();
    else
      f->ok->activate();
  }
  int key = Fl::event_key();
  bool keyboard = Fl::event() == FL_KEYBOARD || Fl::event() == FL_SHORTCUT;
  if (keyboard && (key == FL_Enter || key == FL_KP_Enter)) {
    if (text.empty()) return;
    std::string full = resolve(text, f->chooser->directory());
    const char* current = f->chooser->directory();
    // Compared with a trailing "/" on both: the offered directory has one.
    bool here = current && (fs::path(resolve(current, nullptr)) / "") == (fs::path(full) / "");
    // A directory is entered, as in the toolkit's chooser; the directory
    // chooser takes the one it is in.
    if (isDir(full) && !((f->type & Fl_File_Chooser::DIRECTORY) && here)) {
      f->chooser->directory(full.c_str());
      return;
    }
    f->input->value(full.c_str());
    f->chooser->hide();
    return;
  }
  // Names are completed while typed, not when pasted or deleted.
  if (Fl::event() != FL_KEYBOARD || Fl::event_length() == 0 ||
      (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)) || key == FL_BackSpace || key == FL_Delete)
    return;
  complete(f);
}

}  // namespace

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
  Fl_Window* window = chooser.newButton ? chooser.newButton->window() : nullptr;
  NameField field{&chooser, findIn<Fl_File_Input>(window), findIn<Fl_Return_Button>(window), type};
  if (field.input) {
    field.input->callback(nameChanged, &field);
    field.input->when(FL_WHEN_CHANGED | FL_WHEN_ENTER_KEY_ALWAYS);
  }
  if (!file.empty() && !(type & Fl_File_Chooser::DIRECTORY)) chooser.value(file.c_str());
  chooser.show();
  // What the field offers (the start file, or the directory) is selected:
  // typing replaces it, End or a click keeps it.
  if (field.input) {
    // An offered directory ends in "/", so that a name typed after it lands in it.
    std::string offered = field.input->value();
    if (!offered.empty() && offered.back() != '/' && isDir(offered))
      field.input->value((offered + "/").c_str());
    field.input->position(field.input->size(), 0);
  }
  while (chooser.shown()) Fl::wait();
  Fl_Group::current(current);

  const char* v = chooser.value();
  if (!v || !*v) return nullptr;
  // A name typed without a directory belongs in the one shown.
  answer = resolve(v, chooser.directory());
  if (answer.size() > 1 && answer.back() == '/') answer.pop_back();
  return answer.c_str();
}
