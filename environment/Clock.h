// The system's own clock and calendar.
#pragma once

#include <cstdint>

#include "envsys/Records.h"

namespace envsys {

int32_t NormalizeTime(TimeOfDay& time);
int32_t AddSecondsToTime(TimeOfDay& time, int32_t seconds);
int32_t SecondsOfDay(const TimeOfDay& time);
void NormalizeDate(CalendarDate& date);
void AdvanceDate(CalendarDate& date);
void AddDaysToDate(CalendarDate& date, int32_t days);
int32_t DayOfYear(const CalendarDate& date);

} // namespace envsys
