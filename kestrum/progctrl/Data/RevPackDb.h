#ifndef REVPACKDB_H
#define REVPACKDB_H

// The revision pack store. For now only the switches the command line sets.
class RevPackDb {
public:
  static bool CHECK_SPECIAL;
  static bool CHECK_HARDWARE;
  static bool CMDL_CREATE_REVPACK;
  static bool CMDL_UPGRADE;
  // These point into the process's argument vector (or an empty text).
  static char* CMDL_BINDIR;
  static char* CMDL_REVPACK;
  static char* CMDL_BINFILE;
};

#endif
