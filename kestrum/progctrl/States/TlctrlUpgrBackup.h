#ifndef TLCTRLUPGRBACKUP_H
#define TLCTRLUPGRBACKUP_H

#include <string>
#include <vector>

#include "BSimpleState.h"

class BTimer;
class TlctrlRoot;

// Before an upgrade writes anything to a running device, its settings are
// read and saved as backups/<type>_<date_time>.kvn in the working directory.
// Then the step asked for follows: programming the pack's settings, or the
// upgrade itself. When the settings cannot be read or saved, the window
// asks whether to go on without; an unattended run goes on only when its
// command line allows it.
class TlctrlUpgrBackup : public BSimpleState {
public:
  enum Next { THEN_UPGRADE, THEN_UPLOAD };
  // Seconds without a settings entry before the backup is given up.
  static constexpr int BACKUP_TIMEOUT_INTV = 10;
  static constexpr int TEXT_MAX = 50;
  static constexpr int NUMBER_MAX = 20;
  static constexpr int FILE_LINES = 200;
  static const char* const BACKUP_DIR;

  TlctrlUpgrBackup(BCompositeState* enclosing, Next next);
  ~TlctrlUpgrBackup() override;
  bool isPersistent() override { return false; }
  void onEntry(const BEvent* e) override;
  void onEvent(const BEvent* e) override;
  void onExit(const BEvent* e) override;

  // "backups/<type>_<yyyy-mm-dd_hh-mm-ss>.kvn" for a device type at time t;
  // characters a file name should not carry become "_".
  static std::string backupName(const char* type, long t);

private:
  void entry(const BEvent* e);
  void downloadEnd();
  // The settings could not be had: ask, or decide for an unattended run.
  void noBackup(const char* why);
  void proceed();
  void cancel();
  void restartTimer();

  TlctrlRoot* _root;
  Next _next;
  BTimer* _timer;
  // A device not ready yet is asked again a second later.
  BTimer* _retryTimer;
  int _received;
  // Entries 1 to 200: text and number.
  std::vector<std::pair<std::string, std::string>> _entries;
};

#endif
