#ifndef BTIMERTICK_H
#define BTIMERTICK_H

#include <cstdint>

#include "BTypes.h"

enum DayId { SUNDAY = 0, MONDAY = 1, TUESDAY = 2, WEDNESDAY = 3, THURSDAY = 4, FRIDAY = 5, SATERDAY = 6 };

// Ticks of 10 ms from the platform's monotonic clock.
BTickType bTimerTick();
// An external tick variable replaces the clock while set (null: the clock again).
void setTimerTickPtr(uint32_t* tick);
uint32_t nSecsPastMidnight();
DayId dayOfWeek();

#endif
