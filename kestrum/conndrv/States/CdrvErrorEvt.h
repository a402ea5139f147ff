#ifndef CDRVERROREVT_H
#define CDRVERROREVT_H

#include <string>

#include "BBindingEvent.h"

// Result of opening the port, for the controller.
class CdrvErrorEvt : public BBindingEvent {
public:
  enum CdrvError {
    CDRV_SET_COM_NOT_OPEN = 0,
    CDRV_CLEAR_COM_NOT_OPEN = 1,
    CDRV_UNDEF_ERROR = 255,
  };

  explicit CdrvErrorEvt(CdrvError error = CDRV_UNDEF_ERROR);
  void printData(DebugLevel level) const override;

  CdrvError error() const { return _error; }
  void error(CdrvError e) { _error = e; }
  // Why the port could not be opened (empty when it is open).
  const std::string& reason() const { return _reason; }
  void reason(const std::string& r) { _reason = r; }

private:
  CdrvError _error;
  std::string _reason;
};

#endif
