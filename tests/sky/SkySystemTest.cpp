// The sky components inside the whole system: loaded from an Environment
// File, driven by frames, unloaded and reloaded without leaving anything
// behind.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/EnvironmentSystem.h"
#include "plugin/FrameContext.h"
#include "tests/sky/SkyTestSupport.h"

namespace envsys {
namespace {

using testing::TestHost;

const char* const kEnvironment = "[Sky]\nSkyPanelCount=2\nHorizonCloudTexture=band%d_%d.dds\n"
                                 "[Sun]\nTwilightSunAnimation=4\nTwilightSunFormat=tw%d.dds\nDaySunSize=8\n"
                                 "[LensFlare001]\nSize=3\n[LensFlare002]\nFade=REVERSE\n"
                                 "[Stars]\nStarDataFile=sky.dat\nSizeFactor=1\n";

int LiveBandTextures(const TestHost& host) {
    int n = 0;
    for (const auto& entry : host.gfx.textures)
        n += entry.second.compare(0, 4, "band") == 0 ? 1 : 0;
    return n;
}

TEST(SkySystem, LoadFramesUnloadAndReloadLeaveNothingOfTheSkyBehind) {
    TestHost host;
    host.Init();
    host.files.Add("sky.dat", testing::StarFile(2, "GG"));
    host.LoadText(kEnvironment);
    EnvironmentSystem& env = g_environmentSystem;

    EXPECT_EQ(host.gfx.LiveMeshes(), 16);
    EXPECT_EQ(host.gfx.LiveLights(), 1);
    EXPECT_EQ(env.sun.twilightFrames.count, 4);
    EXPECT_EQ(env.sun.lensFlares.count, 2);
    EXPECT_EQ(env.starField.stars.count, 2);
    EXPECT_EQ(host.gfx.preparedMaterials.size(), 4u);
    EXPECT_STREQ(host.gfx.preparedMaterials[3].stages[0].textureName, "tw4.dds");

    host.SetWeather(2, 1000.0f, 100.0f, 0.0f);
    EXPECT_EQ(host.gfx.LiveMeshes(), 24);
    EXPECT_EQ(LiveBandTextures(host), 8);
    host.SetWeather(1, 1000.0f, 100.0f, 0.0f);
    EXPECT_EQ(host.gfx.LiveMeshes(), 24);
    EXPECT_EQ(LiveBandTextures(host), 8);
    host.log.enabled = false;
    for (int i = 0; i < 30; ++i)
        host.Frame(1.0f / 30.0f);

    host.env()->Unload();
    EXPECT_EQ(host.gfx.LiveMeshes(), 0);
    EXPECT_EQ(host.gfx.LiveLights(), 0);
    EXPECT_EQ(LiveBandTextures(host), 0);
    EXPECT_EQ(env.starField.stars.count, 0);
    EXPECT_EQ(env.skyDome.bandTextureFormat, nullptr);
    for (int p = 0; p < SkyDome::kPanels; ++p)
        EXPECT_EQ(env.skyDome.vertexDirections[p], nullptr);

    // Two loads in a row: the second gives back what the first built.
    host.LoadText(kEnvironment);
    host.SetWeather(2, 1000.0f, 100.0f, 0.0f);
    host.LoadText(kEnvironment);
    EXPECT_EQ(host.gfx.LiveMeshes(), 16);
    EXPECT_EQ(host.gfx.LiveLights(), 1);
    EXPECT_EQ(LiveBandTextures(host), 0);
}

} // namespace
} // namespace envsys
