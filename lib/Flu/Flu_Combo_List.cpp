#include "Flu_Combo_List.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/fl_draw.H>

#include <cstring>

namespace {

const int ARROW_W = 20;

// Menu labels interpret "&" (shortcut) and "@" (symbols); list texts are plain.
std::string menuLabel(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '&' || c == '@') out += c;
    out += c;
  }
  return out;
}

} // namespace

// ---------------------------------------------------------------- List

void Flu_Combo_List::List::clear() {
  _items.clear();
  _value = 0;
}

void Flu_Combo_List::List::add(const char* text) {
  _items.emplace_back(text ? text : "");
}

const char* Flu_Combo_List::List::text(int line) const {
  if (line < 1 || line > size()) return nullptr;
  return _items[line - 1].c_str();
}

void Flu_Combo_List::List::value(int line) {
  _value = (line >= 1 && line <= size()) ? line : 0;
}

int Flu_Combo_List::List::find(const char* text) const {
  if (!text) return 0;
  for (int i = 0; i < size(); ++i) {
    if (_items[i] == text) return i + 1;
  }
  return 0;
}

// ---------------------------------------------------------------- parts

// The text field. When the combo is not editable a click or the Down key
// opens the list instead of placing a cursor.
class Flu_Combo_List::Field : public Fl_Input {
public:
  Field(Flu_Combo_List* combo, int x, int y, int w, int h)
      : Fl_Input(x, y, w, h), _combo(combo) {}

  int handle(int event) override {
    if (!_combo->editable()) {
      if (event == FL_PUSH) {
        take_focus();
        _combo->popup();
        return 1;
      }
      if (event == FL_KEYBOARD && (Fl::event_key() == FL_Down || Fl::event_key() == ' ')) {
        _combo->popup();
        return 1;
      }
    } else if (event == FL_KEYBOARD && Fl::event_key() == FL_Down && Fl::event_alt()) {
      _combo->popup();
      return 1;
    }
    return Fl_Input::handle(event);
  }

private:
  Flu_Combo_List* _combo;
};

// The drop-down button: an up box with a downward triangle. It is a menu
// button only so that the drop-down list takes its font, size and colours.
class Flu_Combo_List::Arrow : public Fl_Menu_Button {
public:
  Arrow(Flu_Combo_List* combo, int x, int y, int w, int h)
      : Fl_Menu_Button(x, y, w, h), _combo(combo) {}

  int handle(int event) override {
    if (event == FL_PUSH) {
      _combo->popup();
      return 1;
    }
    if (event == FL_KEYBOARD &&
        (Fl::event_key() == ' ' || Fl::event_key() == FL_Down || Fl::event_key() == FL_Enter)) {
      _combo->popup();
      return 1;
    }
    return Fl_Menu_Button::handle(event);
  }

protected:
  void draw() override {
    draw_box(FL_UP_BOX, color());
    int cx = x() + w() / 2;
    int cy = y() + h() / 2;
    fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
    fl_polygon(cx - 5, cy - 3, cx + 5, cy - 3, cx, cy + 3);
    draw_focus();
  }

private:
  Flu_Combo_List* _combo;
};

// ---------------------------------------------------------------- combo

Flu_Combo_List::Flu_Combo_List(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label), _input(nullptr), _button(nullptr), _editable(true) {
  box(FL_DOWN_BOX);
  color(FL_BACKGROUND2_COLOR);
  align(FL_ALIGN_LEFT);
  _input = new Field(this, x, y, w, h);
  _input->box(FL_FLAT_BOX);
  _input->when(FL_WHEN_CHANGED);
  _input->callback(inputCb, this);
  _button = new Arrow(this, x, y, ARROW_W, h);
  _button->box(FL_FLAT_BOX);
  end();
  layout();
}

Flu_Combo_List::~Flu_Combo_List() = default;

const char* Flu_Combo_List::value() const {
  const char* v = _input->value();
  return v ? v : "";
}

void Flu_Combo_List::value(const char* text) {
  _input->value(text ? text : "");
  list.value(list.find(value()));
}

void Flu_Combo_List::editable(bool on) {
  _editable = on;
  _input->readonly(on ? 0 : 1);
}

bool Flu_Combo_List::choose(int line) {
  if (line < 1 || line > list.size()) return false;
  chosen(line);
  return true;
}

bool Flu_Combo_List::choose(const char* text) {
  return choose(list.find(text));
}

void Flu_Combo_List::chosen(int line) {
  _input->value(list.text(line));
  list.value(line);
  set_changed();
  redraw();
  // Without a callback of its own the toolkit would queue the widget for
  // Fl::readqueue(), which nothing here reads.
  if (callback() != Fl_Widget::default_callback) do_callback();
}

void Flu_Combo_List::popup() {
  if (list.size() == 0 || !active_r()) return;
  std::vector<std::string> labels;
  labels.reserve(list.size());
  for (int i = 1; i <= list.size(); ++i) labels.push_back(menuLabel(list.text(i)));
  // A zero-filled array ends with the empty item that closes a menu.
  std::vector<Fl_Menu_Item> items(labels.size() + 1);
  std::memset(static_cast<void*>(items.data()), 0, items.size() * sizeof(Fl_Menu_Item));
  for (size_t i = 0; i < labels.size(); ++i) items[i].text = labels[i].c_str();

  Fl_Widget_Tracker alive(this);
  const Fl_Menu_Item* picked = items[0].pulldown(x(), y(), w(), h(), nullptr, _button);
  if (!alive.exists() || !picked) return;
  chosen(static_cast<int>(picked - items.data()) + 1);
}

void Flu_Combo_List::textsize(Fl_Fontsize size) {
  _input->textsize(size);
  _button->textsize(size);
}

Fl_Fontsize Flu_Combo_List::textsize() const { return _input->textsize(); }

void Flu_Combo_List::textfont(Fl_Font font) {
  _input->textfont(font);
  _button->textfont(font);
}

Fl_Font Flu_Combo_List::textfont() const { return _input->textfont(); }

void Flu_Combo_List::layout() {
  int bx = x() + Fl::box_dx(box());
  int by = y() + Fl::box_dy(box());
  int bw = w() - Fl::box_dw(box());
  int bh = h() - Fl::box_dh(box());
  int aw = bw < ARROW_W ? bw : ARROW_W;
  _input->resize(bx, by, bw - aw, bh);
  _button->resize(bx + bw - aw, by, aw, bh);
}

void Flu_Combo_List::resize(int x, int y, int w, int h) {
  Fl_Widget::resize(x, y, w, h);
  layout();
}

void Flu_Combo_List::draw() {
  // The box may have been changed since the last layout.
  layout();
  Fl_Group::draw();
}

void Flu_Combo_List::inputCb(Fl_Widget*, void* data) {
  Flu_Combo_List* combo = static_cast<Flu_Combo_List*>(data);
  combo->list.value(combo->list.find(combo->value()));
  if ((combo->when() & FL_WHEN_CHANGED) && combo->callback() != Fl_Widget::default_callback) {
    combo->do_callback();
  }
}

Fl_Input* Flu_Combo_List::input() const { return _input; }
