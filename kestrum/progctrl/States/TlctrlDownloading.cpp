#include "TlctrlDownloading.h"

#include <cstdio>

#include "BCheckcast.h"
#include "BDiag.h"
#include "BEvent.h"
#include "BTimer.h"
#include "FrmKestrumImpl.h"
#include "Language.h"
#include "SettingBin.h"
#include "TlctrlConnIdle.h"
#include "TlctrlReadBack.h"
#include "TlctrlRoot.h"
#include "TlprotAckEvt.h"
#include "TlprotDlrEvt.h"
#include "TlprotSeeEvt.h"
#include "TlprotSignals.h"
#include "TolProgIds.h"

TlctrlDownloading::TlctrlDownloading(BCompositeState* enclosing)
    : BSimpleState(enclosing, TOL_PROG, PROG_CTRL, TlctrlRoot::TLCTRLDOWNLOADING),
      _root(CHECKCAST(TlctrlRoot, this->enclosing(STATE_ROOT))),
      _lastEntry(0),
      _nrEntries(0),
      _lastProgress(bTimerTick()),
      _complete(false) {}

void TlctrlDownloading::onEntry(const BEvent*) {
  if (!_root) return;
  _lastProgress = bTimerTick();
  // The upgrade sheet gives way: it switched off the life check that a fetch
  // needs to notice a device gone.
  if (_root->frmImpl() && _root->frmImpl()->btUpgrade()) _root->frmRmSetEdit();
  _root->startLifeCkTimeout();
  _root->frmStatusInfo(gettext("Ophalen", 0), false);
  // The settings and their form stay as they are until every entry is in;
  // a fetch that breaks off must not leave half of the device in them.
  _root->frmLockSetEdit(true);
  _root->frmSetCursorBusy(true);
  _root->frmActivateButtons(false);
  // Before the store is marked as the device's: it tells whether a file is open.
  if (_root->readBack()) _root->readBack()->downloadStarts();
  if (SettingBin* sb = _root->tolSettingBin()) {
    sb->editFromDownload(true);
    sb->fetchStart();
  }
}

bool TlctrlDownloading::settingEntry(const TlprotSeeEvt* e) {
  if (!e) return true;
  char status[256];
  snprintf(status, sizeof status, "%s #%d %s.", gettext("Ophalen", 0), e->entryNr(), gettext("gereed", 0));
  _lastProgress = bTimerTick();
  _root->restartLifeCkTimeout();
  TlprotAckEvt* ack = new TlprotAckEvt();
  _root->sbEntry(e);
  _lastEntry = e->entryNr();
  ++_nrEntries;
  _root->frmProgress(status, gettext("Ophalen", 0), e->entryNr(),
                     SettingBin::maxTolEntries() > 200 ? 200 : SettingBin::maxTolEntries());
  // The device sends the next entry once it has the acknowledge.
  sendExternal(ack, TOL_PROG, PROT_PARSER, nullptr);
  return true;
}

bool TlctrlDownloading::waiting() {
  // The device is not ready: ask again, for as long as the stall limit
  // allows; past it the running life-check time-out ends the download.
  sendExternal(new TlprotDlrEvt(), TOL_PROG, PROT_PARSER, nullptr);
  char status[256];
  snprintf(status, sizeof status, "%s, %s.", gettext("Ophalen", 0), gettext("wacht tot Tolvan gereed is ...", 0));
  _root->frmStatusInfo(status, false);
  if (bTimerTick() - _lastProgress < BTimer::nSecs(STALL_LIMIT_SECS - TlctrlRoot::LIFECHECK_TIMEOUT_INTV))
    _root->restartLifeCkTimeout();
  return true;
}

void TlctrlDownloading::onEvent(const BEvent* e) {
  if (!e || !_root || e->moduleId() != TOL_PROG || e->componentId() != PROT_PARSER) return;
  bool result = true;
  switch (e->signalId()) {
    case TLPROT_REP_SET_ENTRY:
      result = settingEntry(CHECKCAST_CONST(TlprotSeeEvt, e));
      transition(static_cast<BState*>(nullptr));
      break;
    case TLPROT_REP_WAIT:
      result = waiting();
      break;
    case TLPROT_REP_DLD_END: {
      _complete = true;
      _root->stopLifeCkTimeout();
      if (SettingBin* sb = _root->tolSettingBin()) sb->fetchEnd(true);
      _root->sbEnableEdit();
      char status[256];
      snprintf(status, sizeof status, "%s %d %s", gettext("Ophalen gereed:", 0), _nrEntries,
               gettext("instellingen", 0));
      _root->frmStatusNote(status, false, TlctrlRoot::STATUS_NOTE_TICKS);
      transition(new TlctrlConnIdle(enclosing()));
      break;
    }
    default:
      break;
  }
  B_ASSERT(result, "Unsuccessful result event=" << static_cast<int>(e->signalId()));
}

void TlctrlDownloading::onExit(const BEvent*) {
  if (!_root) return;
  SettingBin* sb = _root->tolSettingBin();
  if (sb && sb->fetching()) {
    // Left before the end of the download: what came in is dropped.
    sb->fetchEnd(false);
    char status[256];
    snprintf(status, sizeof status, "%s #%d", gettext("Ophalen afgebroken na", 0), _lastEntry);
    _root->frmStatusNote(status, true, -1);
  }
  _root->frmLockSetEdit(false);
  _root->frmSetCursorBusy(false);
  _root->frmActivateButtons(true);
  if (_root->readBack()) _root->readBack()->downloadEnded(_complete);
}
