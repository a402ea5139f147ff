#include "KesInputChoice.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <string>

namespace {
const int BUTTON_W = 20;
}

KesInputChoice::InputMenuButton::InputMenuButton(int x, int y, int w, int h, const char* label)
    : Fl_Menu_Button(x, y, w, h, label) {}

void KesInputChoice::InputMenuButton::draw() {
  draw_box(FL_UP_BOX, color());
  int cx = x() + w() / 2;
  int cy = y() + h() / 2;
  fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
  fl_polygon(cx - 5, cy - 3, cx + 5, cy - 3, cx, cy + 3);
  if (Fl::focus() == this) draw_focus();
}

KesInputChoice::KesInputChoice(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label), _input(nullptr), _menu(nullptr) {
  box(FL_DOWN_BOX);
  align(FL_ALIGN_LEFT);
  _input = new Fl_Input(x, y, w, h);
  _input->deactivate();
  if (!Fl::scheme()) _input->box(FL_FLAT_BOX);
  _menu = new InputMenuButton(x, y, BUTTON_W, h);
  _menu->box(FL_FLAT_BOX);
  _menu->callback(menuCb, this);
  end();
  layout();
}

int KesInputChoice::add(const char* text, int shortcut, Fl_Callback* cb, void* data, int flags) {
  // The menu reads "/" as a submenu separator, "\" as an escape and a leading
  // "_" as a divider; our items are plain texts, so escape them.
  std::string escaped;
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == '/' || *p == '\\' || (*p == '_' && p == text)) escaped += '\\';
    escaped += *p;
  }
  return _menu->add(escaped.c_str(), shortcut, cb, data, flags);
}

void KesInputChoice::clear() {
  _menu->clear();
  _input->value("");
}

int KesInputChoice::size() const {
  // The toolkit counts the terminating empty item.
  int n = _menu->size();
  return n > 0 ? n - 1 : 0;
}

void KesInputChoice::value(int i) {
  if (i < 0 || i >= size()) {
    _menu->value(static_cast<const Fl_Menu_Item*>(nullptr));
    _input->value("");
    return;
  }
  _menu->value(i);
  _input->value(_menu->text(i));
}

void KesInputChoice::value(const char* text) { _input->value(text ? text : ""); }

const char* KesInputChoice::value() const {
  const char* v = _input->value();
  return v ? v : "";
}

int KesInputChoice::menuValue() const { return _menu->value(); }

void KesInputChoice::textsize(Fl_Fontsize size) {
  _input->textsize(size);
  _menu->textsize(size);
}

Fl_Fontsize KesInputChoice::textsize() const { return _input->textsize(); }

void KesInputChoice::down_box(Fl_Boxtype b) { _menu->down_box(b); }

Fl_Boxtype KesInputChoice::down_box() const { return _menu->down_box(); }

void KesInputChoice::layout() {
  int dx = Fl::box_dx(box());
  int dy = Fl::box_dy(box());
  int dw = Fl::box_dw(box());
  int dh = Fl::box_dh(box());
  _input->resize(x() + dx, y() + dy, w() - dw - BUTTON_W, h() - dh);
  // Schemes draw the menu button's frame one pixel into the box's top edge.
  int shift = Fl::scheme() ? 1 : 0;
  _menu->resize(x() + w() - BUTTON_W - dx, y() + dy + shift, BUTTON_W, h() - dh - shift);
}

void KesInputChoice::resize(int x, int y, int w, int h) {
  Fl_Widget::resize(x, y, w, h);
  layout();
}

void KesInputChoice::draw() {
  // The box may have been changed since the last layout.
  layout();
  Fl_Group::draw();
}

void KesInputChoice::setValue(const char* text) {
  _input->value(text ? text : "");
  set_changed();
  redraw();
}

void KesInputChoice::menuCb(Fl_Widget*, void* data) {
  KesInputChoice* self = static_cast<KesInputChoice*>(data);
  const Fl_Menu_Item* item = self->_menu->mvalue();
  if (!item) return;
  self->setValue(item->label());
  if (self->callback() != Fl_Widget::default_callback) self->do_callback();
}
