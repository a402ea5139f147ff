#ifndef BTIMER_H
#define BTIMER_H

#include "BTimerTick.h"
#include "BTypes.h"

class BEvtQueue;

// A one-shot or repeating timer that posts a local event into its queue.
class BTimer {
  friend class BTimerManager;

public:
  enum InterValType { REPEAT = 0, ONE_SHOT = 1, UNDEF_INTERVAL = 2 };

  BTimer();
  BTimer(BEvtQueue* queue, InterValType type);
  virtual void fire();
  virtual ~BTimer();

  static BTickType n10Ms(BTickType n) { return n; }
  static BTickType n100Ms(BTickType n) { return n * 10; }
  static BTickType nSecs(BTickType n) { return n * 100; }

  void fireIn(BEvtQueue* q, BTickType n, SignalId sig);
  void fireEvery(BEvtQueue* q, BTickType n, SignalId sig);
  void load(BTickType n, SignalId sig);
  void fireAt(BEvtQueue* q, uint8_t hour, uint8_t min, uint8_t sec, SignalId sig);
  void fireAt(BEvtQueue* q, uint32_t secOfDay, SignalId sig);
  void fireAt(BEvtQueue* q, DayId day, uint8_t hour, uint8_t min, uint8_t sec, SignalId sig);
  void fireAt(BEvtQueue* q, DayId day, uint32_t secOfDay, SignalId sig);
  void disarm();
  bool armed() const { return _armed; }
  void restart();

  BTickType timeStamp() const { return _timeStamp; }
  BTickType interval() const { return _interval; }
  SignalId signal() const { return _signal; }
  BEvtQueue* queue() const { return _queue; }

protected:
  void arm(BEvtQueue* q, BTickType nTicks, SignalId sig, bool absolute = false);

private:
  BTimer* _next;
  BEvtQueue* _queue;
  BTickType _timeStamp;
  BTickType _interval;
  bool _armed;
  SignalId _signal;
  InterValType _intvType;
  bool _absoluteTimer;
  // The delay of the last arming, used by restart().
  BTickType _delay;
  // Counts armings, so the manager sees a timer re-armed from its own fire().
  uint32_t _generation;
};

#endif
