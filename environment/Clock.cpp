#include "environment/Clock.h"

namespace envsys {

int32_t NormalizeTime(TimeOfDay&) { return 0; }
int32_t AddSecondsToTime(TimeOfDay&, int32_t) { return 0; }
int32_t SecondsOfDay(const TimeOfDay&) { return 0; }
void NormalizeDate(CalendarDate&) {}
void AdvanceDate(CalendarDate&) {}
void AddDaysToDate(CalendarDate&, int32_t) {}
int32_t DayOfYear(const CalendarDate&) { return 0; }
void SetLatitudeRotation(CelestialFrame&, float) {}
void SetInclinationRotation(CelestialFrame&, float) {}
void ComputeSky(CelestialFrame&, int32_t, int32_t) {}
void CelestialToWorld(const CelestialFrame&, float, float, float* out3) {
    out3[0] = out3[1] = out3[2] = 0.0f;
}

} // namespace envsys
