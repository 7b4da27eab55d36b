#include "environment/Clock.h"

#include <cmath>

namespace envsys {

namespace {

// Days per month with February at 28; the leap day is added by DaysInMonth.
const int32_t kMonthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// A Gregorian 400-year cycle always holds this many days, whatever month it
// starts in, so whole cycles can be skipped without walking them.
const int64_t kDaysPer400Years = 146097;

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

int32_t Saturate(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

bool IsLeapYear(int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int64_t DaysInMonth(int64_t year, int64_t month) {
    if (month == 2 && IsLeapYear(year)) return 29;
    return kMonthLengths[month - 1];
}

// Splits a signed count of seconds into a normalised time and the whole
// days carried out of it. The result equals carrying step by step (60
// seconds, 60 minutes, 24 hours, borrowing when negative) without looping.
int32_t SetFromTotalSeconds(TimeOfDay& time, int64_t total) {
    const int64_t days = FloorDiv(total, 86400);
    int64_t rest = total - days * 86400;
    time.hours = static_cast<int32_t>(rest / 3600);
    rest %= 3600;
    time.minutes = static_cast<int32_t>(rest / 60);
    time.seconds = static_cast<int32_t>(rest % 60);
    time.dayCarry = Saturate(days);
    return time.dayCarry;
}

int64_t TotalSeconds(const TimeOfDay& time) {
    return (static_cast<int64_t>(time.hours) * 60 + time.minutes) * 60 + time.seconds;
}

struct WideDate {
    int64_t year, month, day;
};

void NormalizeMonth(WideDate& d) {
    const int64_t m0 = d.month - 1;
    const int64_t years = FloorDiv(m0, 12);
    d.year += years;
    d.month = m0 - years * 12 + 1;
}

void NormalizeWide(WideDate& d) {
    NormalizeMonth(d);
    // Skip whole 400-year cycles first so that a day count in the millions
    // costs no more than a few thousand month steps.
    if (d.day > kDaysPer400Years) {
        const int64_t cycles = (d.day - 1) / kDaysPer400Years;
        d.day -= cycles * kDaysPer400Years;
        d.year += cycles * 400;
    } else if (d.day < 1 - kDaysPer400Years) {
        const int64_t cycles = (-d.day) / kDaysPer400Years;
        d.day += cycles * kDaysPer400Years;
        d.year -= cycles * 400;
    }
    while (d.day < 1) {
        --d.month;
        NormalizeMonth(d);
        d.day += DaysInMonth(d.year, d.month);
    }
    while (d.day > DaysInMonth(d.year, d.month)) {
        d.day -= DaysInMonth(d.year, d.month);
        ++d.month;
        NormalizeMonth(d);
    }
}

void StoreWide(CalendarDate& date, const WideDate& d) {
    date.year = Saturate(d.year);
    date.month = static_cast<int32_t>(d.month);
    date.day = static_cast<int32_t>(d.day);
}

void SetAxisRotation(float* m, float degrees) {
    // A NaN or infinite angle from the host keeps the previous rotation: the
    // sun direction built from it would be NaN in every component.
    if (!std::isfinite(degrees)) return;
    const float a = degrees * 0.017453292f;
    const float c = static_cast<float>(std::cos(static_cast<double>(a)));
    const float s = static_cast<float>(std::sin(static_cast<double>(a)));
    m[0] = 1.0f, m[1] = 0.0f, m[2] = 0.0f;
    m[3] = 0.0f, m[4] = c, m[5] = s;
    m[6] = 0.0f, m[7] = -s, m[8] = c;
}

// out = a x b for 3x3 matrices stored row by row, summed in double.
void Multiply(const float* a, const float* b, float* out) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 3; ++k)
                sum += static_cast<double>(a[r * 3 + k]) * b[k * 3 + c];
            out[r * 3 + c] = static_cast<float>(sum);
        }
}

// out = v . m for a row vector.
void RowTimes(const double* v, const float* m, float* out) {
    for (int c = 0; c < 3; ++c)
        out[c] = static_cast<float>(v[0] * m[c] + v[1] * m[3 + c] + v[2] * m[6 + c]);
}

} // namespace

int32_t NormalizeTime(TimeOfDay& time) { return SetFromTotalSeconds(time, TotalSeconds(time)); }

int32_t AddSecondsToTime(TimeOfDay& time, int32_t seconds) {
    return SetFromTotalSeconds(time, TotalSeconds(time) + seconds);
}

int32_t SecondsOfDay(const TimeOfDay& time) { return Saturate(TotalSeconds(time)); }

void NormalizeDate(CalendarDate& date) {
    WideDate d{date.year, date.month, date.day};
    NormalizeWide(d);
    StoreWide(date, d);
}

void AdvanceDate(CalendarDate& date) { AddDaysToDate(date, 1); }

void AddDaysToDate(CalendarDate& date, int32_t days) {
    WideDate d{date.year, date.month, static_cast<int64_t>(date.day) + days};
    NormalizeWide(d);
    StoreWide(date, d);
}

int32_t DayOfYear(const CalendarDate& date) {
    // A date the host set out of range counts as the date it normalises to,
    // so the month never indexes outside the table.
    WideDate d{date.year, date.month, date.day};
    NormalizeWide(d);
    int32_t day = static_cast<int32_t>(d.day);
    for (int64_t m = 1; m < d.month; ++m)
        day += kMonthLengths[m - 1];
    return day;
}

void SetLatitudeRotation(CelestialFrame& frame, float degrees) { SetAxisRotation(frame.latitudeRotation, degrees); }

void SetInclinationRotation(CelestialFrame& frame, float degrees) {
    SetAxisRotation(frame.inclinationRotation, degrees);
}

void ComputeSky(CelestialFrame& frame, int32_t dayOfYear, int32_t secondsOfDay) {
    // The year angle (2 pi / 365 per day) and the hour angle (2 pi / 86400
    // per second, half a turn back so that noon faces the sun), each rounded
    // to single precision as the rest of the frame is.
    const float year = static_cast<float>(static_cast<double>(dayOfYear) * static_cast<double>(0.017214207f));
    const float hour = static_cast<float>(static_cast<double>(secondsOfDay) * static_cast<double>(7.2722054e-5f) +
                                          static_cast<double>(year) - static_cast<double>(3.1415927f));
    const float c = static_cast<float>(std::cos(static_cast<double>(hour)));
    const float s = static_cast<float>(std::sin(static_cast<double>(hour)));
    const float hourRotation[9] = {c, 0.0f, s, 0.0f, 1.0f, 0.0f, -s, 0.0f, c};
    Multiply(hourRotation, frame.latitudeRotation, frame.starRotation);

    float tilted[9];
    Multiply(frame.inclinationRotation, frame.starRotation, tilted);
    const double sunInYear[3] = {std::sin(static_cast<double>(year)), 0.0, std::cos(static_cast<double>(year))};
    RowTimes(sunInYear, tilted, frame.sunDirection);
}

void CelestialToWorld(const CelestialFrame& frame, float rightAscension, float declination, float* out3) {
    if (out3 == nullptr) return;
    const double a = static_cast<double>(rightAscension * 0.017453292f);
    const double e = static_cast<double>(declination * 0.017453292f);
    const double v[3] = {std::cos(e) * std::cos(a), std::sin(e), -std::cos(e) * std::sin(a)};
    RowTimes(v, frame.starRotation, out3);
}

} // namespace envsys
