#ifndef CDRVPORTSETEVT_H
#define CDRVPORTSETEVT_H

#include "BBindingEvent.h"

// Asks the driver to (re)open a port. The name is not copied here; the
// driver keeps its own copy when it takes the port.
class CdrvPortSetEvt : public BBindingEvent {
public:
  explicit CdrvPortSetEvt(const char* comPort = nullptr);
  void printData(DebugLevel level) const override;

  const char* comPort() const { return _comPort; }
  void comPort(const char* port) { _comPort = port; }

private:
  const char* _comPort;
};

#endif
