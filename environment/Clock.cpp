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

} // namespace envsys
