// What the model does with odd values from the file or the host: heights out
// of order or equal, non-positive intervals and depths, NaN and overflowing
// numbers, absent services. Nothing may crash and nothing NaN or infinite may
// reach the graphics service.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "plugin/EnvironmentSystem.h"
#include "plugin/FrameContext.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

void ExpectFiniteState(const LightState& s) {
    const float* v = &s.sunHeight;
    for (int i = 0; i < 21; ++i)
        EXPECT_TRUE(std::isfinite(v[i])) << "entry " << i;
}

class OddValues : public ::testing::Test {
protected:
    void SetUp() override {
        host.files.disk.root = ENVSYS_SOURCE_DIR "/tests/data/environment";
        host.Init();
        env = host.env();
        // Day, Twilight1, Twilight2 and Night at heights 0.5, 0.2, 0 and
        // -0.2, light levels 1, 0.6, 0.3 and 0, and colours of 1, 0.25, 0.5
        // and 0.75 throughout.
        env->LoadEnvironment("uniform_states.ini");
        env->SetVisibility(1.0f);
        es.updateInterval = 60.0f;
        host.viewer.position[2] = 5000.0;
    }
    void Recompute(float h) {
        const float horizontal = std::sqrt(std::fmax(0.0f, 1.0f - h * h));
        const float dir[3] = {0.0f, horizontal, h};
        for (int i = 0; i < 3; ++i)
            es.celestialFrame.sunDirection[i] = es.sun.direction[i] = dir[i];
        es.RecomputeLighting();
    }
    TestHost host;
    EnvironmentSystemInterface* env = nullptr;
    EnvironmentSystem& es = g_environmentSystem;
};

TEST_F(OddValues, HeightsOutOfOrderNeverExtrapolateBeyondTheStates) {
    // Every order of the four heights: the colours stay within the states'
    // colours (0.25 to 1) and the light level within theirs (0 to 1).
    const float heights[4] = {0.5f, 0.2f, 0.0f, -0.2f};
    LightState* states[4] = {&es.day, &es.twilight1, &es.twilight2, &es.night};
    int order[4] = {0, 1, 2, 3};
    do {
        for (int i = 0; i < 4; ++i)
            states[i]->sunHeight = heights[order[i]];
        for (float h = -1.0f; h <= 1.0f; h += 0.05f) {
            Recompute(h);
            ExpectFiniteState(es.current);
            EXPECT_GE(es.current.sunLightLevel, 0.0f);
            EXPECT_LE(es.current.sunLightLevel, 1.0f);
            EXPECT_GE(es.current.skyColor[0], 0.25f - 1e-6f);
            EXPECT_LE(es.current.skyColor[0], 1.0f + 1e-6f);
        }
    } while (std::next_permutation(order, order + 4));
}

TEST_F(OddValues, EqualNeighbouringHeightsGiveTheUpperStateInsteadOfZeroByZero) {
    es.twilight2.sunHeight = es.twilight1.sunHeight; // both 0.2
    Recompute(0.2f);
    ExpectFiniteState(es.current);
    EXPECT_EQ(es.current.sunLightLevel, 0.6f); // Twilight1 in full
    EXPECT_EQ(es.current.fogColor[1], 0.25f);
    // All four equal: the Day branch applies at and above, Night below.
    es.day.sunHeight = es.night.sunHeight = 0.2f;
    Recompute(0.2f);
    EXPECT_EQ(es.current.sunLightLevel, 1.0f);
    Recompute(0.1f);
    EXPECT_EQ(es.current.sunLightLevel, 0.0f);
}

TEST_F(OddValues, NonPositiveUpdateRateRecomputesEveryFrame) {
    // The interval is compared strictly, so 0 recomputes on every frame that
    // gathers any time and a negative one on every frame. Each recompute
    // keeps whole seconds only: at 60 frames a second the clock stands still.
    for (float rate : {0.0f, -5.0f}) {
        es.updateInterval = rate;
        host.SetTime(12);
        host.Frame(0.0f);
        for (int i = 0; i < 120; ++i)
            host.Frame(1.0f / 60.0f);
        TimeOfDay t{};
        env->GetTime(&t);
        EXPECT_EQ(t.hours, 12);
        EXPECT_EQ(t.seconds, 0);
        EXPECT_EQ(es.timeSinceRecompute, 0.0f);
        host.Frame(1.5f); // a frame of a second or more still moves it
        env->GetTime(&t);
        EXPECT_EQ(t.seconds, 1);
    }
    es.updateInterval = -5.0f;
    host.Frame(0.0f);
    EXPECT_EQ(es.recomputeNeeded, 0);
}

TEST_F(OddValues, NaNAndInfiniteValuesFromTheHostAreIgnored) {
    for (float scale : {2.0f, kNaN, -kInf})
        env->SetVisibility(scale);
    EXPECT_EQ(es.visibilityScale, 2.0f);

    WeatherParams good{3, 0, 1000.0f, 100.0f, 0, 0.5f};
    env->SetWeather(&good);
    WeatherParams bad{3, 0, kNaN, kInf, 0, kNaN};
    env->SetWeather(&bad);
    EXPECT_EQ(es.overcastAltitude, 1000.0f);
    EXPECT_EQ(es.transitionDepth, 100.0f);
    EXPECT_EQ(es.weatherIntensity, 0.5f);

    env->SetLatitude(kNaN);
    env->SetInclination(kInf);
    env->SetLocation(0, -kInf);
    host.Frame(kNaN); // a NaN frame counts as no time
    EXPECT_EQ(es.timeSinceRecompute, 0.0f);
    host.Frame(kInf);
    EXPECT_EQ(es.timeSinceRecompute, 0.0f);
    ExpectFiniteState(es.current);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(std::isfinite(g_frame.sunVector[i]));

    // A viewer reported at NaN height (the band tests fail safe) or NaN
    // across, below the overcast: no particles are emitted at a NaN position.
    es.particleSystem = 7;
    host.SetWeather(4, 1000.0f, 100.0f, 0.5f);
    for (int axis : {2, 0}) {
        host.viewer.position[axis] = std::numeric_limits<double>::quiet_NaN();
        host.Frame(0.1f);
        host.Frame(0.1f);
        host.viewer.position[axis] = 0.0;
    }
    for (const EmitterRecord& r : host.particles.emitted)
        EXPECT_TRUE(std::isfinite(r.position[0] + r.position[2]));
}

TEST_F(OddValues, OverflowingSettingsReachTheGraphicsAsTheLargestFloat) {
    es.weather.endClear = 3e38f;
    es.weather.startClear = -3e38f;
    es.weather.endCloud = -3e38f;
    env->SetVisibility(3e38f); // the fog end overflows
    host.Frame(0.0f);
    EXPECT_EQ(host.gfx.fogRange[1], std::numeric_limits<float>::max());
    // In inclement weather the fog formulas overflow again.
    es.weather.startInclement = -3e38f;
    es.weather.endInclement = 3e38f;
    host.SetWeather(4, 5000.0f, 100.0f, 1e30f);
    host.Frame(1.0f);
    host.viewer.position[2] = 4990.0;
    host.Frame(1.0f);
    ExpectFiniteState(es.current);
}

TEST_F(OddValues, AHostWithoutGraphicsViewerOrParticlesNeverCrashes) {
    host.Exit();
    TestHost bare;
    bare.shell.withheld = {"GFX", "VMG", "PTS"};
    bare.Init();
    EnvironmentSystemInterface* system = bare.env();
    ASSERT_NE(system, nullptr);
    g_environmentSystem.particleSystem = 7;
    bare.SetWeather(4, 1000.0f, 100.0f, 1.0f);
    bare.LoadText("[EnvironmentSystem]\n");
    g_environmentSystem.updateInterval = 1.0f;
    for (int i = 0; i < 5; ++i)
        bare.Frame(0.5f);
    EXPECT_EQ(g_frame.currentView, nullptr);
    EXPECT_EQ(g_environmentSystem.particleSystem, -1); // the load found no particle service
    TimeOfDay t{};
    // Marked by the load: 0.5 s (kept as 0); then 1.5 s gathered gives 1.
    EXPECT_EQ(system->GetTime(&t)->seconds, 1);
    bare.Exit();

    // A graphics service whose view is null.
    TestHost viewless;
    viewless.gfx.viewIsNull = true;
    viewless.Init();
    viewless.LoadText("[EnvironmentSystem]\n");
    for (int i = 0; i < 3; ++i)
        viewless.Frame(1.0f);
    EXPECT_EQ(g_frame.currentView, nullptr);
}

TEST_F(OddValues, ExtremeClockArithmeticStaysInRange) {
    EXPECT_EQ(env->AddTime(INT32_MAX), 24855); // 2^31 - 1 s = 24855 days 3:14:07
    TimeOfDay t{};
    env->GetTime(&t);
    EXPECT_EQ(std::vector<int32_t>({t.hours, t.minutes, t.seconds}), std::vector<int32_t>({3, 14, 7}));
    EXPECT_EQ(env->AddTime(INT32_MIN), -24856);
    env->AddDays(INT32_MAX);
    env->AddDays(INT32_MIN);
    CalendarDate d{};
    env->GetDate(&d); // one day before 1 January of year 0
    EXPECT_EQ(std::vector<int32_t>({d.year, d.month, d.day}), std::vector<int32_t>({-1, 12, 31}));
    // A time the host set far out of range is normalised by the next recompute.
    TimeOfDay wild{1000, -7000, 99999, 0};
    env->SetTime(&wild);
    host.Frame(0.0f);
    env->GetTime(&t);
    EXPECT_GE(t.hours, 0);
    EXPECT_LT(t.hours, 24);
    EXPECT_GE(t.minutes, 0);
    EXPECT_LT(t.minutes, 60);
}

} // namespace
} // namespace envsys
