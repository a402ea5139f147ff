#include <gtest/gtest.h>

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Help_View.H>

#include <cstring>
#include <string>
#include <vector>

#include "FormsTestSupport.h"
#include "SBChoice.h"
#include "SBEntry.h"
#include "SBInput.h"
#include "SBInputChoice.h"
#include "SBMenuButton.h"
#include "SBTabSheet.h"
#include "SBTabs.h"
#include "SettingBin.h"

using formstest::typeInto;
using formstest::writeConfigCsv;

namespace {

class SBTabsTest : public ::testing::Test {
protected:
  void SetUp() override {
    FLU_NEED_DISPLAY();
    _win = new Fl_Double_Window(1057, 609, "form");
    _help = new Fl_Help_View(714, 10, 335, 555);
    _tabs = new SBTabs(10, 225, 700, 340);
    _win->end();
    _tabs->configFile("config.csv");
    _tabs->helpView(_help);
    _win->show();
  }
  void TearDown() override {
    delete _win;
    formstest::settle();
  }
  // The form of the given description for settings of the given type.
  void build(const std::string& csv, const char* type = nullptr) {
    writeConfigCsv(csv);
    if (type) _sb.setEntry(SettingBin::TOLTYPE_POS, type, nullptr, false, SBEntry::ASCII_INPUT_TYPE);
    _tabs->editSettingBin(&_sb);
  }
  std::vector<std::string> sheetLabels() const {
    std::vector<std::string> labels;
    for (int i = 0; i < _tabs->children(); i++) labels.push_back(_tabs->child(i)->label());
    return labels;
  }
  SBTabSheet* sheet(int i) const { return dynamic_cast<SBTabSheet*>(_tabs->child(i)); }
  // The field of entry nr, list 'T' or 'N', on any sheet; null when absent.
  template <class W = SBInput>
  W* field(int nr, char list) const {
    for (int s = 0; s < _tabs->children(); s++) {
      Fl_Group* g = _tabs->child(s)->as_group();
      for (int i = 0; g && i < g->children(); i++) {
        W* w = dynamic_cast<W*>(g->child(i));
        if (w && w->sbEntry()->entry() == nr && w->sbEntry()->list() == list) return w;
      }
    }
    return nullptr;
  }

  TempDir _dir{TempDir::Entered};
  DialogScript _dialogs;
  SettingBin _sb{nullptr};
  Fl_Double_Window* _win = nullptr;
  Fl_Help_View* _help = nullptr;
  SBTabs* _tabs = nullptr;
};

const char* const kVariantCsv =
    "1;T;Locatie;Algemeen;ascii;loc.html;alg.html;;;;;;;;;;;\n"
    "31;T;Ingang 1;Ingangen;ascii;in.html;ing.html;;2+;;;;;;;;;\n"
    "38;T;Ingang 8;Ingangen;ascii;in.html;ing.html;;8;;;;;;;;;\n"
    "17;N;SMS centrale;Telefoon;tel;sms.html;tel.html;;;;;;G;;;;;\n";

}  // namespace

// The device type decides the sheets and fields (inputs, network).
TEST_F(SBTabsTest, TheTypeChoosesSheetsAndFieldsWhichAreLinkedIntoTheStore) {
  build(kVariantCsv, "TL4400GS-EA");
  build(kVariantCsv, "TL4400GS-EA");  // built again: the sheets are replaced
  EXPECT_EQ((std::vector<std::string>{"Algemeen", "Ingangen", "Telefoon"}), sheetLabels());
  EXPECT_EQ(nullptr, field(38, 'T'));
  EXPECT_NE(nullptr, field(17, 'N'));
  EXPECT_EQ(&_sb, _tabs->settingBin());
  ASSERT_NE(nullptr, field(1, 'T'));
  EXPECT_EQ(field(1, 'T')->sbEntry(), _sb.getEntry(1)->sbEntryT);
  EXPECT_EQ("Locatie, Algemeen", _sb.sbEntryTitle(1, 'T'));
  _tabs->editClose();
  EXPECT_EQ(0, _tabs->children());
  EXPECT_EQ(nullptr, _tabs->settingBin());
  EXPECT_EQ(nullptr, _sb.getEntry(1)->sbEntryT);
  EXPECT_EQ("unknown", _sb.sbEntryTitle(1, 'T'));
}

// Without a description the form stays empty; a tab name repeated after
// another gives a sheet of its own; a sheet of entries the device's hardware
// lacks (80 before "H", when editing a download) stays empty.
TEST_F(SBTabsTest, SheetsFollowTheDescription) {
  _tabs->editSettingBin(&_sb);
  EXPECT_EQ(0, _tabs->children());
  ASSERT_EQ(1u, _dialogs.alerts.size());
  EXPECT_NE(std::string::npos, _dialogs.alerts[0].find("\"config.csv\" niet aanwezig")) << _dialogs.alerts[0];
  build("1;T;Een;A;ascii;;;;;;;;;;;;;\n2;T;Twee;B;ascii;;;;;;;;;;;;;\n3;T;Drie;A;ascii;;;;;;;;;;;;;\n");
  EXPECT_EQ((std::vector<std::string>{"A", "B", "A"}), sheetLabels());
  EXPECT_EQ(1, sheet(0)->children());
  EXPECT_EQ(1, sheet(2)->children());
  _sb.storeStatusInfo("TL8888GM-ED", "1.0", "", "F1");
  _sb.editFromDownload(true);
  build("1;T;Een;A;ascii;;;;;;;;;;;;;\n80;T;Tachtig;B;ascii;;;;;;;;;;;;;\n");
  EXPECT_EQ((std::vector<std::string>{"A", "B"}), sheetLabels());
  EXPECT_EQ(0, sheet(1)->children());
}

TEST_F(SBTabsTest, CharactersTheFileOrTheWireCannotCarryVanishAtOnce) {
  build("2;T;Naam;A;ascii;;;;;;;;;;;;;\n2;N;Nummer;A;tel;;;;;;;;;;;;;\n");
  struct Case {
    char list;
    const char* typed;
    bool pasted;
    const char* kept;
  } cases[] = {
      {'T', "Loc\"at|ie", false, "Locatie"}, {'T', "twee\nregels\r\t", true, "tweeregels"},
      {'N', "06\n12;/3", true, "0612;/3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    SBInput* in = field(2, c.list);
    ASSERT_NE(nullptr, in);
    in->value("");
    in->do_callback();
    if (c.pasted) {
      // A paste arrives as one insertion of the whole text.
      Fl::focus(in);
      Fl::e_text = const_cast<char*>(c.typed);
      Fl::e_length = static_cast<int>(strlen(c.typed));
      in->handle(FL_PASTE);
      Fl::e_text = const_cast<char*>("");
      Fl::e_length = 0;
    } else {
      typeInto(in, c.typed);
    }
    EXPECT_STREQ(c.kept, in->value());
    EXPECT_STREQ(c.kept, c.list == 'T' ? _sb.getEntry(2)->text : _sb.getEntry(2)->tfnr);
    EXPECT_EQ(static_cast<int>(strlen(c.kept)), in->position());
  }
  EXPECT_TRUE(_dialogs.alerts.empty());
}

// What the form shows is what is saved and programmed: an empty entry shows
// empty, and the default is offered in the tooltip.
TEST_F(SBTabsTest, NumberFieldShowsWhatIsStoredAndStoresEdits) {
  _sb.setEntry(4, nullptr, "42", false, SBEntry::INVALID_TYPE);
  build("3;N;Interval;A;num:0-99|default:5;;;;;;;;;;;;;\n4;N;Pauze;A;num:0-99|default:5;;;;;;;;;;;;;\n");
  SBInput* in = field(3, 'N');
  ASSERT_NE(nullptr, in);
  EXPECT_EQ(FL_INT_INPUT, in->input_type());
  EXPECT_STREQ("", in->value());
  ASSERT_NE(nullptr, in->tooltip());
  EXPECT_STREQ("Standaard waarde: 5", in->tooltip());
  EXPECT_STREQ("", _sb.getEntry(3)->tfnr);
  typeInto(in, "5");
  EXPECT_STREQ("5", _sb.getEntry(3)->tfnr);
  EXPECT_STREQ("42", field(4, 'N')->value());
  typeInto(field(4, 'N'), "7");
  EXPECT_STREQ("427", _sb.getEntry(4)->tfnr);
}

TEST_F(SBTabsTest, SelectionFieldShowsAndStoresTheChosenValue) {
  _sb.setEntry(5, "Engels", "7", false, SBEntry::INVALID_TYPE);
  build("5;N;Zomertijd;A;sel:Aan:1|Uit:0;;;;;;;;;;;;;\n5;T;Taal;A;sel:Nederlands|Engels;;;;;;;;;;;;;\n");
  SBInputChoice* text = field<SBInputChoice>(5, 'T');
  ASSERT_NE(nullptr, text);
  EXPECT_STREQ("Engels", text->value());
  EXPECT_EQ(1, text->menuValue());
  // A value the list does not know stays empty, and stored as it was.
  SBInputChoice* ch = field<SBInputChoice>(5, 'N');
  ASSERT_NE(nullptr, ch);
  EXPECT_EQ(2, ch->size());
  EXPECT_STREQ("", ch->value());
  EXPECT_EQ(-1, ch->menuValue());
  EXPECT_STREQ("7", _sb.getEntry(5)->tfnr);
  Fl_Menu_Button* m = ch->menubutton();
  m->picked(m->menu() + 1);
  EXPECT_STREQ("Uit", ch->value());
  EXPECT_STREQ("0", _sb.getEntry(5)->tfnr);
  m->picked(m->menu() + 0);
  EXPECT_STREQ("1", _sb.getEntry(5)->tfnr);
}

// The sheet's page when it is shown, the field's when it has the focus.
TEST_F(SBTabsTest, HelpPageFollowsSheetAndFocus) {
  for (const char* page : {"veld.html", "a.html", "b.html"}) writeFile(page, "<html><body>x</body></html>");
  build("1;T;Een;A;ascii;veld.html;a.html;;;;;;;;;;;\n2;T;Twee;B;ascii;;b.html;;;;;;;;;;;\n");
  ASSERT_NE(nullptr, _help->filename());
  EXPECT_NE(nullptr, strstr(_help->filename(), "a.html"));
  field(1, 'T')->take_focus();
  EXPECT_NE(nullptr, strstr(_help->filename(), "veld.html"));
  _tabs->value(sheet(1));
  EXPECT_NE(nullptr, strstr(_help->filename(), "b.html"));
}

// The kinds that no form description line produces still make working fields.
TEST_F(SBTabsTest, ChoiceAndMenuButtonStoreTheChosenValue) {
  SBEntry* e1 = new SBEntry("4;N;Taal;A;sel:NL:1|UK:3;;;;;;;;;;;;;", &_sb);
  SBEntry* e2 = new SBEntry("6;T;Mode;A;sel:Aan|Uit;;;;;;;;;;;;;", &_sb);
  _sb.setEntry(4, nullptr, "3", false, SBEntry::INVALID_TYPE);
  _sb.setEntry(6, "Uit", nullptr, false, SBEntry::INVALID_TYPE);
  Fl_Group::current(nullptr);
  SBChoice* choice = new SBChoice(e1, &_sb);
  SBMenuButton* menu = new SBMenuButton(e2, &_sb);
  SBTabSheet* s = new SBTabSheet(_tabs, "A", "");
  choice->placeOnTabSheet(s);
  menu->placeOnTabSheet(s);
  EXPECT_EQ(1, choice->value());
  EXPECT_EQ(1, menu->value());
  EXPECT_STREQ("Uit", menu->tooltip());
  choice->picked(choice->menu() + 0);
  EXPECT_STREQ("1", _sb.getEntry(4)->tfnr);
  menu->picked(menu->menu() + 0);
  EXPECT_STREQ("Aan", _sb.getEntry(6)->text);
  EXPECT_STREQ("Aan", menu->tooltip());
}
