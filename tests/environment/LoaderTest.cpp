// Loading the Environment File: the model's own sections and keys, the order
// of the whole load, reloads, and numbers the model cannot use.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "plugin/EnvironmentSystem.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

std::vector<float> V3(const float* v) { return std::vector<float>(v, v + 3); }

class Loader : public ::testing::Test {
protected:
    void SetUp() override {
        // model.ini holds the model's own sections with a value for every key.
        host.files.disk.root = ENVSYS_SOURCE_DIR "/tests/data/environment";
        host.Init();
        env = host.env();
    }
    TestHost host;
    EnvironmentSystemInterface* env = nullptr;
    EnvironmentSystem& es = g_environmentSystem;
};

TEST_F(Loader, AMissingFileIsLoggedAndChangesNothing) {
    EXPECT_EQ(env->LoadEnvironment("nowhere.ini"), 0);
    EXPECT_TRUE(host.Logged("Loading Environment File nowhere.ini..."));
    EXPECT_TRUE(host.Logged("...Environment File nowhere.ini not found!"));
    EXPECT_EQ(es.recomputeNeeded, 0);
    EXPECT_EQ(es.updateInterval, 0.0f);
    EXPECT_EQ(host.log.Count("PTS.CreateParticleSystem"), 0);
    EXPECT_EQ(host.log.Count("GFX.LoadingFinished"), 0);
    EXPECT_EQ(env->GetAirDensity(0.0f), 0.0f);
    float g[3] = {5.0f, 5.0f, 5.0f};
    EXPECT_EQ(V3(env->GetGravityVector(g)), (std::vector<float>{0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(V3(env->GetSunDirection(g)), (std::vector<float>{0.0f, 0.0f, 0.0f})); // no frame placed it
    // A null name is a file that does not exist.
    EXPECT_EQ(env->LoadEnvironment(nullptr), 0);
    EXPECT_EQ(es.recomputeNeeded, 0);
}

TEST_F(Loader, AnEmptyModelSectionGivesTheDefaults) {
    es.day.skyColor[2] = 0.7f; // colours without keys keep what they had
    es.timeSinceRecompute = 4.0f;
    EXPECT_EQ(host.LoadText("[EnvironmentSystem]\n"), 0);
    EXPECT_EQ(es.recomputeNeeded, 1);
    EXPECT_EQ(es.timeSinceRecompute, 0.0f);
    EXPECT_EQ(es.updateInterval, 60.0f);
    // Latitude 34 and inclination 23.5 as rotations about the first axis.
    EXPECT_NEAR(es.celestialFrame.latitudeRotation[4], std::cos(34.0 * M_PI / 180.0), 1e-6);
    EXPECT_NEAR(es.celestialFrame.latitudeRotation[5], std::sin(34.0 * M_PI / 180.0), 1e-6);
    EXPECT_NEAR(es.celestialFrame.inclinationRotation[7], -std::sin(23.5 * M_PI / 180.0), 1e-6);
    EXPECT_EQ(es.day.sunHeight, 0.0f);
    EXPECT_EQ(es.night.sunLightLevel, 0.0f);
    EXPECT_EQ(es.day.skyColor[2], 0.7f);
    EXPECT_EQ(es.weather.endClear, 0.0f);
    EXPECT_EQ(env->GetGravityAcceleration(), 0.0f);
    EXPECT_EQ(es.particleSystem, -1); // no effect name: the service has none
}

TEST_F(Loader, ReadsTheModelsSectionsInTheirOrderAndEndsWithTheGraphicsCalls) {
    es.day.fogColor[0] = 0.3f;
    env->LoadEnvironment("model.ini");
    EXPECT_EQ(es.updateInterval, 15.0f);
    EXPECT_NEAR(es.celestialFrame.latitudeRotation[5], 1.0f, 1e-6f);
    EXPECT_EQ(es.celestialFrame.inclinationRotation[4], 1.0f);
    EXPECT_EQ(es.day.sunHeight, 0.3f);
    EXPECT_EQ(es.day.sunLightLevel, 0.9f);
    // Components are clamped to 0..1; a colour of two parts is not read.
    EXPECT_EQ(V3(es.day.sunColor), (std::vector<float>{1.0f, 0.5f, 0.0f}));
    EXPECT_EQ(es.day.fogColor[0], 0.3f);
    EXPECT_EQ(es.twilight1.sunBrightness, 0.5f);
    EXPECT_EQ(es.night.skyColor[2], 0.05f);
    EXPECT_EQ(es.weather.startInclement, 10.0f);
    EXPECT_EQ(es.weather.endCloud, 400.0f);
    EXPECT_EQ(es.weather.hazeFogColor[1], 0.76f);
    EXPECT_EQ(es.weather.inclementLight, 0.35f);
    EXPECT_EQ(es.weather.overcastHorizonColor[2], 0.71f);

    EXPECT_EQ(env->GetGravityAcceleration(), 9.81f);
    float g[3] = {1, 1, 1};
    EXPECT_EQ(env->GetGravityVector(g), g);
    EXPECT_EQ(V3(g), (std::vector<float>{0.0f, 0.0f, -9.81f}));
    EXPECT_EQ(env->GetGravityVector(nullptr), nullptr);

    ASSERT_NE(host.log.Last("PTS.CreateParticleSystem"), nullptr);
    EXPECT_EQ(host.log.Last("PTS.CreateParticleSystem")->text, "Rain");
    EXPECT_EQ(es.particleSystem, host.particles.systemHandle);
    // The two graphics calls close the load, once each, with 1.
    const std::vector<std::string> gfx = host.log.Sequence("GFX.");
    ASSERT_GE(gfx.size(), 2u);
    EXPECT_EQ(gfx[gfx.size() - 2], "GFX.LoadingFinished");
    EXPECT_EQ(gfx.back(), "GFX.LoadingFinishedLate");
    EXPECT_EQ(host.log.Last("GFX.LoadingFinished")->numbers[0], 1.0);
    EXPECT_EQ(host.log.Last("GFX.LoadingFinishedLate")->numbers[0], 1.0);
    // The document is closed: no file left open.
    EXPECT_EQ(host.files.OpenHandles(), 0);

    // The components load in their order.
    std::string steps;
    for (const std::string& m : host.messages)
        if (m.compare(0, 3, "...") == 0 || m.compare(0, 7, "Loading") == 0) steps += m + "|";
    EXPECT_EQ(steps, "Loading Environment File model.ini...|...loading sun...|...loading sky...|...loading wind...|"
                     "...loading reflection...|...loading atmosphere...|...loading stars...|...loading clouds...|"
                     "...loading cloud layer...|");
}

TEST_F(Loader, AReloadResetsNumbersKeepsColoursAndHoldsNoExtraMemory) {
    env->LoadEnvironment("model.ini");
    const size_t live = host.mem.LiveBlocks();
    host.LoadText("[Fog]\nStartClear=7\n", "second.ini");
    EXPECT_EQ(es.updateInterval, 60.0f);
    EXPECT_EQ(es.day.sunHeight, 0.0f);
    EXPECT_EQ(es.weather.startClear, 7.0f);
    EXPECT_EQ(es.weather.endClear, 0.0f);
    EXPECT_EQ(es.day.skyColor[2], 0.8f);
    EXPECT_EQ(es.weather.cloudColor[0], 0.92f);
    EXPECT_EQ(env->GetGravityAcceleration(), 0.0f);
    EXPECT_EQ(host.mem.LiveBlocks(), live);
    EXPECT_EQ(host.files.OpenHandles(), 0);
}

TEST_F(Loader, NumbersTheModelCannotUseReadAsTheirDefaults) {
    // Overflowing, infinite and NaN values for keys of three sections.
    env->LoadEnvironment("unusable.ini");
    EXPECT_EQ(es.updateInterval, 60.0f);
    EXPECT_NEAR(es.celestialFrame.latitudeRotation[4], std::cos(34.0 * M_PI / 180.0), 1e-6);
    EXPECT_NEAR(es.celestialFrame.inclinationRotation[4], std::cos(23.5 * M_PI / 180.0), 1e-6);
    EXPECT_EQ(es.day.sunHeight, 0.0f);
    EXPECT_EQ(es.day.sunLightLevel, 0.0f); // 1e39 overflows a float to infinity
    // The colour reader clamps a NaN part to 0 and keeps the others.
    EXPECT_EQ(V3(es.day.skyColor), (std::vector<float>{0.0f, 0.5f, 0.5f}));
    float g[3];
    EXPECT_EQ(V3(env->GetGravityVector(g)), (std::vector<float>{FLT_MAX, 0.0f, -FLT_MAX}));
}

} // namespace
} // namespace envsys
