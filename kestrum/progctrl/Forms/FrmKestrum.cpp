#include "FrmKestrum.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_GIF_Image.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Help_View.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Return_Button.H>
#include <FL/filename.H>

#include "ConfigInit.h"
#include "FrmKestrumImpl.h"
#include "KesInputChoice.h"
#include "Language.h"
#include "SBChoice.h"
#include "SBEntry.h"
#include "SBInput.h"
#include "SBInputChoice.h"
#include "SBMenuButton.h"
#include "SBTabs.h"
#include "ToolbarPixmaps.h"
#include "data/kestrum.xpm"
#include "lib/Flu/Flu_Combo_List.h"

namespace {
const char* const CONFIG_FILE = "config.csv";
const char* const STARTUP_PAGE = "Startup.html";
const char* const LOGO_FILE = "tolvan.gif";
const int FIELD_TEXT_SIZE = 12;

// Images are loaded once and kept for the program's life: widgets only
// point at them.
Fl_Pixmap* toolbarImage(const char* const* xpm) { return new Fl_Pixmap(xpm); }

struct Images {
  Fl_Pixmap* newImg = toolbarImage(ToolbarPixmaps::newXpm);
  Fl_Pixmap* openImg = toolbarImage(ToolbarPixmaps::openXpm);
  Fl_Pixmap* saveImg = toolbarImage(ToolbarPixmaps::saveXpm);
  Fl_Pixmap* downloadImg = toolbarImage(ToolbarPixmaps::downloadXpm);
  Fl_Pixmap* uploadImg = toolbarImage(ToolbarPixmaps::uploadXpm);
  Fl_Pixmap* optionsImg = toolbarImage(ToolbarPixmaps::optionsXpm);
  Fl_RGB_Image* icon = nullptr;
  Fl_GIF_Image* logo = nullptr;
  Images() {
    Fl_Pixmap pixmap(kestrum_xpm);
    icon = new Fl_RGB_Image(&pixmap);
  }
};

Images& images() {
  static Images* imgs = new Images();
  return *imgs;
}

Fl_GIF_Image* logo() {
  Images& imgs = images();
  if (!imgs.logo) imgs.logo = new Fl_GIF_Image(LOGO_FILE);
  return imgs.logo;
}

const char* tr(const char* text) { return gettext(text, 0); }

Fl_Button* toolbarButton(int x, int y, int w, int h, const char* label, const char* tip,
                         Fl_Image* img) {
  Fl_Button* b = new Fl_Button(x, y, w, h, tr(label));
  b->tooltip(tr(tip));
  b->image(img);
  b->box(FL_PLASTIC_UP_BOX);
  b->align(FL_ALIGN_IMAGE_OVER_TEXT | FL_ALIGN_INSIDE | FL_ALIGN_CENTER);
  b->labelsize(FIELD_TEXT_SIZE);
  return b;
}

Fl_Output* output(int x, int y, int w, int h, const char* label) {
  Fl_Output* o = new Fl_Output(x, y, w, h, tr(label));
  o->textsize(FIELD_TEXT_SIZE);
  o->box(FL_PLASTIC_DOWN_BOX);
  return o;
}

// Dialogs open over the middle of the main window.
void placeOver(Fl_Double_Window* dialog, const Fl_Double_Window* main) {
  if (!main) return;
  dialog->position(main->x() + (main->w() - dialog->w()) / 2,
                   main->y() + (main->h() - dialog->h()) / 2);
}

// Deletes a dialog once the toolkit is done with the event that asked for it.
void dropWindow(Fl_Double_Window*& w) {
  if (!w) return;
  w->hide();
  Fl::delete_widget(w);
  w = nullptr;
}
}  // namespace

FrmKestrum::FrmKestrum(TlctrlRoot* root, SettingBin* settingBin)
    : _frmImpl(nullptr),
      _configInit(nullptr),
      _ctrlRtSt(root),
      _ctrlBndSt(nullptr),
      _settingBin(settingBin),
      _window(nullptr),
      _grpMenu(nullptr),
      _btNieuw(nullptr),
      _btOpen(nullptr),
      _btOpslaan(nullptr),
      _btProgrammeren(nullptr),
      _btOphalen(nullptr),
      _btOpties(nullptr),
      _helpView(nullptr),
      _bxCompLogo(nullptr),
      _settingEdit(nullptr),
      _txtBestName(nullptr),
      _txtInTolTypeInstBest(nullptr),
      _txtTolType(nullptr),
      _txtTolSwVer(nullptr),
      _txtTolSpecial(nullptr),
      _txtTolHwVer(nullptr),
      _txtStatusInfo(nullptr),
      _btAfsluiten(nullptr),
      _btNewWindow(nullptr),
      _btNewChoiceTolType(nullptr),
      _btNewOk(nullptr),
      _btOptionsWindow(nullptr),
      _btOptComPort(nullptr),
      _optUpgrade(nullptr),
      _optVerify(nullptr),
      _btOptOk(nullptr),
      _txtSwDatumTijd(nullptr),
      _txtSwVersie(nullptr),
      _btCrtRevPackWndw(nullptr),
      _crtRevPackWndw(nullptr),
      _btSelectBin(nullptr),
      _txtBinDir(nullptr),
      _btCreateRevPack(nullptr),
      _btEditRestrictions(nullptr),
      _diffWindow(nullptr),
      _diffList(nullptr) {
  _frmImpl = new FrmKestrumImpl(this, root);
  _frmImpl->settingBin(settingBin);
  makeWindow();
  _window->icon(images().icon);
  show();
  _helpView->load(STARTUP_PAGE);
  _bxCompLogo->image(logo());
}

FrmKestrum::~FrmKestrum() {
  // The settings form unlinks its fields from the store while both exist.
  if (_settingEdit) _settingEdit->editClose();
  delete _btNewWindow;
  delete _btOptionsWindow;
  delete _crtRevPackWndw;
  delete _diffWindow;
  delete _window;
  delete _frmImpl;
  // Dialogs closed during the last events may still wait for deletion.
  Fl::do_widget_deletion();
}

void FrmKestrum::makeWindow() {
  Fl_Group* current = Fl_Group::current();
  Fl_Group::current(nullptr);
  int x = Fl::w() / 2 - WIDTH / 2;
  int y = Fl::h() / 2 - HEIGHT / 2;
  _window = new Fl_Double_Window(x, y, WIDTH, HEIGHT, tr("Tolvan Programmeer Omgeving"));
  _window->box(FL_PLASTIC_UP_BOX);
  _window->callback(cbAfsluiten, this);

  Images& img = images();
  _grpMenu = new Fl_Group(10, 10, 640, 55);
  _grpMenu->box(FL_PLASTIC_UP_BOX);
  _btNieuw = toolbarButton(15, 12, 65, 50, "Nieuw", "Nieuw", img.newImg);
  _btNieuw->callback(cbNieuw, this);
  _btOpen = toolbarButton(85, 12, 65, 50, "Open", "Open", img.openImg);
  _btOpen->callback(cbOpen, this);
  _btOpslaan = toolbarButton(155, 12, 65, 50, "Opslaan", "Opslaan", img.saveImg);
  _btOpslaan->callback(cbOpslaan, this);
  _btProgrammeren =
      toolbarButton(280, 12, 100, 50, "Programmeren", "Programmeer Tolvan", img.downloadImg);
  _btProgrammeren->callback(cbProgrammeren, this);
  _btOphalen =
      toolbarButton(395, 12, 100, 50, "Ophalen", "Haal Tolvan instellingen op", img.uploadImg);
  _btOphalen->callback(cbOphalen, this);
  _btOpties = toolbarButton(580, 12, 65, 50, "Opties", "Opties", img.optionsImg);
  _btOpties->callback(cbOpties, this);
  _grpMenu->end();

  _helpView = new Fl_Help_View(714, 10, 335, 555);
  _helpView->textfont(0);
  _helpView->textsize(15);

  _bxCompLogo = new Fl_Box(505, 90, 122, 125);

  _settingEdit = new SBTabs(10, 225, 700, 340);
  _settingEdit->configFile(CONFIG_FILE);
  _settingEdit->helpView(_helpView);

  Fl_Group* best = new Fl_Group(10, 85, 230, 130, tr("Instellingen Bestand"));
  best->box(FL_PLASTIC_UP_BOX);
  best->align(FL_ALIGN_TOP_LEFT);
  _txtBestName = output(85, 95, 150, 20, "Naam:");
  _txtBestName->deactivate();
  _txtInTolTypeInstBest = new Fl_Input(85, 125, 150, 20, tr("Tol. Type:"));
  _txtInTolTypeInstBest->textsize(FIELD_TEXT_SIZE);
  _txtInTolTypeInstBest->box(FL_PLASTIC_DOWN_BOX);
  _txtInTolTypeInstBest->when(FL_WHEN_CHANGED);
  _txtInTolTypeInstBest->callback(cbTolType, this);
  best->end();

  Fl_Group* tolvan = new Fl_Group(245, 85, 230, 130, tr("Tolvan"));
  tolvan->box(FL_PLASTIC_UP_BOX);
  tolvan->align(FL_ALIGN_TOP_LEFT);
  _txtTolType = output(320, 95, 150, 20, "Type:");
  _txtTolSwVer = output(320, 125, 150, 20, "SW Versie:");
  _txtTolSpecial = output(320, 155, 150, 20, "Special:");
  _txtTolHwVer = output(320, 185, 150, 20, "HW Versie:");
  _txtTolType->deactivate();
  _txtTolSwVer->deactivate();
  _txtTolSpecial->deactivate();
  _txtTolHwVer->deactivate();
  tolvan->end();

  _txtStatusInfo = output(80, 575, 570, 25, "Status Info:");

  _btAfsluiten = new Fl_Button(960, 575, 90, 25, tr("Afsluiten"));
  _btAfsluiten->box(FL_PLASTIC_UP_BOX);
  _btAfsluiten->callback(cbAfsluiten, this);

  _window->end();
  _window->resizable(nullptr);
  Fl_Group::current(current);
}

void FrmKestrum::show() {
  if (_window) _window->show();
}

void FrmKestrum::configInit(ConfigInit* configInit) {
  _configInit = configInit;
  if (_frmImpl) _frmImpl->configInit(configInit);
}

void FrmKestrum::txtStatusInfo(const char* text) {
  if (_txtStatusInfo) _txtStatusInfo->value(text ? text : "");
}

void FrmKestrum::showTolvanGroup(const char* type, const char* swVer, const char* special,
                                 const char* hwVer) {
  const char* shown = type ? type : "";
  if (_configInit) shown = _configInit->customTolType(shown);
  _txtTolType->value(shown);
  _txtTolSwVer->value(swVer ? swVer : "");
  _txtTolSpecial->value(special ? special : "");
  _txtTolHwVer->value(hwVer ? hwVer : "");
}

void FrmKestrum::showBestGroup(const char* file, const char* type) {
  if (file) _txtBestName->value(fl_filename_name(file));
  if (type) _txtInTolTypeInstBest->value(_configInit ? _configInit->customTolType(type) : type);
}

void FrmKestrum::createSettingEdit() {
  _settingEdit->editClose();
  if (_frmImpl) _frmImpl->settingEditCleared();
  _settingEdit->editSettingBin(_settingBin);
}

void FrmKestrum::removeSettingEdit() {
  _settingEdit->editClose();
  if (_frmImpl) _frmImpl->settingEditCleared();
}

void FrmKestrum::makeNewWindow() {
  deleteNewWindow();
  Fl_Group* current = Fl_Group::current();
  Fl_Group::current(nullptr);
  _btNewWindow = new Fl_Double_Window(286, 75, tr("Selecteer Tolvan Type"));
  _btNewWindow->callback(cbNewClose, this);
  _btNewChoiceTolType = new Flu_Combo_List(80, 15, 200, 25, tr("Tolvan Type:"));
  _btNewChoiceTolType->align(FL_ALIGN_LEFT);
  _btNewChoiceTolType->editable(false);
  _btNewChoiceTolType->callback(cbNewChoice, this);
  _btNewOk = new Fl_Return_Button(210, 45, 70, 25, tr("OK"));
  _btNewOk->callback(cbNewOk, this);
  _btNewWindow->end();
  placeOver(_btNewWindow, _window);
  Fl_Group::current(current);
}

void FrmKestrum::deleteNewWindow() {
  dropWindow(_btNewWindow);
  _btNewChoiceTolType = nullptr;
  _btNewOk = nullptr;
}

void FrmKestrum::makeOptionsWindow() {
  deleteOptionsWindow();
  Fl_Group* current = Fl_Group::current();
  Fl_Group::current(nullptr);
  _btOptionsWindow = new Fl_Double_Window(293, 192, tr("Opties"));
  _btOptionsWindow->callback(cbOptClose, this);
  _btOptComPort = new KesInputChoice(140, 10, 150, 25, tr("Com Poort:"));
  _btOptComPort->align(FL_ALIGN_LEFT);
  _btOptComPort->textsize(FIELD_TEXT_SIZE);
  _optUpgrade = new Fl_Check_Button(180, 40, 20, 25, tr("Enable software upgrade: "));
  _optUpgrade->align(FL_ALIGN_LEFT);
  _optUpgrade->callback(cbOptUpgrade, this);
  _btOptOk = new Fl_Button(230, 40, 60, 24, tr("OK"));
  _btOptOk->callback(cbOptOk, this);
  _txtSwVersie = output(140, 100, 150, 25, "SW Versie:");
  _txtSwDatumTijd = output(140, 130, 150, 25, "SW Datum / Tijd");
  _btCrtRevPackWndw = new Fl_Button(10, 70, 125, 25, tr("Create Rev. Pack"));
  _btCrtRevPackWndw->callback(cbCrtRevPack, this);
  _btCrtRevPackWndw->hide();
  // Below the rest, so that the other widgets keep their places.
  _optVerify = new Fl_Check_Button(265, 160, 20, 25, tr("Controleren na programmeren"));
  _optVerify->align(FL_ALIGN_LEFT);
  _optVerify->tooltip(tr("Na het programmeren de instellingen teruglezen en vergelijken"));
  _optVerify->callback(cbOptVerify, this);
  _btOptionsWindow->end();
  placeOver(_btOptionsWindow, _window);
  Fl_Group::current(current);
}

void FrmKestrum::deleteOptionsWindow() {
  dropWindow(_btOptionsWindow);
  _btOptComPort = nullptr;
  _optUpgrade = nullptr;
  _optVerify = nullptr;
  _btOptOk = nullptr;
  _txtSwDatumTijd = nullptr;
  _txtSwVersie = nullptr;
  _btCrtRevPackWndw = nullptr;
}

void FrmKestrum::makeCrtRevPackWndw() {
  deleteCrtRevPackWndw();
  Fl_Group* current = Fl_Group::current();
  Fl_Group::current(nullptr);
  _crtRevPackWndw = new Fl_Double_Window(363, 169, tr("Create RevPack Db"));
  _crtRevPackWndw->callback(cbCrtRevPackClose, this);
  _btSelectBin = toolbarButton(15, 15, 80, 50, "Select Bin",
                               "Select a bin file in the directory where all the bin files are stored",
                               images().openImg);
  _btSelectBin->callback(cbSelectBin, this);
  _txtBinDir = output(15, 90, 335, 25, "Bin dir.");
  _txtBinDir->align(FL_ALIGN_TOP_LEFT);
  _btCreateRevPack = new Fl_Button(215, 120, 135, 35, tr("Gen. RevPack Db"));
  _btCreateRevPack->tooltip(tr("Generate the RevPack Database"));
  _btCreateRevPack->callback(cbCreateRevPack, this);
  _btEditRestrictions =
      toolbarButton(245, 15, 105, 50, "Edit restrictions",
                    "Open the default restrictions. These will be added to the revpack",
                    images().openImg);
  _btEditRestrictions->callback(cbEditRestrictions, this);
  _crtRevPackWndw->end();
  placeOver(_crtRevPackWndw, _window);
  Fl_Group::current(current);
}

void FrmKestrum::deleteCrtRevPackWndw() {
  dropWindow(_crtRevPackWndw);
  _btSelectBin = nullptr;
  _txtBinDir = nullptr;
  _btCreateRevPack = nullptr;
  _btEditRestrictions = nullptr;
}

namespace {
// The description a field of the form edits; null for other widgets.
const SBEntry* fieldEntry(Fl_Widget* w) {
  if (SBInput* f = dynamic_cast<SBInput*>(w)) return f->sbEntry();
  if (SBInputChoice* f = dynamic_cast<SBInputChoice*>(w)) return f->sbEntry();
  if (SBChoice* f = dynamic_cast<SBChoice*>(w)) return f->sbEntry();
  if (SBMenuButton* f = dynamic_cast<SBMenuButton*>(w)) return f->sbEntry();
  return nullptr;
}

// A browser column shown as it is: no format characters.
std::string column(const std::string& text) { return "@." + text; }
}  // namespace

void FrmKestrum::showDifferences(const std::vector<SettingDiff::Difference>& differences) {
  // Marks in the form; they go when the form is built anew.
  for (int t = 0; _settingEdit && t < _settingEdit->children(); ++t) {
    Fl_Group* sheet = _settingEdit->child(t)->as_group();
    for (int i = 0; sheet && i < sheet->children(); ++i) {
      Fl_Widget* w = sheet->child(i);
      const SBEntry* e = fieldEntry(w);
      if (!e) continue;
      for (const SettingDiff::Difference& d : differences) {
        if (d.entry != e->entry() || d.list != e->list()) continue;
        w->color(static_cast<Fl_Color>(DIFF_COLOR));
        if (KesInputChoice* c = dynamic_cast<KesInputChoice*>(w))
          c->input()->color(static_cast<Fl_Color>(DIFF_COLOR));
        w->redraw();
      }
    }
  }
  deleteDiffWindow();
  if (differences.empty()) return;
  Fl_Group* current = Fl_Group::current();
  Fl_Group::current(nullptr);
  _diffWindow = new Fl_Double_Window(620, 300, tr("Verschillen"));
  _diffWindow->callback(cbDiffClose, this);
  _diffList = new Fl_Browser(10, 10, 600, 280);
  static const int widths[] = {130, 170, 150, 150, 0};
  _diffList->column_widths(widths);
  _diffList->column_char('\t');
  _diffList->textsize(FIELD_TEXT_SIZE);
  _diffList->add((std::string("@b") + tr("Tab") + "\t@b" + tr("Veld") + "\t@b" + tr("Bestand") + "\t@b" +
                  tr("Tolvan")).c_str());
  for (const SettingDiff::Difference& d : differences) {
    std::string field = d.field.empty() ? std::to_string(d.entry) + " " + tr(d.list == 'T' ? "tekst" : "nummer")
                                        : d.field;
    _diffList->add((column(d.tab) + "\t" + column(field) + "\t" + column(d.fileValue) + "\t" +
                    column(d.deviceValue)).c_str());
  }
  _diffWindow->end();
  _diffWindow->resizable(_diffList);
  placeOver(_diffWindow, _window);
  Fl_Group::current(current);
  _diffWindow->show();
}

void FrmKestrum::deleteDiffWindow() {
  dropWindow(_diffWindow);
  _diffList = nullptr;
}

// The callbacks hand the action to FrmKestrumImpl.
void FrmKestrum::cbNieuw(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->btNewSb();
}
void FrmKestrum::cbOpen(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->btOpenSb();
}
void FrmKestrum::cbOpslaan(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->btStoreSb();
}
void FrmKestrum::cbProgrammeren(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->btProgrammeren();
}
void FrmKestrum::cbOphalen(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->btOphalen();
}
void FrmKestrum::cbOpties(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->btOptionsWindow();
}
void FrmKestrum::cbTolType(Fl_Widget* w, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->tolTypeChanged(static_cast<Fl_Input*>(w)->value());
}
void FrmKestrum::cbAfsluiten(Fl_Widget*, void* data) {
  // Escape closes dialogs, but must not end the program.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  static_cast<FrmKestrum*>(data)->_frmImpl->closeRequest();
}
void FrmKestrum::cbNewChoice(Fl_Widget*, void*) {
  // The combo list has already copied the chosen type into its field.
}
void FrmKestrum::cbNewOk(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->btNewSbOk();
}
void FrmKestrum::cbNewClose(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->deleteNewWindow();
}
void FrmKestrum::cbOptOk(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->btOptionsOk();
}
void FrmKestrum::cbOptUpgrade(Fl_Widget*, void*) {
  // Read when the dialog is confirmed.
}
void FrmKestrum::cbOptVerify(Fl_Widget* w, void* data) {
  bool on = static_cast<Fl_Check_Button*>(w)->value() != 0;
  static_cast<FrmKestrum*>(data)->_frmImpl->verifyAfterProgramming(on);
}
void FrmKestrum::cbOptClose(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->btOptionsClose();
}
void FrmKestrum::cbCrtRevPack(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->btCrtRevPackWndw();
}
void FrmKestrum::cbSelectBin(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->btSelectBin();
}
void FrmKestrum::cbCreateRevPack(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->btCreateRevPack();
}
void FrmKestrum::cbEditRestrictions(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->_frmImpl->btEditRestrictions();
}
void FrmKestrum::cbDiffClose(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->deleteDiffWindow();
}
void FrmKestrum::cbCrtRevPackClose(Fl_Widget*, void* data) {
  static_cast<FrmKestrum*>(data)->deleteCrtRevPackWndw();
}
