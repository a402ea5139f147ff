#include <gtest/gtest.h>

#include <cstring>

#include "SBTabs.h"

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Help_View.H>

#include <string>
#include <vector>

#include "FormsTestSupport.h"
#include "KesInputChoice.h"
#include "SBChoice.h"
#include "SBEntry.h"
#include "SBInput.h"
#include "SBInputChoice.h"
#include "SBMenuButton.h"
#include "SBTabSheet.h"
#include "SettingBin.h"

using formstest::typeInto;
using formstest::writeConfigCsv;

namespace {

class SBTabsTest : public ::testing::Test {
protected:
  void SetUp() override {
    FLU_NEED_DISPLAY();
    _dir = new TempDir(TempDir::Entered);
    _dialogs = new DialogScript();
    _sb = new SettingBin(nullptr);
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
    delete _sb;
    delete _dialogs;
    delete _dir;
    formstest::settle();
  }

  void setType(const char* type) {
    _sb->setEntry(SettingBin::TOLTYPE_POS, type, nullptr, false, SBEntry::ASCII_INPUT_TYPE);
  }

  std::vector<std::string> sheetLabels() const {
    std::vector<std::string> labels;
    for (int i = 0; i < _tabs->children(); i++)
      labels.push_back(_tabs->child(i)->label() ? _tabs->child(i)->label() : "");
    return labels;
  }

  SBTabSheet* sheet(int i) const { return dynamic_cast<SBTabSheet*>(_tabs->child(i)); }

  // The field of entry nr, list 'T' or 'N', on any sheet; null when absent.
  template <class W>
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

  TempDir* _dir = nullptr;
  DialogScript* _dialogs = nullptr;
  SettingBin* _sb = nullptr;
  Fl_Double_Window* _win = nullptr;
  Fl_Help_View* _help = nullptr;
  SBTabs* _tabs = nullptr;
};

const char* const kVariantCsv =
    "1;T;Locatie;Algemeen;ascii;loc.html;alg.html;;;;;;;;;;;\n"
    "31;T;Ingang 1;Ingangen;ascii;in.html;ing.html;;2+;;;;;;;;;\n"
    "38;T;Ingang 8;Ingangen;ascii;in.html;ing.html;;8;;;;;;;;;\n"
    "21;T;APN;GPRS;ascii;gprs.html;gprs.html;;;;;;IN;;;;;\n"
    "17;N;SMS centrale;Telefoon;tel;sms.html;tel.html;;;;;;G;;;;;\n";

}  // namespace

TEST_F(SBTabsTest, FourInputGsmTypeShowsItsSheetsAndFields) {
  writeConfigCsv(kVariantCsv);
  setType("TL4400GS-EA");
  _tabs->editSettingBin(_sb);
  EXPECT_EQ((std::vector<std::string>{"Algemeen", "Ingangen", "Telefoon"}), sheetLabels());
  EXPECT_NE(nullptr, field<SBInput>(31, 'T'));
  EXPECT_EQ(nullptr, field<SBInput>(38, 'T'));
  EXPECT_EQ(nullptr, field<SBInput>(21, 'T'));
  EXPECT_NE(nullptr, field<SBInput>(17, 'N'));
  EXPECT_EQ(_sb, _tabs->settingBin());
}

TEST_F(SBTabsTest, EightInputGprsTypeShowsOtherFields) {
  writeConfigCsv(kVariantCsv);
  setType("TL8888IM-ED");
  _tabs->editSettingBin(_sb);
  EXPECT_EQ((std::vector<std::string>{"Algemeen", "Ingangen", "GPRS"}), sheetLabels());
  EXPECT_NE(nullptr, field<SBInput>(31, 'T'));
  EXPECT_NE(nullptr, field<SBInput>(38, 'T'));
  EXPECT_NE(nullptr, field<SBInput>(21, 'T'));
  EXPECT_EQ(nullptr, field<SBInput>(17, 'N'));
}

TEST_F(SBTabsTest, FieldsAreLinkedIntoTheStoreAndUnlinkedOnClose) {
  writeConfigCsv(kVariantCsv);
  setType("TL4400GS-EA");
  _tabs->editSettingBin(_sb);
  SBInput* loc = field<SBInput>(1, 'T');
  ASSERT_NE(nullptr, loc);
  EXPECT_EQ(loc->sbEntry(), _sb->getEntry(1)->sbEntryT);
  EXPECT_EQ("Locatie, Algemeen", _sb->sbEntryTitle(1, 'T'));
  _tabs->editClose();
  EXPECT_EQ(0, _tabs->children());
  EXPECT_EQ(nullptr, _tabs->settingBin());
  EXPECT_EQ(nullptr, _sb->getEntry(1)->sbEntryT);
  EXPECT_EQ("unknown", _sb->sbEntryTitle(1, 'T'));
}

TEST_F(SBTabsTest, RebuildReplacesTheSheets) {
  writeConfigCsv(kVariantCsv);
  setType("TL4400GS-EA");
  _tabs->editSettingBin(_sb);
  _tabs->editSettingBin(_sb);
  EXPECT_EQ(3, _tabs->children());
}

TEST_F(SBTabsTest, RepeatedTabNameAfterAnotherGivesThreeSheets) {
  writeConfigCsv(
      "1;T;Een;A;ascii;;;;;;;;;;;;;\n"
      "2;T;Twee;B;ascii;;;;;;;;;;;;;\n"
      "3;T;Drie;A;ascii;;;;;;;;;;;;;\n");
  _tabs->editSettingBin(_sb);
  EXPECT_EQ((std::vector<std::string>{"A", "B", "A"}), sheetLabels());
  EXPECT_EQ(1, sheet(0)->children());
  EXPECT_EQ(1, sheet(2)->children());
}

TEST_F(SBTabsTest, SheetOfOnlyUnsupportedEntriesStaysEmpty) {
  // Entry 80 is not supported by hardware up to "G" when editing a download.
  writeConfigCsv(
      "1;T;Een;A;ascii;;;;;;;;;;;;;\n"
      "80;T;Tachtig;B;ascii;;;;;;;;;;;;;\n");
  _sb->storeStatusInfo("TL8888GM-ED", "1.0", "", "F1");
  _sb->editFromDownload(true);
  _tabs->editSettingBin(_sb);
  EXPECT_EQ((std::vector<std::string>{"A", "B"}), sheetLabels());
  EXPECT_EQ(0, sheet(1)->children());
}

TEST_F(SBTabsTest, MissingDescriptionAlertsAndLeavesFormEmpty) {
  _tabs->editSettingBin(_sb);
  EXPECT_EQ(0, _tabs->children());
  ASSERT_EQ(1u, _dialogs->alerts.size());
  EXPECT_EQ("Fout!! Bestand \"config.csv\" niet aanwezig.\nGegevens kunnen NIET ingevuld worden.\n",
            _dialogs->alerts[0]);
}

TEST_F(SBTabsTest, FieldsStackInTwoColumns) {
  writeConfigCsv(
      "1;T;Een;A;ascii;;;;;;;;;;;;;\n"
      "2;T;Twee;A;ascii;;;;;;;;;;;;;\n"
      "1;N;Nummer;A;tel;;;;;;;;;;;;;\n");
  _tabs->editSettingBin(_sb);
  SBTabSheet* s = sheet(0);
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(10, s->x());
  EXPECT_EQ(250, s->y());
  EXPECT_EQ(700, s->w());
  EXPECT_EQ(315, s->h());
  SBInput* een = field<SBInput>(1, 'T');
  SBInput* twee = field<SBInput>(2, 'T');
  SBInput* nummer = field<SBInput>(1, 'N');
  EXPECT_EQ(s->rightTxtMargin(), een->x() + een->w());
  EXPECT_EQ(180, een->w());
  EXPECT_EQ(21, een->h());
  EXPECT_EQ(s->y() + 15, een->y());
  EXPECT_EQ(s->y() + 15 + 21, twee->y());
  EXPECT_EQ(s->rightNumMargin(), nummer->x() + nummer->w());
  EXPECT_EQ(164, nummer->w());
  EXPECT_EQ(s->y() + 15, nummer->y());
  EXPECT_STREQ("Een", een->label());
  EXPECT_EQ(12, een->labelsize());
  EXPECT_EQ(12, een->textsize());
}

TEST_F(SBTabsTest, CharactersTheFileOrTheWireCannotCarryVanishAtOnce) {
  writeConfigCsv("2;T;Naam;A;ascii;;;;;;;;;;;;;\n2;N;Nummer;A;tel;;;;;;;;;;;;;\n");
  _tabs->editSettingBin(_sb);
  struct Case {
    char list;
    const char* typed;
    bool pasted;
    const char* kept;
  } cases[] = {
      {'T', "ab;c/", false, "abc"},
      {'T', "Loc\"at|ie", false, "Locatie"},
      {'T', "twee\nregels\r\t", true, "tweeregels"},
      {'N', "06|\"12\"", false, "0612"},
      {'N', "06\n12;/3", true, "0612;/3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    SBInput* in = field<SBInput>(2, c.list);
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
    const SettingBin::SettingEntry* e = _sb->getEntry(2);
    EXPECT_STREQ(c.kept, c.list == 'T' ? e->text : e->tfnr);
    EXPECT_EQ(static_cast<int>(strlen(c.kept)), in->position());
  }
  EXPECT_TRUE(_dialogs->alerts.empty());
}

TEST_F(SBTabsTest, ThirteenthCharacterAlertsOnceAndFieldKeepsTwelve) {
  writeConfigCsv("12;T;Naam;A;ascii;;;;;;;;;;;;;\n");
  setType("TL8888GM-ED");
  _tabs->editSettingBin(_sb);
  SBInput* in = field<SBInput>(12, 'T');
  ASSERT_NE(nullptr, in);
  typeInto(in, "123456789012");
  EXPECT_TRUE(_dialogs->alerts.empty());
  typeInto(in, "X");
  ASSERT_EQ(1u, _dialogs->alerts.size());
  EXPECT_EQ("Attentie!! maximum 12 karakters.", _dialogs->alerts[0]);
  EXPECT_STREQ("123456789012", in->value());
  EXPECT_STREQ("123456789012", _sb->getEntry(12)->text);
}

TEST_F(SBTabsTest, TwentyFirstDigitOfNumberIsRefused) {
  writeConfigCsv("11;N;Telefoon;A;tel;;;;;;;;;;;;;\n");
  _tabs->editSettingBin(_sb);
  SBInput* in = field<SBInput>(11, 'N');
  typeInto(in, "123456789012345678901");
  EXPECT_EQ(1u, _dialogs->alerts.size());
  EXPECT_STREQ("12345678901234567890", in->value());
  EXPECT_STREQ("12345678901234567890", _sb->getEntry(11)->tfnr);
}

TEST_F(SBTabsTest, EmptyNumberWithDefaultShowsWhatIsStored) {
  // What the form shows is what is saved and programmed: an empty entry
  // shows empty, and the default is offered in the tooltip.
  writeConfigCsv("3;N;Interval;A;num:0-99|default:5;;;;;;;;;;;;;\n");
  _tabs->editSettingBin(_sb);
  SBInput* in = field<SBInput>(3, 'N');
  ASSERT_NE(nullptr, in);
  EXPECT_EQ(FL_INT_INPUT, in->input_type());
  EXPECT_STREQ("", in->value());
  ASSERT_NE(nullptr, in->tooltip());
  EXPECT_STREQ("Standaard waarde: 5", in->tooltip());
  EXPECT_STREQ("", _sb->getEntry(3)->tfnr);
  typeInto(in, "5");
  _sb->file("out.kvn");
  ASSERT_TRUE(_sb->storeToFile());
  std::string saved = readFile("out.kvn");
  EXPECT_EQ("|\n|\n|5\n", saved.substr(0, 7));
}

TEST_F(SBTabsTest, NumberFieldShowsStoredValueAndStoresEdits) {
  writeConfigCsv("3;N;Interval;A;num:0-99|default:5;;;;;;;;;;;;;\n");
  _sb->setEntry(3, nullptr, "42", false, SBEntry::INVALID_TYPE);
  _tabs->editSettingBin(_sb);
  SBInput* in = field<SBInput>(3, 'N');
  EXPECT_STREQ("42", in->value());
  typeInto(in, "7");
  EXPECT_STREQ("427", _sb->getEntry(3)->tfnr);
}

TEST_F(SBTabsTest, SelectionFieldStoresTheChosenValue) {
  writeConfigCsv("5;N;Zomertijd;A;sel:Aan:1|Uit:0;;;;;;;;;;;;;\n");
  _tabs->editSettingBin(_sb);
  SBInputChoice* ch = field<SBInputChoice>(5, 'N');
  ASSERT_NE(nullptr, ch);
  EXPECT_EQ(2, ch->size());
  EXPECT_STREQ("", ch->value());
  Fl_Menu_Button* m = ch->menubutton();
  m->picked(m->menu() + 1);
  EXPECT_STREQ("Uit", ch->value());
  EXPECT_STREQ("0", _sb->getEntry(5)->tfnr);
  m->picked(m->menu() + 0);
  EXPECT_STREQ("1", _sb->getEntry(5)->tfnr);
}

TEST_F(SBTabsTest, SelectionFieldShowsTheStoredItem) {
  writeConfigCsv("5;T;Taal;A;sel:Nederlands|Engels;;;;;;;;;;;;;\n");
  _sb->setEntry(5, "Engels", nullptr, false, SBEntry::INVALID_TYPE);
  _tabs->editSettingBin(_sb);
  SBInputChoice* ch = field<SBInputChoice>(5, 'T');
  EXPECT_STREQ("Engels", ch->value());
  EXPECT_EQ(1, ch->menuValue());
}

TEST_F(SBTabsTest, SelectionFieldWithUnknownValueStaysEmpty) {
  writeConfigCsv("5;N;Zomertijd;A;sel:Aan:1|Uit:0;;;;;;;;;;;;;\n");
  _sb->setEntry(5, nullptr, "7", false, SBEntry::INVALID_TYPE);
  _tabs->editSettingBin(_sb);
  SBInputChoice* ch = field<SBInputChoice>(5, 'N');
  EXPECT_STREQ("", ch->value());
  EXPECT_EQ(-1, ch->menuValue());
  EXPECT_STREQ("7", _sb->getEntry(5)->tfnr);
}

TEST_F(SBTabsTest, FocusShowsTheFieldsHelpPage) {
  writeFile("veld.html", "<html><body>veld</body></html>");
  writeFile("tab.html", "<html><body>tab</body></html>");
  writeConfigCsv("1;T;Een;A;ascii;veld.html;tab.html;;;;;;;;;;;\n");
  _tabs->editSettingBin(_sb);
  ASSERT_NE(nullptr, _help->filename());
  EXPECT_NE(nullptr, strstr(_help->filename(), "tab.html"));
  SBInput* in = field<SBInput>(1, 'T');
  in->take_focus();
  ASSERT_NE(nullptr, _help->filename());
  EXPECT_NE(nullptr, strstr(_help->filename(), "veld.html"));
}

TEST_F(SBTabsTest, ShowingASheetShowsItsHelpPage) {
  writeFile("a.html", "<html><body>a</body></html>");
  writeFile("b.html", "<html><body>b</body></html>");
  writeConfigCsv(
      "1;T;Een;A;ascii;;a.html;;;;;;;;;;;\n"
      "2;T;Twee;B;ascii;;b.html;;;;;;;;;;;\n");
  _tabs->editSettingBin(_sb);
  EXPECT_NE(nullptr, strstr(_help->filename(), "a.html"));
  _tabs->value(sheet(1));
  EXPECT_NE(nullptr, strstr(_help->filename(), "b.html"));
}

// The kinds that no form description line produces still make working fields.
TEST_F(SBTabsTest, ChoiceAndMenuButtonStoreTheChosenValue) {
  SBEntry* e1 = new SBEntry("4;N;Taal;A;sel:NL:1|UK:3;;;;;;;;;;;;;", _sb);
  SBEntry* e2 = new SBEntry("6;T;Mode;A;sel:Aan|Uit;;;;;;;;;;;;;", _sb);
  _sb->setEntry(4, nullptr, "3", false, SBEntry::INVALID_TYPE);
  _sb->setEntry(6, "Uit", nullptr, false, SBEntry::INVALID_TYPE);
  Fl_Group::current(nullptr);
  SBChoice* choice = new SBChoice(e1, _sb);
  SBMenuButton* menu = new SBMenuButton(e2, _sb);
  SBTabSheet* s = new SBTabSheet(_tabs, "A", "");
  choice->placeOnTabSheet(s);
  menu->placeOnTabSheet(s);
  EXPECT_EQ(1, choice->value());
  EXPECT_EQ(1, menu->value());
  EXPECT_STREQ("Uit", menu->tooltip());
  choice->picked(choice->menu() + 0);
  EXPECT_STREQ("1", _sb->getEntry(4)->tfnr);
  menu->picked(menu->menu() + 0);
  EXPECT_STREQ("Aan", _sb->getEntry(6)->text);
  EXPECT_STREQ("Aan", menu->tooltip());
  EXPECT_EQ(s->rightTxtMargin(), menu->x() + menu->w());
  EXPECT_EQ(s->rightNumMargin(), choice->x() + choice->w());
}
