#ifndef FLU_COMBO_LIST_H
#define FLU_COMBO_LIST_H

#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Button.H>

#include <string>
#include <vector>

// A text field with a drop-down list of texts beside it.
//
// The list is the public member `list`:
//   combo.list.clear();            // empty the list (the text field keeps its text)
//   combo.list.add("COM1");        // append a line
//   combo.list.size();             // number of lines
//   combo.list.text(1);            // text of line 1 (lines count from 1, as in Fl_Browser)
//   combo.list.value();            // line last chosen, 0 when none
//
// Choosing a line (with the mouse, the keyboard or `choose`) puts its text into
// the field and then calls the widget's callback. With editable(false) the
// user cannot type: a click anywhere on the field opens the list. The box, the
// label and its alignment behave as for any widget; the field and the button
// are laid out inside the box.
class Flu_Combo_List : public Fl_Group {
public:
  class List {
  public:
    void clear();
    void add(const char* text);
    int size() const { return static_cast<int>(_items.size()); }
    // Text of line 1..size(); null outside that range.
    const char* text(int line) const;
    // Line that was chosen last, or that matches the field's text; 0 when none.
    int value() const { return _value; }
    void value(int line);
    // First line whose text equals text; 0 when none.
    int find(const char* text) const;

  private:
    std::vector<std::string> _items;
    int _value = 0;
  };

  Flu_Combo_List(int x, int y, int w, int h, const char* label = nullptr);
  ~Flu_Combo_List() override;

  // Text shown in the field (never null).
  const char* value() const;
  // Shows text (null clears) and marks the list line with the same text, if any.
  void value(const char* text);

  // false: only list lines can be chosen; true: the user may also type.
  void editable(bool on);
  bool editable() const { return _editable; }

  // Chooses a line as the user would: shows it and calls the callback.
  // false (and nothing happens) when line is not in the list.
  bool choose(int line);
  bool choose(const char* text);

  // Opens the drop-down list below the field and waits for the user's choice.
  void popup();

  void textsize(Fl_Fontsize size);
  Fl_Fontsize textsize() const;
  void textfont(Fl_Font font);
  Fl_Font textfont() const;

  Fl_Input* input() const;

  void resize(int x, int y, int w, int h) override;

  List list;

protected:
  void draw() override;

private:
  class Field;
  class Arrow;

  void layout();
  void chosen(int line);
  static void inputCb(Fl_Widget*, void* data);

  Field* _input;
  Arrow* _button;
  bool _editable;
};

#endif
