#ifndef TLCTRLROOT_H
#define TLCTRLROOT_H

#include <cstring>

#include "BRootState.h"

// The programming controller's root (component 11 of module 10). For now it
// only holds what the configuration keeps between runs; the connection,
// download, upload and upgrade states come with the controller.
class TlctrlRoot : public BRootState {
public:
  enum { TOL_PROG = 10, PROG_CTRL = 11 };
  enum { PATH_SIZE = 255 };

  TlctrlRoot();
  ~TlctrlRoot() override;

  bool isPersistent() override { return false; }
  void onSetup(BBinding* b) override;
  void onRelease(BBinding* b) override;

  const char* lastRevpackFile() const { return _lastRevpackFile; }
  void lastRevpackFile(const char* file) { copyPath(_lastRevpackFile, file); }
  const char* lastBinFile() const { return _lastBinFile; }
  void lastBinFile(const char* file) { copyPath(_lastBinFile, file); }

private:
  static void copyPath(char* dst, const char* src) {
    strncpy(dst, src ? src : "", PATH_SIZE - 1);
    dst[PATH_SIZE - 1] = '\0';
  }

  char _lastRevpackFile[PATH_SIZE];
  char _lastBinFile[PATH_SIZE];
};

#endif
