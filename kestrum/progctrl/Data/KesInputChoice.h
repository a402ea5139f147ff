#ifndef KESINPUTCHOICE_H
#define KESINPUTCHOICE_H

#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Button.H>

// A text field whose value is chosen from a drop-down menu: the field itself
// is inactive, so the user cannot type, only choose. Used for the COM port
// choice and for the settings fields that offer a fixed list of values.
class KesInputChoice : public Fl_Group {
public:
  // The drop-down button: an up box with a downward triangle.
  class InputMenuButton : public Fl_Menu_Button {
  public:
    InputMenuButton(int x, int y, int w, int h, const char* label = nullptr);

  protected:
    void draw() override;
  };

  KesInputChoice(int x, int y, int w, int h, const char* label = nullptr);

  // Adds an item. Without callback and data, choosing it copies its text into
  // the field and then calls this widget's callback (when one is set). The text
  // is shown as it is: "/" makes no submenu. Returns the item's index.
  int add(const char* text, int shortcut = 0, Fl_Callback* cb = nullptr, void* data = nullptr,
          int flags = 0);
  void clear();
  int size() const;  // number of items

  // Selects item i and shows its text; an index outside the menu clears both.
  void value(int i);
  // Shows text without selecting an item.
  void value(const char* text);
  const char* value() const;
  // Index of the selected item, -1 when none.
  int menuValue() const;

  void textsize(Fl_Fontsize size);
  Fl_Fontsize textsize() const;
  // The menu's down box (the field has none).
  void down_box(Fl_Boxtype b);
  Fl_Boxtype down_box() const;

  Fl_Input* input() const { return _input; }
  InputMenuButton* menubutton() const { return _menu; }

  void resize(int x, int y, int w, int h) override;

protected:
  void draw() override;

private:
  void layout();
  // The field's text, as if chosen from the menu.
  void setValue(const char* text);
  static void menuCb(Fl_Widget*, void* data);

  Fl_Input* _input;
  InputMenuButton* _menu;
};

#endif
