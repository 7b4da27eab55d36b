// The EnvironmentSystem object's own operations: stored values, copies,
// the overcast queries and the set-up / tear-down of its services.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "plugin/EnvironmentSystem.h"
#include "plugin/FrameContext.h"
#include "plugin/PluginState.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

class EnvironmentSystemOps : public ::testing::Test {
protected:
    void SetUp() override {
        host.Init();
        env = host.env();
        ASSERT_NE(env, nullptr);
    }
    TestHost host;
    EnvironmentSystemInterface* env = nullptr;
};

TEST_F(EnvironmentSystemOps, SetUpPublishesTheFrameContextAndStartValues) {
    EXPECT_EQ(g_frame.system, &g_environmentSystem);
    EXPECT_EQ(g_frame.celestialFrame, &g_environmentSystem.celestialFrame);
    EXPECT_EQ(g_frame.light, &g_environmentSystem.current);
    EXPECT_EQ(g_plugin.gfx, static_cast<GraphicsService*>(&host.gfx));
    const EnvironmentSystem& e = g_environmentSystem;
    EXPECT_EQ(e.weatherLevel, 0);
    EXPECT_EQ(e.transitionDepth, 1.0f);
    // "None chosen yet" is -1 for the haze, the band and the host's particle handles.
    for (int32_t none : {e.hazeSelector, e.bandState, e.emitterHandles[0], e.emitterHandles[1], e.particleSystem})
        EXPECT_EQ(none, -1);
    // The calendar starts at year 0, 1 January.
    CalendarDate date{};
    EXPECT_EQ(env->GetDate(&date), &date);
    EXPECT_TRUE(date.year == 0 && date.month == 1 && date.day == 1);
    // DrawSky fetches the view; with no light there is no sun and no lens
    // flare, and stars may be drawn but none exist.
    env->PrepareFrame();
    host.log.Clear();
    env->DrawSky();
    env->DrawLensFlare();
    EXPECT_EQ(host.log.Count("GFX.GetView"), 1);
    EXPECT_EQ(host.gfx.quads.size(), 0u);
    EXPECT_EQ(g_frame.currentView, &host.gfx.view);

    host.Exit();
    EXPECT_EQ(g_frame.system, nullptr);
    EXPECT_EQ(g_frame.light, nullptr);
    EXPECT_EQ(g_plugin.gfx, nullptr);
}

TEST_F(EnvironmentSystemOps, WhatMarksARecomputeAndWhatIsZeroWithNothingLoaded) {
    env->SetVisibility(0.25f);
    EXPECT_EQ(g_environmentSystem.visibilityScale, 0.25f);
    EXPECT_EQ(g_environmentSystem.recomputeNeeded, 0) << "visibility does not mark";
    const TimeOfDay time{13, 45, 30, 2};
    env->SetTime(&time);
    EXPECT_EQ(g_environmentSystem.recomputeNeeded, 1);
    TimeOfDay timeOut{};
    EXPECT_EQ(env->GetTime(&timeOut), &timeOut);
    EXPECT_EQ(std::memcmp(&timeOut, &time, sizeof time), 0);
    // A new date marks and restarts the time since the last recompute.
    g_environmentSystem.recomputeNeeded = 0;
    g_environmentSystem.timeSinceRecompute = 5.0f;
    const CalendarDate date{2003, 6, 21};
    env->SetDate(&date);
    EXPECT_EQ(g_environmentSystem.recomputeNeeded, 1);
    EXPECT_EQ(g_environmentSystem.timeSinceRecompute, 0.0f);
    CalendarDate dateOut{};
    env->GetDate(&dateOut);
    EXPECT_EQ(std::memcmp(&dateOut, &date, sizeof date), 0);
    // Null pointers are ignored rather than followed.
    g_environmentSystem.recomputeNeeded = 0;
    env->SetTime(nullptr);
    env->SetDate(nullptr);
    EXPECT_EQ(g_environmentSystem.recomputeNeeded, 0);
    EXPECT_EQ(env->GetTime(nullptr), nullptr);
    EXPECT_EQ(env->GetDate(nullptr), nullptr);
    // Nothing loaded: gravity and light are zero, no light handle.
    EXPECT_EQ(env->GetGravityAcceleration(), 0.0f);
    float gravity[3] = {1, 1, 1};
    EXPECT_EQ(env->GetGravityVector(gravity), gravity);
    EXPECT_EQ(gravity[2], 0.0f);
    EXPECT_EQ(env->GetSunLightLevel(), 0.0f);
    EXPECT_EQ(env->GetSunLight(), nullptr);
}

// The overcast queries, and PrepareFrame refreshing both flags from the
// viewer's altitude.
TEST_F(EnvironmentSystemOps, OvercastQueriesByWeatherLevelAndPrepareFrame) {
    g_environmentSystem.overcastAltitude = 1000.0f;
    // Clear and hazy weather has no layer: both answers are 1 at any altitude.
    for (int level : {0, 1, 2}) {
        g_environmentSystem.weatherLevel = level;
        for (float altitude : {-100.0f, 1000.0f, 5000.0f}) {
            EXPECT_EQ(env->IsAboveOvercast(altitude), 1);
            EXPECT_EQ(env->IsBelowOvercast(altitude), 1);
        }
    }
    for (int level : {3, 4}) {
        g_environmentSystem.weatherLevel = level;
        // Above and below at 1500 and 500; exactly at the layer the viewer
        // is neither.
        EXPECT_EQ((std::vector<int32_t>{env->IsAboveOvercast(1500.0f), env->IsBelowOvercast(1500.0f),
                                        env->IsAboveOvercast(500.0f), env->IsBelowOvercast(500.0f),
                                        env->IsAboveOvercast(1000.0f), env->IsBelowOvercast(1000.0f)}),
                  (std::vector<int32_t>{1, 0, 0, 1, 0, 0}));
    }
    g_environmentSystem.weatherLevel = 3;
    g_frame.viewerPosition[2] = 400.0;
    env->PrepareFrame();
    EXPECT_EQ(g_environmentSystem.skyVisible, 0);
    EXPECT_EQ(g_environmentSystem.horizonCloudsVisible, 1);
    g_frame.viewerPosition[2] = 2000.0;
    env->PrepareFrame();
    EXPECT_EQ(g_environmentSystem.skyVisible, 1);
    EXPECT_EQ(g_environmentSystem.horizonCloudsVisible, 0);
}

} // namespace
} // namespace envsys
