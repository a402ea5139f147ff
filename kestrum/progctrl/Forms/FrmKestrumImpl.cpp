#include "FrmKestrumImpl.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Return_Button.H>
#include <FL/filename.H>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BDiag.h"
#include "ConfigInit.h"
#include "FrmKestrum.h"
#include "KesInputChoice.h"
#include "RevPackDb.h"
#include "BLocalEvent.h"
#include "SBTabSheet.h"
#include "RPrefPackList.h"
#include "RPbtUpgrade.h"
#include "RPbinList.h"
#include "RPallowHwList.h"
#include "RPOut.h"
#include "Language.h"
#include "SBTabs.h"
#include "SettingBin.h"
#include "SwVersion.h"
#include "TlctrlBndToProt.h"
#include "TlctrlDldReqEvt.h"
#include "TlctrlReadBack.h"
#include "TlctrlRoot.h"
#include "TlctrlUplReqEvt.h"
#include "TextUtil.h"
#include "UserDialog.h"
#include "lib/Flu/Flu_Combo_List.h"
#include "lib/Flu/flu_dir_chooser.h"
#include "lib/Flu/flu_file_chooser.h"
#include "main/Main.h"

namespace {
char g_noFile[1] = "";

FrmKestrumImpl::Chooser g_fileChooser = nullptr;
FrmKestrumImpl::Chooser g_dirChooser = nullptr;
FrmKestrumImpl::Editor g_editor = nullptr;

const char* tr(const char* text) { return gettext(text, 0); }

// Opens path with the desktop's handler for it, without a shell and without
// leaving a child behind.
void openInEditor(const char* path) {
  pid_t pid = fork();
  if (pid < 0) return;
  if (pid == 0) {
    if (fork() == 0) {
      execlp("xdg-open", "xdg-open", path, static_cast<char*>(nullptr));
      _exit(127);
    }
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

// Why name cannot be opened as a settings file; empty when it can. A
// directory opens for reading on this platform but yields nothing; a
// settings file is a short text.
std::string openProblem(const std::string& name) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::is_directory(name, ec)) return tr("dit is een map, geen bestand");
  FILE* fd = fopen(name.c_str(), "rb");
  if (!fd) return strerror(errno);
  char buf[4096];
  size_t total = 0, n;
  bool text = true;
  while (text && (n = fread(buf, 1, sizeof buf, fd)) > 0) {
    total += n;
    text = memchr(buf, '\0', n) == nullptr && total <= FrmKestrumImpl::MAX_KVN_BYTES;
  }
  bool failed = ferror(fd) != 0;
  fclose(fd);
  if (failed) return tr("het bestand kan niet gelezen worden");
  if (!text) return tr("dit is geen instellingen bestand");
  return "";
}
}  // namespace

char* FrmKestrumImpl::PROG_FILE_KVN = g_noFile;
bool FrmKestrumImpl::CMDL_PROGRAM = false;
bool FrmKestrumImpl::CREATE_REVPACK = false;

void FrmKestrumImpl::fileChooser(Chooser chooser) { g_fileChooser = chooser; }
FrmKestrumImpl::Chooser FrmKestrumImpl::fileChooser() {
  return g_fileChooser ? g_fileChooser : flu_file_chooser;
}
void FrmKestrumImpl::dirChooser(Chooser chooser) { g_dirChooser = chooser; }
FrmKestrumImpl::Chooser FrmKestrumImpl::dirChooser() {
  return g_dirChooser ? g_dirChooser : flu_dir_chooser;
}
void FrmKestrumImpl::editor(Editor editor) { g_editor = editor; }

FrmKestrumImpl::FrmKestrumImpl(FrmKestrum* frame, TlctrlRoot* root)
    : _frame(frame),
      _root(root),
      _configInit(nullptr),
      _settingBin(nullptr),
      _nrTols(0),
      _rpDb(nullptr),
      _ctrlBnd(nullptr),
      _rpList(nullptr),
      _binList(nullptr),
      _btUpgrade(nullptr),
      _closeQuestion(nullptr),
      _closeYes(nullptr) {
  for (char*& t : _tolTypes) t = nullptr;
  Fl::scheme("plastic");
  CMDL_PROGRAM = PROG_FILE_KVN && PROG_FILE_KVN[0] != '\0';
}

FrmKestrumImpl::~FrmKestrumImpl() { delete _closeQuestion; }

bool FrmKestrumImpl::unattended() {
  // The run's switch, or command-line work still under way (set before the
  // switch in some callers, such as the window's own tests).
  return UserDialog::unattended() || CMDL_PROGRAM || RevPackDb::CMDL_UPGRADE;
}

bool FrmKestrumImpl::confirmDiscard() {
  // A command-line run has nobody to ask; it never edits either.
  if (!_settingBin || !_settingBin->modified() || unattended()) return true;
  std::string question = std::string(tr("Attentie!!")) + "\n" +
                         tr("De instellingen zijn gewijzigd en niet opgeslagen.") + "\n" +
                         tr("Wilt u ze eerst opslaan?") + "\n";
  // The first button is also what Escape and closing the dialog give.
  switch (UserDialog::choice(question.c_str(), tr("Annuleren"), tr("Opslaan"), tr("Niet opslaan"))) {
    case 1:
      btStoreSb();
      // A cancelled or failed save keeps the edits, and the user here.
      return !_settingBin->modified();
    case 2:
      return true;
    default:
      return false;
  }
}

void FrmKestrumImpl::btAfsluiten() {
  if (confirmDiscard()) shutdown();
}

void FrmKestrumImpl::btNewSb() {
  if (!confirmDiscard()) return;
  _frame->makeNewWindow();
  std::vector<const char*> types;
  if (_configInit) types = _configInit->tolTypes();
  std::sort(types.begin(), types.end(),
            [](const char* a, const char* b) { return strcmp(a, b) < 0; });
  Flu_Combo_List* combo = _frame->btNewChoiceTolType();
  for (const char* t : types) combo->list.add(t);
  _frame->btNewWindow()->show();
}

void FrmKestrumImpl::btNewSbOk() {
  if (!_frame->btNewChoiceTolType()) return;
  // The dialog goes away below; the type must outlive it.
  std::string type = _frame->btNewChoiceTolType()->value();
  // Without a type there are no new settings: the old ones stay as they are.
  const char* device = _configInit ? _configInit->quorelTolType(type.c_str()) : "";
  if (type.empty() || !device || !*device) {
    _frame->deleteNewWindow();
    return;
  }
  _frame->showBestGroup(nullptr, type.c_str());
  if (_settingBin) {
    _settingBin->editFromDownload(false);
    _settingBin->tolTypeFromNew(type.c_str(), true);
    // Nothing is lost by closing settings that nobody has filled in yet.
    _settingBin->markUnmodified();
  }
  _frame->deleteNewWindow();
}

void FrmKestrumImpl::tolTypeChanged(const char* customType) {
  if (_settingBin) _settingBin->tolTypeFromNew(customType, false);
}

void FrmKestrumImpl::btOpenSb() {
  if (!_settingBin) return;
  bool armed = false;
  std::string name;
  if (CMDL_PROGRAM) {
    name = PROG_FILE_KVN;
  } else {
    if (!confirmDiscard()) return;
    // The device must not be declared lost while the user looks for a file.
    if (_root) {
      armed = _root->isArmedLifeCkTimeout();
      _root->stopLifeCkTimeout();
    }
    const char* chosen = fileChooser()(tr("Selecteer Bestand"), "*.kvn", _settingBin->file());
    if (chosen && !Main::stopRequested()) name = chosen;
  }
  if (!name.empty()) {
    std::string problem = openProblem(name);
    if (problem.empty()) {
      _frame->showBestGroup(name.c_str(), nullptr);
      _settingBin->editFromDownload(false);
      _settingBin->file(name.c_str());
      _settingBin->loadFromFile();
    } else {
      B_EXCEPTION(" File:" << name << " can not be openened!! " << problem);
      printf("Exception:  File:%s can not be openened!! %s\n", name.c_str(), problem.c_str());
      fflush(stdout);
      // The settings on screen are still the old ones: the user must know.
      if (!unattended()) {
        std::string text = std::string(tr("Fout!! Bestand")) + " \"" + name + "\" " +
                           tr("kan niet geopend worden") + ":\n" + problem + "\n";
        UserDialog::alert(text.c_str());
      }
    }
  }
  if (armed) _root->startLifeCkTimeout();
}

const char* FrmKestrumImpl::askStoreName() {
  static std::string name;
  for (;;) {
    const char* chosen =
        fileChooser()(tr("Opslaan van Setting Bestand"), "*.kvn", _settingBin->file());
    // A stop signal closed the chooser: nothing is saved under a half-typed name.
    if (!chosen || Main::stopRequested()) return nullptr;
    name = chosen;
    if (strcmp(fl_filename_ext(name.c_str()), ".kvn") == 0) return name.c_str();
    UserDialog::beep();
    char line[2400];
    std::string question;
    snprintf(line, sizeof line, "%s %s\n", tr("Attentie!! Bestands naam:"), name.c_str());
    question += line;
    snprintf(line, sizeof line, "%s '.kvn'\n", tr("bevat geen extensie"));
    question += line;
    snprintf(line, sizeof line, "%s\n", tr("Deze bestands naam is correct?"));
    question += line;
    int answer = UserDialog::choice(question.c_str(), tr("Nee"), tr("Ja"), nullptr);
    if (answer == 1) return name.c_str();
    if (answer == UserDialog::NO_ANSWER) return nullptr;
  }
}

void FrmKestrumImpl::btStoreSb() {
  if (!_settingBin) return;
  bool armed = false;
  if (_root) {
    armed = _root->isArmedLifeCkTimeout();
    _root->stopLifeCkTimeout();
  }
  const char* name = askStoreName();
  if (name) {
    std::string file = name;
    _frame->showBestGroup(file.c_str(), nullptr);
    _settingBin->file(file.c_str());
    _settingBin->storeToFile();
  }
  if (armed) _root->startLifeCkTimeout();
}

void FrmKestrumImpl::btProgrammeren() {
  if (TlctrlBndToProt* bnd = _frame->ctrlBndSt()) bnd->sendLocal(new TlctrlUplReqEvt());
}

void FrmKestrumImpl::btOphalen() {
  // What the device holds replaces the settings.
  if (!confirmDiscard()) return;
  if (TlctrlBndToProt* bnd = _frame->ctrlBndSt()) bnd->sendLocal(new TlctrlDldReqEvt());
}

void FrmKestrumImpl::btOptionsWindow() {
  _frame->makeOptionsWindow();
  KesInputChoice* port = _frame->btOptComPort();
  // The port in use comes first, even when empty or also found below. The
  // menu merges items of equal text, so the first item gets its text only
  // after the found ports are in.
  port->add("");
  if (_configInit) {
    char* ports[ConfigInit::MAX_NR_COMS];
    uint8_t n = _configInit->comPorts(ports);
    for (uint8_t i = 0; i < n; i++)
      if (ports[i][0] != '\0') port->add(ports[i]);
  }
  port->menubutton()->replace(0, _configInit ? _configInit->comActive() : "");
  port->value(0);
  char stamp[64];
  snprintf(stamp, sizeof stamp, "%s, %s", __DATE__, __TIME__);
  _frame->txtSwDatumTijd()->value(stamp);
  _frame->txtSwVersie()->value(Sw_VERSION);
  _frame->optUpgrade()->hide();
  if (_root && _root->readBack() && _frame->optVerify())
    _frame->optVerify()->value(_root->readBack()->verifyAfterProgramming() ? 1 : 0);
  if (CREATE_REVPACK) _frame->btCrtRevPackWndw()->show();
  // The upgrade option is offered when there are revision packs.
  if (_root) {
    _root->createRevPack();
    if (_root->revPack() && _root->revPack()->exist()) _frame->optUpgrade()->show();
  }
  _frame->btOptionsWindow()->show();
}

void FrmKestrumImpl::btOptionsOk() {
  if (!_frame->btOptionsWindow()) return;
  if (_configInit) _configInit->comActive(_frame->btOptComPort()->value());
  if (TlctrlBndToProt* bnd = _frame->ctrlBndSt()) bnd->portSettings();
  btOptCkSwUpgrade();
  _frame->deleteOptionsWindow();
}

void FrmKestrumImpl::btOptionsClose() {
  btOptCkSwUpgrade();
  _frame->deleteOptionsWindow();
}

void FrmKestrumImpl::btOptCkSwUpgrade() {
  bool wanted = (_root && _root->upgrInitByTol()) ||
                (_frame->optUpgrade() && _frame->optUpgrade()->value());
  if (!wanted) {
    // The settings form stays; an upgrade sheet shown before gives way to it.
    SBTabs* tabs = _frame->settingEdit();
    if (tabs && tabs->settingBin()) return;
    if (_settingBin && _settingBin->tolType()[0] != '\0')
      _frame->createSettingEdit();
    else
      _frame->removeSettingEdit();
    return;
  }
  if (_root && !_root->revPack()) _root->createRevPack();
  // Without revision packs there is nothing to upgrade from.
  RevPackDb* db = _root ? _root->revPack() : nullptr;
  if (!db || db->nrRpaFiles() == 0) return;
  _frame->removeSettingEdit();
  _root->stopLifeCkTimeout();
  _root->activeLifeCk(false);
  SBTabs* tabs = _frame->settingEdit();
  if (!tabs) return;
  SBTabSheet* sheet = new SBTabSheet(tabs, tr("RevPack Software Upgrade"), "TabRevPacks.html");
  RPOut* type = new RPOut("Tolvan Type: ");
  RPOut* version = new RPOut("Software Version: ");
  RPOut* hardware = new RPOut("Hardware Version: ");
  RPOut* special = new RPOut("Software Special: ");
  RPallowHwList* allowed = new RPallowHwList();
  _binList = new RPbinList(db, type, version, hardware, special, _root, allowed);
  _rpList = new RPrefPackList(db, _binList, _root);
  _binList->refreshList();
  _rpList->placeOnTabSheet(sheet);
  _binList->placeOnTabSheet(sheet);
  for (RPOut* out : {type, version, hardware, special}) out->placeOnTabSheet(sheet);
  allowed->placeOnTabSheet(sheet);
  _btUpgrade = new RPbtUpgrade(this);
  _btUpgrade->placeOnTabSheet(sheet);
  tabs->value(sheet);
  tabs->redraw();
}

void FrmKestrumImpl::verifyAfterProgramming(bool on) {
  if (_root && _root->readBack()) _root->readBack()->verifyAfterProgramming(on);
}

void FrmKestrumImpl::btCrtRevPackWndw() {
  _frame->makeCrtRevPackWndw();
  _frame->crtRevPackWndw()->show();
}

void FrmKestrumImpl::btSelectBin() {
  if (!_frame->txtBinDir()) return;
  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  const char* dir = dirChooser()(tr("Select a dir where *.bin files are stored"), "*.bin",
                                 cwd.c_str());
  _frame->txtBinDir()->value(dir ? dir : "");
}

void FrmKestrumImpl::btCreateRevPack() {
  if (!_frame->crtRevPackWndw()) return;
  std::string report;
  if (_root) {
    _root->createRevPack();
    if (RevPackDb* db = _root->revPack()) {
      db->createDb(_frame->txtBinDir()->value());
      report = db->createReport();
    }
  }
  _frame->deleteCrtRevPackWndw();
  // The user sees what came of it: the pack, the files left out, or why
  // nothing was made.
  if (!report.empty()) UserDialog::alert(report.c_str());
}

void FrmKestrumImpl::btEditRestrictions() {
  char path[2048];
  snprintf(path, sizeof path, "%s/%s.%s", "RevPacks", "SwHwRestrictions", "txt");
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !RevPackDb::writeDefaultRestrictions(path)) return;
  (g_editor ? g_editor : openInEditor)(path);
}

bool FrmKestrumImpl::btExecUpgrade() {
  bool byDevice = _root && _root->upgrInitByTol();
  const char* bin = _binList ? _binList->value() : nullptr;
  if (!byDevice && (!bin || !*bin || !_root || !_root->connected())) return false;
  Fl_Widget* widgets[] = {_btUpgrade, _rpList, _binList};
  for (Fl_Widget* w : widgets)
    if (w) w->deactivate();
  _ctrlBnd = _frame->ctrlBndSt();
  _rpDb = _root ? _root->revPack() : nullptr;
  bool ok = _rpDb && bin && *bin && _rpList;
  if (ok) ok = _rpDb->checkCheckSum(_rpList->value(), false);
  if (ok && !byDevice) ok = _rpDb->checkTypeSwHwVers(bin);
  if (ok) ok = _rpDb->setBootData(nullptr);
  if (!ok) {
    if (_root) {
      _root->activeLifeCk(true);
      _root->startLifeCkTimeout();
    }
    for (Fl_Widget* w : widgets)
      if (w) w->activate();
    return false;
  }
  std::string settingsFile = _rpDb->setBinData(bin);
  _root->binFileSet(true);
  _root->activeLifeCk(true);
  if (byDevice) return true;
  if (settingsFile.empty()) {
    if (_ctrlBnd) _ctrlBnd->sendLocal(new BLocalEvent(TlctrlRoot::LOC_UPGRADE_REQ, true));
  } else if (TextUtil::readableFile(settingsFile.c_str())) {
    // The pack's settings go into the device first; the upgrade follows.
    _frame->showBestGroup(settingsFile.c_str(), nullptr);
    _settingBin->editFromDownload(false);
    _settingBin->file(settingsFile.c_str());
    _settingBin->loadFromFile();
    _settingBin->progPreUpgrade(true);
    if (_ctrlBnd) _ctrlBnd->sendLocal(new TlctrlUplReqEvt(), STATE_ROOT);
  }
  return true;
}

bool FrmKestrumImpl::checkTypeHwVers() {
  if (!_rpDb || !_binList) {
    B_EXCEPTION("rpDb and binList has no value");
    return false;
  }
  const char* bin = _binList->value();
  if (!bin || !*bin) return false;
  return _rpDb->checkTypeSwHwVers(bin);
}

void FrmKestrumImpl::cursorBusy(bool busy) {
  if (_frame->window()) _frame->window()->cursor(busy ? FL_CURSOR_WAIT : FL_CURSOR_DEFAULT);
}

void FrmKestrumImpl::activateButtons(bool on) {
  Fl_Button* buttons[] = {_frame->btNieuw(),         _frame->btOpen(),    _frame->btOpslaan(),
                          _frame->btProgrammeren(), _frame->btOphalen(), _frame->btOpties()};
  for (Fl_Button* b : buttons) {
    if (!b) continue;
    if (on)
      b->activate();
    else
      b->deactivate();
  }
}

void FrmKestrumImpl::closeRequest() {
  // Leaving now would strand the device in its boot loader. An unattended
  // run has nobody to ask; it ends as failed (the upgrade set the code).
  if (_root && _root->upgradeActive() && !unattended()) {
    UserDialog::beep();
    if (UserDialog::script()) {
      if (UserDialog::choice(tr("Upgrade bezig: toch afsluiten?"), tr("Nee"), tr("Ja"), nullptr) == 1) shutdown();
    } else {
      showCloseQuestion();
    }
    return;
  }
  btAfsluiten();
}

void FrmKestrumImpl::showCloseQuestion() {
  if (_closeQuestion) {
    _closeQuestion->show();
    return;
  }
  // Not fl_choice: its loop would hold the controller, and a device left
  // without packets while the user reads gives the upgrade up.
  _closeQuestion = new Fl_Double_Window(330, 100, tr("Afsluiten"));
  Fl_Box* text = new Fl_Box(10, 10, 310, 45, tr("Upgrade bezig: toch afsluiten?"));
  text->align(FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
  Fl_Button* no = new Fl_Return_Button(150, 65, 80, 25, tr("Nee"));
  no->callback(cbCloseQuestion, this);
  Fl_Button* yes = new Fl_Button(240, 65, 80, 25, tr("Ja"));
  yes->callback(cbCloseQuestion, this);
  _closeYes = yes;
  _closeQuestion->callback(cbCloseQuestion, this);
  _closeQuestion->end();
  _closeQuestion->set_modal();
  _closeQuestion->show();
}

void FrmKestrumImpl::cbCloseQuestion(Fl_Widget* w, void* data) {
  FrmKestrumImpl* self = static_cast<FrmKestrumImpl*>(data);
  self->closeQuestionAnswered(w == self->_closeYes);
}

void FrmKestrumImpl::closeQuestionAnswered(bool close) {
  if (_closeQuestion) {
    _closeQuestion->hide();
    Fl::delete_widget(_closeQuestion);
    _closeQuestion = nullptr;
    _closeYes = nullptr;
  }
  if (close) shutdown();
}

void FrmKestrumImpl::settingEditCleared() {
  bool hadSheet = _btUpgrade || _rpList || _binList;
  // The toolkit deleted the sheet's widgets with the tabs.
  _btUpgrade = nullptr;
  _rpList = nullptr;
  _binList = nullptr;
  if (_root && (hadSheet || !_root->activeLifeCk())) _root->upgradeSheetLeft();
}

void FrmKestrumImpl::upgradeEnded() {
  Fl_Widget* widgets[] = {_btUpgrade, _rpList, _binList};
  for (Fl_Widget* w : widgets)
    if (w) w->activate();
}

void FrmKestrumImpl::shutdown() {
  BDiag::print("=-->FrmKestrumImpl::shutdown");
  Main::_shutdown = true;
}
