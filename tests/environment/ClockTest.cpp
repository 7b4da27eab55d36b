// The clock, the calendar and the sun's path: normalisation both ways, the
// Gregorian leap rule, the day of the year and the rotations of the sky.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "environment/CelestialFrame.h"
#include "environment/Clock.h"
#include "plugin/EnvironmentSystem.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

CalendarDate Plus(CalendarDate date, int32_t days) {
    AddDaysToDate(date, days);
    return date;
}

std::vector<int32_t> Ymd(const CalendarDate& d) { return {d.year, d.month, d.day}; }
std::vector<int32_t> Hms(const TimeOfDay& t) { return {t.hours, t.minutes, t.seconds}; }

TEST(Calendar, LeapRuleYearEndsAndOutOfRangeFieldsBothWays) {
    // 2000 is divisible by 400: leap; 1900 by 100 only: not; a whole
    // Gregorian cycle is 146097 days, in either direction.
    const struct {
        CalendarDate start;
        int32_t days;
        CalendarDate expected;
    } added[] = {{{2000, 2, 28}, 1, {2000, 2, 29}},         {{1900, 2, 28}, 1, {1900, 3, 1}},
                 {{2004, 2, 28}, 1, {2004, 2, 29}},         {{2002, 12, 31}, 1, {2003, 1, 1}},
                 {{2001, 3, 1}, -1, {2001, 2, 28}},         {{2000, 3, 1}, -1, {2000, 2, 29}},
                 {{2003, 1, 1}, -1, {2002, 12, 31}},        {{2000, 1, 1}, 146097, {2400, 1, 1}},
                 {{2000, 3, 15}, -146097 * 3, {800, 3, 15}}};
    for (const auto& c : added)
        EXPECT_EQ(Ymd(Plus(c.start, c.days)), Ymd(c.expected))
            << c.start.year << "-" << c.start.month << " + " << c.days;
    CalendarDate d{2003, 12, 31};
    AdvanceDate(d);
    EXPECT_EQ(Ymd(d), Ymd({2004, 1, 1}));
    // Month 14 of 2002 is February 2003 and day 0 the day before; month 0
    // borrows a year; day 45 of November 2000 is 15 December.
    const CalendarDate normalised[][2] = {
        {{2002, 14, 0}, {2003, 1, 31}}, {{2002, 0, 1}, {2001, 12, 1}}, {{2002, -13, 45}, {2000, 12, 15}}};
    for (const auto& c : normalised) {
        d = c[0];
        NormalizeDate(d);
        EXPECT_EQ(Ymd(d), Ymd(c[1])) << c[0].year << "-" << c[0].month << "-" << c[0].day;
    }
    // A day count in the billions neither hangs nor overflows.
    CalendarDate far = Plus({2000, 1, 1}, INT32_MAX);
    EXPECT_GE(far.month, 1);
    EXPECT_LE(far.month, 12);
    EXPECT_EQ(Plus(far, -INT32_MAX).year, 2000);
}

TEST(Calendar, DayOfYearIgnoresTheLeapDay) {
    // The leap day shares 1 March's number; a date the host set out of range
    // counts as the date it stands for.
    const std::pair<CalendarDate, int32_t> cases[] = {{{2003, 1, 1}, 1},     {{2003, 3, 1}, 60},  {{2004, 3, 1}, 60},
                                                      {{2004, 12, 31}, 365}, {{2004, 2, 29}, 60}, {{2002, 13, 5}, 5}};
    for (const auto& c : cases)
        EXPECT_EQ(DayOfYear(c.first), c.second) << c.first.month << "-" << c.first.day;
}

TEST(Clock, NormalisationCarriesAndBorrowsWholeDays) {
    TimeOfDay t{0, 0, 0, 0};
    EXPECT_EQ(AddSecondsToTime(t, 86400), 1);
    EXPECT_EQ(Hms(t), Hms({0, 0, 0, 0}));
    EXPECT_EQ(t.dayCarry, 1);
    t = {0, 0, 0, 0};
    EXPECT_EQ(AddSecondsToTime(t, -1), -1);
    EXPECT_EQ(Hms(t), Hms({23, 59, 59, 0}));
    // The carry is that of this normalisation only.
    EXPECT_EQ(AddSecondsToTime(t, 1), 1);
    EXPECT_EQ(AddSecondsToTime(t, 5), 0);
    EXPECT_EQ(t.dayCarry, 0);

    t = {25, -1, 130, 7}; // 25:00 minus a minute plus 130 s = 1 day, 01:01:10
    EXPECT_EQ(NormalizeTime(t), 1);
    EXPECT_EQ(Hms(t), Hms({1, 1, 10, 0}));
    EXPECT_EQ(SecondsOfDay(t), 3670);
    t = {-49, 0, 0, 0};
    EXPECT_EQ(NormalizeTime(t), -3);
    EXPECT_EQ(t.hours, 23);
    t = {-48, 0, 0, 0}; // exactly two days back: nothing to borrow
    EXPECT_EQ(NormalizeTime(t), -2);
    EXPECT_EQ(t.hours, 0);
    // Seconds of a time not yet normalised saturate at 32 bits.
    EXPECT_EQ(SecondsOfDay({INT32_MAX, 0, 0, 0}), INT32_MAX);
    EXPECT_EQ(SecondsOfDay({INT32_MIN, 0, 0, 0}), INT32_MIN);
    // Extreme fields are carried without overflow: INT32_MAX hours is
    // 89478485 days and 7 hours.
    t = {INT32_MAX, 59, 59, 0};
    EXPECT_EQ(NormalizeTime(t), 89478485);
    EXPECT_EQ(t.hours, 7);
}

TEST(Clock, AddTimeOperationReturnsTheCarryAndLeavesTheDate) {
    TestHost host;
    host.Init();
    host.SetDate(2003, 6, 30);
    host.SetTime(23, 59, 30);
    g_environmentSystem.recomputeNeeded = 0;
    EXPECT_EQ(host.env()->AddTime(45), 1);
    TimeOfDay t{};
    host.env()->GetTime(&t);
    EXPECT_EQ(SecondsOfDay(t), 15);
    CalendarDate d{};
    EXPECT_EQ(Ymd(*host.env()->GetDate(&d)), Ymd({2003, 6, 30}));
    EXPECT_EQ(g_environmentSystem.recomputeNeeded, 1);
    g_environmentSystem.recomputeNeeded = 0;
    host.env()->AddDays(-30);
    EXPECT_EQ(Ymd(*host.env()->GetDate(&d)), Ymd({2003, 5, 31}));
    EXPECT_EQ(g_environmentSystem.recomputeNeeded, 1);
}

// The sun's elevation in degrees at a date and second of the day.
double SunElevation(CalendarDate date, int32_t seconds, float latitude = 34.0f, float inclination = 23.5f) {
    CelestialFrame frame{};
    SetLatitudeRotation(frame, latitude);
    SetInclinationRotation(frame, inclination);
    ComputeSky(frame, DayOfYear(date), seconds);
    const double length =
        std::sqrt(frame.sunDirection[0] * frame.sunDirection[0] + frame.sunDirection[1] * frame.sunDirection[1] +
                  frame.sunDirection[2] * frame.sunDirection[2]);
    EXPECT_NEAR(length, 1.0, 1e-5);
    return std::asin(frame.sunDirection[2]) * 57.29578;
}

TEST(SunPath, NoonElevationAtSolsticesAndEquinoxes) {
    // At latitude 34 and inclination 23.5 the noon sun stands 90 - 34 + d
    // degrees high for a declination d. The model's year angle is 2 pi
    // (day / 365) and its solstice falls where that angle is pi, day 182.5
    // (1 and 2 July): 79.5. Its equinoxes (angle pi/2 and 3 pi/2, days 91.25
    // and 273.75) give 56 between the neighbouring days. Tolerance 0.05.
    EXPECT_NEAR(SunElevation({2003, 7, 1}, 43200), 79.5, 0.05);
    EXPECT_NEAR(SunElevation({2003, 7, 2}, 43200), 79.5, 0.05);
    const double april = 0.75 * SunElevation({2003, 4, 1}, 43200) + 0.25 * SunElevation({2003, 4, 2}, 43200);
    EXPECT_NEAR(april, 56.0, 0.05);
    const double autumn = 0.25 * SunElevation({2003, 9, 30}, 43200) + 0.75 * SunElevation({2003, 10, 1}, 43200);
    EXPECT_NEAR(autumn, 56.0, 0.05);
    // On the calendar's solstice, 21 June (day 172), the model's declination
    // is 23.1 rather than 23.5: 79.07 (tolerance 0.05). Winter noon: 32.5.
    EXPECT_NEAR(SunElevation({2003, 6, 21}, 43200), 79.07, 0.05);
    EXPECT_NEAR(SunElevation({2003, 1, 1}, 43200), 90.0 - 34.0 - 23.5, 0.05);
    // Midnight in June: -(90 - 34 - 23.1) = -32.9.
    EXPECT_NEAR(SunElevation({2003, 6, 21}, 0), -32.9, 0.05);
    // The June morning sun rises in the north-east (+x east, +y north) and
    // the noon sun stands to the south.
    CelestialFrame frame{};
    SetLatitudeRotation(frame, 34.0f);
    SetInclinationRotation(frame, 23.5f);
    ComputeSky(frame, 172, 6 * 3600);
    EXPECT_GT(frame.sunDirection[0], 0.0f);
    EXPECT_GT(frame.sunDirection[1], 0.0f);
    ComputeSky(frame, 172, 12 * 3600);
    EXPECT_LT(frame.sunDirection[1], 0.0f);
}

TEST(SunPath, RotationsAndTheCelestialPole) {
    CelestialFrame frame{};
    SetLatitudeRotation(frame, 90.0f);
    EXPECT_NEAR(frame.latitudeRotation[5], 1.0f, 1e-6);  // row 1: (0, cos, sin)
    EXPECT_NEAR(frame.latitudeRotation[7], -1.0f, 1e-6); // row 2: (0, -sin, cos)
    SetInclinationRotation(frame, 0.0f);
    ComputeSky(frame, 100, 12345);
    // At the pole the celestial pole (declination 90) is the zenith whatever
    // the hour, and a star on the equator lies on the horizon.
    float v[3];
    CelestialToWorld(frame, 37.0f, 90.0f, v);
    EXPECT_NEAR(v[0], 0.0f, 1e-6);
    EXPECT_NEAR(v[1], 0.0f, 1e-6);
    EXPECT_NEAR(v[2], 1.0f, 1e-6);
    CelestialToWorld(frame, 123.0f, 0.0f, v);
    EXPECT_NEAR(v[2], 0.0f, 1e-6);
    CelestialToWorld(frame, 0.0f, 0.0f, nullptr); // ignored

    // NaN or infinite angles keep the previous rotation.
    SetLatitudeRotation(frame, std::nanf(""));
    SetInclinationRotation(frame, INFINITY);
    EXPECT_NEAR(frame.latitudeRotation[5], 1.0f, 1e-6);
    EXPECT_EQ(frame.inclinationRotation[4], 1.0f);
}

} // namespace
} // namespace envsys
