// The system's own clock and calendar, and the rotations of the sky for a
// latitude and an axial inclination.
#pragma once

#include <cstdint>

#include "envsys/Records.h"
#include "environment/CelestialFrame.h"

namespace envsys {

int32_t NormalizeTime(TimeOfDay& time);
int32_t AddSecondsToTime(TimeOfDay& time, int32_t seconds);
int32_t SecondsOfDay(const TimeOfDay& time);
void NormalizeDate(CalendarDate& date);
void AdvanceDate(CalendarDate& date);
void AddDaysToDate(CalendarDate& date, int32_t days);
int32_t DayOfYear(const CalendarDate& date);

void SetLatitudeRotation(CelestialFrame& frame, float degrees);
void SetInclinationRotation(CelestialFrame& frame, float degrees);
void ComputeSky(CelestialFrame& frame, int32_t dayOfYear, int32_t secondsOfDay);
void CelestialToWorld(const CelestialFrame& frame, float rightAscension, float declination, float* out3);

} // namespace envsys
