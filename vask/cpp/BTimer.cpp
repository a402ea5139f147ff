#include "BTimer.h"

#include "BCompositeState.h"
#include "BDiag.h"
#include "BEvtQueue.h"
#include "BLocalEvent.h"
#include "BScheduler.h"

BTimer::BTimer()
    : _next(nullptr), _queue(nullptr), _timeStamp(0), _interval(0), _armed(false), _signal(SIG_UNDEFINED),
      _intvType(UNDEF_INTERVAL), _absoluteTimer(false), _delay(0), _generation(0) {}

BTimer::BTimer(BEvtQueue* queue, InterValType type) : BTimer() {
  _queue = queue;
  _intvType = type;
}

BTimer::~BTimer() {
  if (_armed) disarm();
}

void BTimer::fire() {
  if (!_queue) return;
  BLocalEvent* e = new BLocalEvent(_signal, true);
  if (BCompositeState* owner = _queue->owner()) {
    e->moduleId(owner->moduleId());
    e->componentId(owner->componentId());
  }
  if (!_queue->post(e)) e->destroy();
}

void BTimer::arm(BEvtQueue* q, BTickType nTicks, SignalId sig, bool absolute) {
  B_ASSERT(0 != nTicks, "nTicks must not be zero");
  if (_armed) BScheduler::timerManager().disable(this);
  _queue = q;
  _timeStamp = bTimerTick() + nTicks;
  _delay = nTicks;
  _absoluteTimer = absolute;
  _armed = true;
  _signal = sig;
  ++_generation;
  BScheduler::timerManager().enable(this);
}

void BTimer::fireIn(BEvtQueue* q, BTickType n, SignalId sig) {
  _interval = 0;
  arm(q, n, sig);
}

void BTimer::fireEvery(BEvtQueue* q, BTickType n, SignalId sig) {
  _interval = n;
  arm(q, n, sig);
}

void BTimer::load(BTickType n, SignalId sig) {
  if (!_queue || _intvType == UNDEF_INTERVAL) {
    B_EXCEPTION("Invalid settings sig=" << int(sig));
    if (!_queue) return;
  }
  if (_intvType == REPEAT)
    fireEvery(_queue, n, sig);
  else
    fireIn(_queue, n, sig);
}

void BTimer::fireAt(BEvtQueue* q, uint8_t hour, uint8_t min, uint8_t sec, SignalId sig) {
  B_ASSERT(hour < 24, "invalid hour");
  B_ASSERT(min < 60, "invalid min");
  B_ASSERT(sec < 60, "invalid sec");
  fireAt(q, static_cast<uint32_t>(hour * 3600 + min * 60 + sec), sig);
}

void BTimer::fireAt(BEvtQueue* q, uint32_t timeInSecs, SignalId sig) {
  B_ASSERT(timeInSecs < 60 * 60 * 24, "invalid sec");
  uint32_t now = nSecsPastMidnight();
  uint32_t delay = timeInSecs > now ? timeInSecs - now : timeInSecs - now + 86400u;
  if (delay == 0) delay = 1;
  _interval = 0;
  arm(q, nSecs(delay), sig);
}

void BTimer::fireAt(BEvtQueue* q, DayId day, uint8_t hour, uint8_t min, uint8_t sec, SignalId sig) {
  B_ASSERT(hour < 24, "invalid hour");
  B_ASSERT(min < 60, "invalid min");
  B_ASSERT(sec < 60, "invalid sec");
  fireAt(q, day, static_cast<uint32_t>(hour * 3600 + min * 60 + sec), sig);
}

void BTimer::fireAt(BEvtQueue* q, DayId day, uint32_t timeInSecs, SignalId sig) {
  B_ASSERT(timeInSecs < 60 * 60 * 24, "invalid sec");
  int64_t d = dayOfWeek();
  int64_t t = nSecsPastMidnight();
  int64_t v = timeInSecs;
  int64_t delay;
  if (d == day)
    delay = v > t ? v - t : v - t + 604800;
  else if (d < day)
    delay = (day - d - 1) * 86400 - t + v + 86400;
  else
    delay = (6 - d + day) * 86400 - t + v + 86400;
  if (delay <= 0) delay = 1;
  _interval = 0;
  arm(q, nSecs(static_cast<BTickType>(delay)), sig, true);
}

void BTimer::disarm() {
  _armed = false;
  BScheduler::timerManager().disable(this);
}

void BTimer::restart() {
  if (_absoluteTimer || !_queue) return;
  // A repeating timer restarts with its period, a one-shot with its last delay.
  arm(_queue, _interval ? _interval : (_delay ? _delay : 1), _signal);
}
