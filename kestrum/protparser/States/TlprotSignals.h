#ifndef TLPROTSIGNALS_H
#define TLPROTSIGNALS_H

#include "BTypes.h"

// Requests of the controller to the parser.
enum TlprotExtEvt {
  TLPROT_ACK = 50,
  TLPROT_UPL_END = 51,
  TLPROT_SET_ENTRY = 52,
  TLPROT_DOWNLOAD_REQUEST = 53,
  TLPROT_LIFE_CHECK = 54,
  TLPROT_NAK = 55,
  TLPROT_STATUS_REQUEST = 56,
  TLPROT_UPLOAD_REQUEST = 57,
  TLPROT_CHECKSUM = 58,
  TLPROT_EOT = 59,
  TLPROT_PACKNR = 60,
  TLPROT_PACKNR_1CMPL = 61,
  TLPROT_SOH = 62,
  TLPROT_UPGRADE_REQ = 63,
  TLPROT_UPGR_DATA = 64,
  TLPROT_BOOTLOAD_DATA = 65,
};

// Reports of the parser to the controller (the signal numbers the
// controller dispatches on).
enum TlprotRepEvt {
  TLPROT_REP_ACK = 50,
  TLPROT_REP_DLD_END = 51,
  TLPROT_REP_SET_ENTRY = 52,
  TLPROT_REP_STATUS_INFO = 54,
  TLPROT_REP_NAK = 55,
  TLPROT_REP_WAIT = 56,
  TLPROT_REP_BTL_REQ = 57,
  TLPROT_REP_BOOT_INFO = 58,
};

#endif
