// Shared by the sky tests: checks for the pieces other folders provide (the
// configuration library, the clock), so that tests needing them skip until
// they are in, and small helpers for the frame state.
#pragma once

#include <cmath>
#include <cstring>

#include "config/IniFile.h"
#include "config/StringUtils.h"
#include "environment/Clock.h"
#include "tests/support/TestHost.h"

namespace envsys {
namespace testing {

inline bool SkyConfigReady(TestHost& host) {
    host.files.Add("sky-probe.ini", "[Probe]\nValue=7\nText=abc\n");
    IniFile file("sky-probe.ini", 0, 0);
    char* copy = GetStringCopy(&file, "Probe", "Text", 0);
    const bool copied = copy != nullptr && std::strcmp(copy, "abc") == 0;
    StrFree(&copy);
    char name[16];
    const bool formats = FormatIntegerPattern(name, sizeof name, "a%02d", 1, 3) && std::strcmp(name, "a03") == 0;
    return file.GetInt("Probe", "Value", 0) == 7 && copied && formats;
}

// With the star rotation the identity, right ascension -90 and declination 0
// point at the zenith.
inline bool SkyClockReady() {
    CelestialFrame frame{};
    for (int i = 0; i < 3; ++i)
        frame.starRotation[4 * i] = 1.0f;
    float v[3] = {0, 0, 0};
    CelestialToWorld(frame, -90.0f, 0.0f, v);
    return std::fabs(v[2] - 1.0f) < 1e-5f;
}

inline void Set3(float* out, float a, float b, float c) {
    out[0] = a;
    out[1] = b;
    out[2] = c;
}

} // namespace testing
} // namespace envsys

#define SKY_REQUIRE_CONFIG(host)                                                                                       \
    if (!envsys::testing::SkyConfigReady(host)) GTEST_SKIP() << "configuration library not in yet"
#define SKY_REQUIRE_CLOCK()                                                                                            \
    if (!envsys::testing::SkyClockReady()) GTEST_SKIP() << "clock not in yet"
