#ifndef TLCDRVROOT_H
#define TLCDRVROOT_H

#include <string>

#include "BRootState.h"
#include "SLList.h"
#include "Serial.h"
#include "TlcdrvReader.h"

class BTimer;
class CdrvStrEvt;
class CdrvPortSetEvt;

// The connection driver: owns the serial port, writes what the parser
// hands it and cuts what the device sends into units for the parser. One
// use-counted instance serves both of its parents (controller and parser).
class TlcdrvRoot : public BRootState {
public:
  enum { POLL_TMR_INTV = 1 };  // in units of 100 ms

  static TlcdrvRoot* instance();
  static void destroy();
  // Reads the port if the driver exists; called once per main-loop round.
  static void readCom();
  // The main loop's toolkit watches the open port through this hook, so
  // that it wakes as soon as bytes arrive; no hook, no watching.
  static void portWatch(Serial::WatchHook hook);
  // The watched port became readable; the next readCom() reads it.
  static void portReadable();
  // Part of a unit has arrived, its rest not yet.
  static bool unitArriving();

  bool isPersistent() override { return true; }
  void onSetup(BBinding* b) override;
  void onRelease(BBinding* b) override;
  void onEntry(const BEvent*) override {}
  void onExit(const BEvent*) override {}
  void onInitial(const BEvent*, RegionId) override {}
  void onEvent(const BEvent* e) override;
  void printStateData(int, char**) override {}

  static uint16_t instNr() { return _instNr; }
  static bool portOpen() { return _portOpen; }
  static Serial* serial() { return _serial; }
  static BTimer* portPollTmr() { return _portPollTmr; }
  const TlcdrvReader& reader() const { return _reader; }

private:
  TlcdrvRoot();
  ~TlcdrvRoot() override;

  bool portSettings(const CdrvPortSetEvt* e);
  bool cdrvString(const CdrvStrEvt* e);
  bool portPolltimer();
  void readSerialPort();
  void unitReceived(const uint8_t* unit, size_t n);
  bool reportPort(bool open);
  bool reportLost();
  bool openPort();
  void portLost();
  void notice(const std::string& text);
  void startPollTimer();
  void traceLine(const std::string& text);

  static TlcdrvRoot* _tlcdrvroot;
  static uint16_t _instNr;
  static Serial* _serial;
  // Our own copy of the chosen port's name; empty before the first choice.
  static std::string _actComPort;
  static bool _portChosen;
  static bool _portOpen;
  // The port failure last explained to the user: each one is told once,
  // not at every retry.
  static std::string _lastFailure;
  static SLList<BBinding*>* _bindings;
  static BTimer* _portPollTmr;
  static Serial::WatchHook _portWatch;

  TlcdrvReader _reader;
};

#endif
