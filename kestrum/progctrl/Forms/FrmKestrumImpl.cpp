#include "FrmKestrumImpl.h"

namespace {
char g_noFile[1] = "";
}

char* FrmKestrumImpl::PROG_FILE_KVN = g_noFile;
bool FrmKestrumImpl::CMDL_PROGRAM = false;
bool FrmKestrumImpl::CREATE_REVPACK = false;

FrmKestrumImpl::FrmKestrumImpl(FrmKestrum* frame, TlctrlRoot* root)
    : _frame(frame), _root(root), _configInit(nullptr), _settingBin(nullptr) {
  CMDL_PROGRAM = PROG_FILE_KVN && PROG_FILE_KVN[0] != '\0';
}

FrmKestrumImpl::~FrmKestrumImpl() {}

// No dialog yet: the port stays as configured.
void FrmKestrumImpl::btOptionsWindow() {}
