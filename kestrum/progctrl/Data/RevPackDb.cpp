#include "RevPackDb.h"

namespace {
char g_empty[3][1] = {{'\0'}, {'\0'}, {'\0'}};
}

bool RevPackDb::CHECK_SPECIAL = true;
bool RevPackDb::CHECK_HARDWARE = true;
bool RevPackDb::CMDL_CREATE_REVPACK = false;
bool RevPackDb::CMDL_UPGRADE = false;
char* RevPackDb::CMDL_BINDIR = g_empty[0];
char* RevPackDb::CMDL_REVPACK = g_empty[1];
char* RevPackDb::CMDL_BINFILE = g_empty[2];
