#include "TlctrlRoot.h"

#include <cstring>

#include "BTimer.h"
#include "TolProgIds.h"

TlctrlRoot::TlctrlRoot()
    : BRootState("Tlctrl", TOL_PROG, PROG_CTRL, PRIO_4),
      _lifeCkTmr(new BTimer()),
      _lifeCkTimeout(new BTimer()),
      _frame(nullptr),
      _frmImpl(nullptr),
      _tolSettingBin(nullptr),
      _configInit(nullptr),
      _prclVersion(1),
      _revPack(nullptr),
      _binFileSet(false),
      _upgrInitByTol(false),
      _actLifeCk(true),
      _showErrorAlert(true),
      _connected(false),
      _bndToProt(nullptr) {
  resetErrors();
  _lastRevpackFile[0] = '\0';
  _lastBinFile[0] = '\0';
}

TlctrlRoot::~TlctrlRoot() {
  delete _lifeCkTmr;
  delete _lifeCkTimeout;
}

void TlctrlRoot::copyPath(char* dst, const char* src) {
  strncpy(dst, src ? src : "", PATH_SIZE - 1);
  dst[PATH_SIZE - 1] = '\0';
}

void TlctrlRoot::onEntry(const BEvent*) {}
void TlctrlRoot::onSetup(BBinding* b) { accept(b); }
void TlctrlRoot::onRelease(BBinding*) {}
void TlctrlRoot::printStateData(int, char**) {}
void TlctrlRoot::startLifeCkTmr() {}
void TlctrlRoot::stopLifeCkTmr() {}
void TlctrlRoot::startLifeCkTimeout() {}
void TlctrlRoot::restartLifeCkTimeout() {}
void TlctrlRoot::stopLifeCkTimeout() {}
bool TlctrlRoot::isArmedLifeCkTimeout() const { return _lifeCkTimeout->armed(); }
bool TlctrlRoot::isArmedLifeCkTmr() const { return _lifeCkTmr->armed(); }
void TlctrlRoot::frmStatusInfo(const char*, bool) {}
void TlctrlRoot::frmRmSetEdit() {}
void TlctrlRoot::frmCtrlBndSt(TlctrlBndToProt* bnd) { _bndToProt = bnd; }
void TlctrlRoot::frmSetCursorBusy(bool) {}
void TlctrlRoot::frmActivateButtons(bool) {}
void TlctrlRoot::setError(Error error, bool on) {
  if (error >= 0 && error < CTRL_ERR_SIZE) _tlPrErrors[error] = on;
}
bool TlctrlRoot::error(Error error) const {
  return error >= 0 && error < CTRL_ERR_SIZE && _tlPrErrors[error];
}
void TlctrlRoot::resetErrors() {
  for (bool& e : _tlPrErrors) e = false;
}
std::string TlctrlRoot::errorText() const { return ""; }
const char* TlctrlRoot::errorTextOf(Error) { return ""; }
void TlctrlRoot::errorStatusByte(uint8_t) {}
void TlctrlRoot::sbStoreStInfo(const TlctrlStiEvt*, const TlctrlBootInf*) {}
void TlctrlRoot::sbEntry(const TlprotSeeEvt*) {}
bool TlctrlRoot::sbValidEntry(uint8_t) { return false; }
bool TlctrlRoot::sbCheckTolTypes() { return false; }
void TlctrlRoot::sbEnableEdit() {}
const char* TlctrlRoot::cfgComPort() const { return ""; }
void TlctrlRoot::traceMed(const char*) {}
