// Weather, the per-frame update and the lighting recompute, driven through
// the test host with the light states and weather settings set directly.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "plugin/EnvironmentSystem.h"
#include "plugin/FrameContext.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

void Set3(float* c, float r, float g, float b) {
    c[0] = r;
    c[1] = g;
    c[2] = b;
}

int32_t SecondsOf(const TimeOfDay* t) { return (t->hours * 60 + t->minutes) * 60 + t->seconds; }

// The names of the calls that hand the frame's fog and light to GFX, in order.
std::vector<std::string> FogAndLightCalls(const testing::CallLog& log) {
    std::vector<std::string> out;
    for (const std::string& name : log.Sequence("GFX.")) {
        if (name == "GFX.SetFogRange" || name == "GFX.SetSkyColor" || name == "GFX.SetFogColor" ||
            name == "GFX.SetSunLightEnabled" || name == "GFX.SetSunLightLevel")
            out.push_back(name);
    }
    return out;
}

#define EXPECT_COLOR(c, r, g, b)                                                                                       \
    do {                                                                                                               \
        EXPECT_NEAR((c)[0], (r), 1e-5f);                                                                               \
        EXPECT_NEAR((c)[1], (g), 1e-5f);                                                                               \
        EXPECT_NEAR((c)[2], (b), 1e-5f);                                                                               \
    } while (0)

class Lighting : public ::testing::Test {
protected:
    void SetUp() override {
        host.files.disk.root = ENVSYS_SOURCE_DIR "/tests/data/environment";
        host.Init();
        env = host.env();
        // The four light states and the weather settings of lighting.ini.
        env->LoadEnvironment("lighting.ini");
        es.updateInterval = 60.0f;
        env->SetVisibility(1.0f);
        host.viewer.position[2] = 5000.0;
    }

    // Puts the sun at height h (north of the zenith) and recomputes. The sun
    // copies its direction from the celestial frame, so both are set.
    void Recompute(float h) {
        const float horizontal = std::sqrt(1.0f - h * h);
        float* frame = es.celestialFrame.sunDirection;
        Set3(frame, 0.0f, horizontal, h);
        Set3(es.sun.direction, 0.0f, horizontal, h);
        es.RecomputeLighting();
    }

    // The viewer's altitude as the next Update will read it, published at once.
    void PlaceViewer(double altitude) {
        host.viewer.position[2] = altitude;
        g_frame.viewerPosition[2] = altitude;
    }

    // A frame whose Update hands over the state just computed: nothing is
    // marked and the band state already matches the viewer.
    void FrameWithoutRecompute(float dt = 1.0f / 60.0f) {
        es.recomputeNeeded = 0;
        es.timeSinceRecompute = 0.0f;
        const double alt = host.viewer.position[2];
        const bool inBand = std::fabs(alt - es.overcastAltitude) < es.transitionDepth;
        es.bandState = inBand ? -1 : (es.overcastAltitude < alt ? 1 : 0);
        host.Frame(dt);
    }

    void ExpectClock(int32_t h, int32_t m, int32_t sec, int32_t year, int32_t month, int32_t day) {
        TimeOfDay t{};
        CalendarDate d{};
        env->GetTime(&t);
        env->GetDate(&d);
        EXPECT_EQ(std::vector<int32_t>({t.hours, t.minutes, t.seconds, d.year, d.month, d.day}),
                  std::vector<int32_t>({h, m, sec, year, month, day}));
    }

    TestHost host;
    EnvironmentSystemInterface* env = nullptr;
    EnvironmentSystem& es = g_environmentSystem;
};

TEST_F(Lighting, EachSunHeightBranchAtItsBoundary) {
    // Exactly at the Day height: Day in full, no glow, white horizon clouds.
    Recompute(0.5f);
    EXPECT_EQ(es.current.sunHeight, 0.5f);
    EXPECT_EQ(es.current.sunLightLevel, 1.0f);
    EXPECT_COLOR(es.current.ambientColor, 0.4f, 0.4f, 0.4f);
    EXPECT_COLOR(es.current.skyColor, 0.2f, 0.4f, 0.8f);
    EXPECT_COLOR(es.current.horizonCloudColor, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(g_frame.sunGlowEnabled, 0);
    EXPECT_EQ(g_frame.sunVector[2], 0.5f);

    // Exactly at Twilight1's height: the middle blend with t = 0; the glow
    // weight k is the light level 0.6 and the glow colour the sun's own:
    // horizon glow = 0.4 (0.8, 0.5, 0.3) + 0.6 (1, 0.6, 0.2).
    Recompute(0.2f);
    EXPECT_EQ(g_frame.sunGlowEnabled, 1);
    EXPECT_NEAR(es.current.sunBrightness, 0.8f, 1e-6f);
    EXPECT_COLOR(es.current.skyColor, 0.4f, 0.3f, 0.6f);
    EXPECT_COLOR(g_frame.horizonGlowColor, 0.92f, 0.56f, 0.24f);
    EXPECT_COLOR(g_frame.sunGlowColor, 0.76f, 0.48f, 0.36f);
    // Horizon clouds: horizon (1 - 0.8) + 0.8.
    EXPECT_COLOR(es.current.horizonCloudColor, 0.96f, 0.9f, 0.86f);

    // Exactly at Twilight2's height: the same blend with t = 1.
    Recompute(0.0f);
    EXPECT_EQ(g_frame.sunGlowEnabled, 1);
    EXPECT_NEAR(es.current.sunLightLevel, 0.2f, 1e-6f);
    EXPECT_COLOR(es.current.fogColor, 0.2f, 0.2f, 0.2f);

    // Exactly at the Night height: every entry of Night, horizon clouds take
    // its horizon colour, no glow.
    Recompute(-0.2f);
    EXPECT_EQ(g_frame.sunGlowEnabled, 0);
    EXPECT_EQ(es.current.sunHeight, -0.2f);
    EXPECT_EQ(es.current.sunLightLevel, 0.0f);
    EXPECT_COLOR(es.current.skyColor, 0.0f, 0.0f, 0.1f);
    EXPECT_COLOR(es.current.horizonCloudColor, 0.05f, 0.05f, 0.1f);
}

TEST_F(Lighting, TwilightBlendsAndTheirGlow) {
    // Half-way between Twilight1 (0.2) and Day (0.5): brightness 0.9, light
    // 0.8; the sky blends towards the working sky (Day's in clear weather);
    // k = (1 - 0.5) 0.8 = 0.4 towards Twilight1's sun colour.
    Recompute(0.5f);
    Recompute(0.35f);
    EXPECT_NEAR(es.current.sunBrightness, 0.9f, 1e-6f);
    EXPECT_NEAR(es.current.sunLightLevel, 0.8f, 1e-6f);
    EXPECT_COLOR(es.current.skyColor, 0.3f, 0.35f, 0.7f);
    EXPECT_COLOR(es.current.sunColor, 1.0f, 0.8f, 0.55f);
    EXPECT_COLOR(g_frame.sunGlowColor, 0.6f * 0.3f + 0.4f, 0.6f * 0.35f + 0.24f, 0.6f * 0.7f + 0.08f);
    EXPECT_EQ(es.current.sunHeight, 0.5f) << "the blends leave the height entry alone";

    // Half-way between Twilight2 (0) and Night (-0.2): light 0.1, k = 0.05
    // towards Twilight2's sun colour.
    Recompute(-0.1f);
    EXPECT_NEAR(es.current.sunLightLevel, 0.1f, 1e-6f);
    EXPECT_COLOR(es.current.horizonColor, 0.275f, 0.125f, 0.1f);
    EXPECT_COLOR(g_frame.horizonGlowColor, 0.95f * 0.275f + 0.04f, 0.95f * 0.125f + 0.01f, 0.95f * 0.1f);
}

TEST_F(Lighting, OvercastAndInclementBelowTheLayer) {
    host.SetWeather(3, 6000.0f, 100.0f, 0.5f);
    PlaceViewer(1000.0);
    Recompute(0.6f);
    EXPECT_EQ(std::vector<float>({es.fogStart, es.fogEnd}),
              std::vector<float>({200.0f, 6000.0f})); // StartOvercast x intensity
    EXPECT_COLOR(es.current.skyColor, 0.5f, 0.5f, 0.5f);
    EXPECT_COLOR(es.current.horizonColor, 0.55f, 0.55f, 0.6f);
    EXPECT_EQ(es.current.sunBrightness, 0.0f);
    EXPECT_EQ(es.current.sunLightLevel, 0.5f); // Day 1.0 x OvercastLight
    EXPECT_EQ(es.sunVisibility, 0.0f);

    // What GFX receives every frame, and no sun light disabled while lit.
    host.log.Clear();
    FrameWithoutRecompute();
    FrameWithoutRecompute();
    EXPECT_EQ(host.log.Count("GFX.SetFogRange"), 2);
    EXPECT_EQ(std::vector<float>(host.gfx.fogRange, host.gfx.fogRange + 2), std::vector<float>({200.0f, 6000.0f}));
    EXPECT_COLOR(host.gfx.fog, 0.5f, 0.5f, 0.5f);
    EXPECT_EQ(host.gfx.sunLightEnabled, 1);
    EXPECT_EQ(host.gfx.sunLightLevel, 0.5f);
    EXPECT_EQ(es.skyVisible, 0); // below the layer: no sun, no lens flares

    // Inclement: the fog range moves towards the viewer by half the span
    // times the intensity, e = (2100 - 100) x 0.5 x 0.5 = 500.
    host.SetWeather(4, 6000.0f, 100.0f, 0.5f);
    Recompute(0.6f);
    EXPECT_EQ(std::vector<float>({es.fogStart, es.fogEnd}), std::vector<float>({-400.0f, 1600.0f}));
    EXPECT_EQ(es.current.sunLightLevel, 0.25f);
    EXPECT_COLOR(es.current.fogColor, 0.3f, 0.3f, 0.35f);
    EXPECT_COLOR(es.current.horizonColor, 0.35f, 0.35f, 0.4f);

    // At night the weather's working colours do not apply, the light factor does.
    Recompute(-0.5f);
    EXPECT_COLOR(es.current.skyColor, 0.0f, 0.0f, 0.1f);
    EXPECT_EQ(es.fogEnd, 1600.0f);
}

TEST_F(Lighting, ClearWeatherAndHazeOnBothSides) {
    // Level 0 below the (absent) layer: the fog starts nearer with intensity.
    host.SetWeather(0, 8000.0f, 100.0f, 0.25f);
    EXPECT_EQ(es.hazeSelector, -1);
    PlaceViewer(1000.0);
    Recompute(0.6f);
    EXPECT_EQ(std::vector<float>({es.fogStart, es.fogEnd}), std::vector<float>({750.0f, 20000.0f}));
    EXPECT_COLOR(es.current.fogColor, 0.7f, 0.7f, 0.8f);

    // Intensity 0.5 turns haze on at level 0: fog and horizon take the haze
    // colour, the sky keeps Day's.
    host.SetWeather(0, 8000.0f, 100.0f, 0.5f);
    EXPECT_EQ(es.hazeSelector, 0);
    Recompute(0.6f);
    EXPECT_COLOR(es.current.fogColor, 0.75f, 0.75f, 0.7f);
    EXPECT_COLOR(es.current.horizonColor, 0.75f, 0.75f, 0.7f);
    EXPECT_COLOR(es.current.skyColor, 0.2f, 0.4f, 0.8f);

    // Levels 1 and 2 are haze too, above the layer as below; the selector
    // keeps the level as given.
    for (int level : {1, 2}) {
        host.SetWeather(level, 100.0f, 50.0f, 0.0f);
        EXPECT_EQ(es.hazeSelector, level);
        PlaceViewer(3000.0);
        Recompute(0.6f);
        EXPECT_COLOR(es.current.fogColor, 0.75f, 0.75f, 0.7f);
        EXPECT_EQ(es.fogStart, 1000.0f);
    }
    // Overcast seen from far above changes nothing.
    host.SetWeather(3, 100.0f, 50.0f, 1.0f);
    Recompute(0.6f);
    EXPECT_COLOR(es.current.fogColor, 0.7f, 0.7f, 0.8f);
    EXPECT_EQ(es.current.sunLightLevel, 1.0f);
    EXPECT_EQ(es.sunVisibility, 1.0f);
}

TEST_F(Lighting, SetWeatherClampsTheLevelAndKeepsTheGivenOneForHaze) {
    auto levelAndHaze = [&] { return std::vector<int32_t>({es.weatherLevel, es.hazeSelector}); };
    es.recomputeNeeded = 0; // the load's mark
    host.SetWeather(-7, 500.0f, 20.0f, 0.9f);
    EXPECT_EQ(levelAndHaze(), std::vector<int32_t>({0, -7}));
    host.SetWeather(99, 600.0f, 30.0f, 0.0f);
    EXPECT_EQ(levelAndHaze(), std::vector<int32_t>({4, 99}));
    host.SetWeather(INT32_MIN, 600.0f, 30.0f, 0.0f);
    EXPECT_EQ(levelAndHaze(), std::vector<int32_t>({0, -1}));
    EXPECT_EQ(es.recomputeNeeded, 0) << "weather does not mark";
    env->SetWeather(nullptr);
    EXPECT_EQ(es.weatherLevel, 0);
}

TEST_F(Lighting, TheTransitionBandBlendsTowardsTheCloud) {
    // A small layer, so that SetWeather builds it.
    es.cloudLayer.tileCount = 2;
    es.cloudLayer.tileSize = 100.0;
    host.SetWeather(3, 1000.0f, 100.0f, 0.0f);
    ASSERT_TRUE(es.cloudLayer.IsBuilt());
    // 25 above a layer 100 deep: b = 0.75; the light and brightness fade,
    // the colours move to the overcast tint times the light level times b.
    PlaceViewer(1025.0);
    Recompute(0.6f);
    EXPECT_NEAR(g_frame.cloudFadeFactor, 0.75f, 1e-6f);
    EXPECT_NEAR(es.sunVisibility, 0.25f, 1e-6f);
    EXPECT_NEAR(es.current.sunBrightness, 0.25f, 1e-6f);
    // light 1 - (1 - 0.5) 0.75 = 0.625; the blend used the level before it.
    EXPECT_NEAR(es.current.sunLightLevel, 0.625f, 1e-6f);
    EXPECT_COLOR(es.current.skyColor, 0.25f * 0.2f + 0.375f, 0.25f * 0.4f + 0.375f, 0.25f * 0.8f + 0.375f);
    EXPECT_NEAR(es.fogStart, 1000.0f - 990.0f * 0.75f, 1e-3f);
    EXPECT_NEAR(es.fogEnd, 20000.0f - 19800.0f * 0.75f, 1e-2f);
    EXPECT_COLOR(es.current.horizonColor, 0.525f, 0.55f, 0.6f); // 0.25 Day's + 0.375

    // 40 below: b = 0.6 on top of the overcast state.
    PlaceViewer(960.0);
    Recompute(0.6f);
    EXPECT_NEAR(g_frame.cloudFadeFactor, 0.6f, 1e-6f);
    EXPECT_NEAR(es.fogEnd, 6000.0f - 5800.0f * 0.6f, 1e-2f);
    EXPECT_EQ(es.sunVisibility, 0.0f);

    // Back to clear weather the built layer still fades: the fog start
    // becomes (1 - intensity) StartClear b.
    host.SetWeather(0, 1000.0f, 100.0f, 0.0f);
    Recompute(0.6f);
    EXPECT_NEAR(es.fogStart, 600.0f, 1e-3f);

    // A zero or negative depth has no band at all, even at the layer itself.
    for (float depth : {0.0f, -50.0f}) {
        host.SetWeather(3, 1000.0f, depth, 0.0f);
        PlaceViewer(1000.0);
        Recompute(0.6f);
        EXPECT_EQ(g_frame.cloudFadeFactor, 0.0f);
        EXPECT_EQ(es.fogEnd, 6000.0f);
    }
}

TEST_F(Lighting, RecomputeScheduleWholeSecondsAndMidnightCarry) {
    host.SetDate(2003, 12, 31);
    host.SetTime(23, 58, 0);
    host.Frame(0.0f); // marked: recomputes at once
    host.Frame(30.0f);
    host.Frame(30.0f); // 60 gathered: not more than the interval
    ExpectClock(23, 58, 0, 2003, 12, 31);
    host.Frame(0.75f); // 60.75 > 60: the clock takes 60 s, the fraction is lost
    ExpectClock(23, 59, 0, 2003, 12, 31);
    host.Frame(61.0f); // carries past midnight: the next day, once
    ExpectClock(0, 0, 1, 2004, 1, 1);
    // A carry backwards past midnight also advances the date by one day.
    host.SetTime(0, 0, 10);
    host.Frame(-30.0f);
    ExpectClock(23, 59, 40, 2004, 1, 2);
    // A huge gathered time carries several days: still exactly one.
    host.Frame(1e6f);
    CalendarDate d{};
    EXPECT_EQ(env->GetDate(&d)->day, 3);
    // Beyond the 32-bit range of seconds either way: one day each (a
    // negative gathered time waits for a marked frame).
    host.Frame(1e10f);
    host.SetTime(12, 0, 0);
    host.Frame(-1e10f);
    EXPECT_EQ(env->GetDate(&d)->day, 5);
}

TEST_F(Lighting, NotANumberInTheStatesOrSettingsReachesGraphicsAsZero) {
    // The blends leave the height entry alone and Day's brightness blends
    // into the twilight; the clear fog start is taken as it is.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    es.current.sunHeight = nan;
    es.day.sunBrightness = nan;
    es.weather.startClear = nan;
    Recompute(0.35f);
    EXPECT_EQ(es.current.sunHeight, 0.0f);
    EXPECT_EQ(es.current.sunBrightness, 0.0f);
    FrameWithoutRecompute();
    EXPECT_EQ(host.gfx.fogRange[0], 0.0f);
}

TEST_F(Lighting, EnteringOrCrossingTheLayerRecomputesAtOnce) {
    host.SetWeather(3, 1000.0f, 100.0f, 0.0f);
    host.Frame(0.0f);
    TimeOfDay t{};
    host.Frame(5.0f); // far above, nothing due
    EXPECT_EQ(es.recomputeNeeded, 0);
    EXPECT_EQ(SecondsOf(env->GetTime(&t)), 0);
    PlaceViewer(1050.0); // inside the band: recompute, band state unknown
    host.Frame(5.0f);
    EXPECT_EQ(es.bandState, -1);
    EXPECT_EQ(SecondsOf(env->GetTime(&t)), 10);
    PlaceViewer(500.0); // below: a change of side
    host.Frame(3.0f);
    EXPECT_EQ(es.bandState, 0);
    EXPECT_EQ(SecondsOf(env->GetTime(&t)), 13);
    host.Frame(3.0f); // staying below: nothing
    EXPECT_EQ(SecondsOf(env->GetTime(&t)), 13);
}

TEST_F(Lighting, GraphicsReceiveFogColoursAndSunLightEveryFrame) {
    Recompute(0.6f);
    host.log.Clear();
    FrameWithoutRecompute();
    EXPECT_EQ(FogAndLightCalls(host.log),
              (std::vector<std::string>{"GFX.SetFogRange", "GFX.SetSkyColor", "GFX.SetFogColor",
                                        "GFX.SetSunLightEnabled", "GFX.SetSunLightLevel"}));
    EXPECT_COLOR(host.gfx.sky, 0.2f, 0.4f, 0.8f);
    EXPECT_EQ(host.gfx.fogRange[1], 20000.0f);
    // Full daylight (level 1) leaves the stars alone, as they are not drawn:
    // a frame long enough to refresh one star changes none.
    ASSERT_TRUE(es.starField.stars.Allocate(1));
    es.starField.stars.Records()[0].size = -99.0f;
    es.starField.starsPerSecond = 1.0f;
    FrameWithoutRecompute(1.0f);
    EXPECT_EQ(es.starField.stars.Records()[0].size, -99.0f);
    // In the dark the sun light is switched off and its level not sent.
    Recompute(-0.5f);
    host.log.Clear();
    FrameWithoutRecompute();
    EXPECT_EQ(host.gfx.sunLightEnabled, 0);
    EXPECT_EQ(host.log.Count("GFX.SetSunLightLevel"), 0);
}

TEST_F(Lighting, InclementParticlesAreEmittedAroundTheViewerBelowTheLayer) {
    es.particleSystem = 7;
    host.SetWeather(4, 1000.0f, 10.0f, 1.0f);
    host.viewer.position[0] = 100.0;
    host.viewer.position[1] = -50.0;
    PlaceViewer(400.0);
    Set3(host.viewer.motion, 10.0f, 0.0f, -5.0f);
    // Update reads the sky flag that PrepareFrame set in the frame before.
    host.Frame(0.1f);
    host.particles.emitted.clear();
    host.Frame(0.1f);
    ASSERT_EQ(host.particles.emitted.size(), 2u);
    // The first is 0.6 s of motion ahead and 20 up, the second 10 units
    // along the viewer's forward row (north).
    const double at[2][3] = {{106.0, -50.0, 400.0 - 3.0 + 20.0}, {100.0, -40.0, 400.0}};
    for (int e = 0; e < 2; ++e)
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(host.particles.emitted[e].position[i], at[e][i], 1e-6) << e << "," << i;
    const EmitterRecord& first = host.particles.emitted[0];
    EXPECT_TRUE(first.zero[0] == 0 && first.zero[2] == 0 && first.one == 1.0f);
    for (const testing::Call& call : host.log.Named("PTS.EmitParticles"))
        EXPECT_EQ(call.numbers[2], 0.0); // the last argument is always 0
    // The service filled each handle, and keeps getting it back.
    EXPECT_NE(es.emitterHandles[0], -1);
    EXPECT_NE(es.emitterHandles[0], es.emitterHandles[1]);

    // Above the layer, at level 3 or without a particle system: nothing.
    PlaceViewer(2000.0);
    host.Frame(0.1f);
    host.particles.emitted.clear();
    host.Frame(0.1f);
    EXPECT_TRUE(host.particles.emitted.empty());
    PlaceViewer(400.0);
    host.Frame(0.1f);
    es.particleSystem = -1;
    host.particles.emitted.clear();
    host.Frame(0.1f);
    EXPECT_TRUE(host.particles.emitted.empty());
    es.particleSystem = 7;
    host.SetWeather(3, 1000.0f, 10.0f, 1.0f);
    host.Frame(0.1f);
    EXPECT_TRUE(host.particles.emitted.empty());
    // A viewer so far out (finite, yet the sum of the coordinates overflows
    // a double) gets none either.
    host.SetWeather(4, 1000.0f, 10.0f, 1.0f);
    host.viewer.position[1] = -1e308;
    PlaceViewer(-1e308);
    host.Frame(0.1f);
    EXPECT_TRUE(host.particles.emitted.empty());
}

TEST_F(Lighting, PublishesTheViewAndTheViewerEveryUpdate) {
    host.viewer.position[0] = 12.0;
    Set3(host.viewer.motion, 1.0f, 2.0f, 3.0f);
    env->Update(0.0f);
    EXPECT_EQ(g_frame.currentView, &host.gfx.view);
    EXPECT_EQ(g_frame.viewerPosition[0], 12.0);
    EXPECT_EQ(g_frame.viewerMotion[2], 3.0f);
    EXPECT_EQ(g_frame.viewOrientation[7], 1.0f);
    EXPECT_EQ(host.log.Sequence("VMG."),
              (std::vector<std::string>{"VMG.GetViewerPosition", "VMG.GetViewOrientation", "VMG.GetViewerMotion"}));
    host.gfx.viewIsNull = true;
    env->Update(0.0f);
    EXPECT_EQ(g_frame.currentView, nullptr);
}

} // namespace
} // namespace envsys
