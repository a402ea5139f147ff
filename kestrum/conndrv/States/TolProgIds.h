#ifndef TOLPROGIDS_H
#define TOLPROGIDS_H

#include "BTypes.h"

// Ids of the programming application and its three components.
enum TolProgModule { TOL_PROG = FIRST_MODULE };

enum TolProgComponent {
  CONN_DRV = FIRST_COMPONENT,
  PROG_CTRL = FIRST_COMPONENT + 1,
  PROT_PARSER = FIRST_COMPONENT + 2,
};

#endif
