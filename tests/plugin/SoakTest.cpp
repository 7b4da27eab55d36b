// Ten thousand LoadEnvironment / Unload cycles with frames in between keep
// the owner tag's live memory flat: the same blocks and bytes after every
// load and after every unload, and no host object left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "plugin/EnvironmentSystem.h"
#include "plugin/Log.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

const char* const kSmallEnvironment = R"([EnvironmentSystem]
UpdateRate = 0.05
[Day]
SunHeight = 0.3
SunLightLevel = 1
SkyColor = 0.3, 0.5, 0.9
[Twilight1]
SunHeight = 0.1
[Twilight2]
SunHeight = -0.05
[Night]
SunHeight = -0.2
[Sun]
TwilightSunMaterial = Flare
TwilightSunAnimation = 2
TwilightSunFormat = sun%d.dds
[LensFlare001]
Size = 10
Material = Flare
[Sky]
SkyPanelCount = 1
HorizonCloudTexture = band%d_%d.dds
[BaseWindSection]
WindChange[01].ChangeTime = 0.01
WindChange[01].ChangeChance = 100
[Reflection]
NumSunLightLevel = 2
NumReflectionLevel = 1
TextureNameFormat = refl%d_%d.dds
[Stars]
UpdateRate = 1
MinHeight = 0.1
StarDataFile = stars.dat
[Clouds]
MaxClouds = 2
MaxCloudParticles = 2
[CloudLayer]
TopTexture = top%d.dds
BottomTexture = bottom%d.dds
TileCount = 1
TileSize = 100
[Flare]
NumTextureStages = 1
)";

std::string TwoStars() {
    const int32_t count = 2;
    std::string bytes(reinterpret_cast<const char*>(&count), 4);
    for (int i = 0; i < count; ++i) {
        const float values[3] = {90.0f * static_cast<float>(i), 30.0f, 2.0f};
        bytes.append(reinterpret_cast<const char*>(values), sizeof values);
        bytes += std::string{'G', 0, 0, 0};
    }
    return bytes;
}

// Drops the test host's records of objects the plug-in has given back, so
// that ten thousand cycles do not pile them up in the test process.
void ForgetReleased(TestHost& host) {
    auto& meshes = host.gfx.meshes;
    meshes.erase(std::remove_if(meshes.begin(), meshes.end(), [](const auto& m) { return m->released; }), meshes.end());
    auto& lights = host.gfx.lights;
    lights.erase(std::remove_if(lights.begin(), lights.end(), [](const auto& l) { return l->released; }), lights.end());
    host.gfx.quads.clear();
    host.gfx.texturesLoaded.clear();
    host.gfx.preparedMaterials.clear();
    host.particles.emitted.clear();
    host.particles.emitterHandlesSeen.clear();
}

TEST(Soak, TenThousandLoadsAndUnloadsKeepMemoryFlat) {
    TestHost host;
    host.log.enabled = false;
    SetLogSink(nullptr, nullptr);
    host.files.Add("env.ini", kSmallEnvironment);
    host.files.Add("stars.dat", TwoStars());
    host.Init();
    EnvironmentSystemInterface* env = host.env();
    ASSERT_NE(env, nullptr);

    size_t loadedBlocks = 0, loadedBytes = 0, unloadedBlocks = 0, unloadedBytes = 0;
    int liveMeshes = 0, liveTextures = 0;
    int drifted = 0;
    for (int cycle = 0; cycle < 10000; ++cycle) {
        env->LoadEnvironment("env.ini");
        host.SetWeather(3 + cycle % 2, 1000.0f, 100.0f, 0.5f);
        // Night and day alternate, so the stars and the sun both work.
        host.SetTime(cycle % 2 == 0 ? 0 : 12);
        host.Frame(0.1f);
        host.Frame(0.1f);
        const size_t blocks = host.mem.LiveBlocks(), bytes = host.mem.LiveBytes();
        env->Unload();
        ForgetReleased(host);
        if (cycle == 0) {
            loadedBlocks = blocks;
            loadedBytes = bytes;
            unloadedBlocks = host.mem.LiveBlocks();
            unloadedBytes = host.mem.LiveBytes();
            liveMeshes = host.gfx.LiveMeshes();
            liveTextures = static_cast<int>(host.gfx.textures.size());
            continue;
        }
        if (blocks != loadedBlocks || bytes != loadedBytes || host.mem.LiveBlocks() != unloadedBlocks ||
            host.mem.LiveBytes() != unloadedBytes || host.gfx.LiveMeshes() != liveMeshes ||
            static_cast<int>(host.gfx.textures.size()) != liveTextures) {
            if (++drifted == 1)
                ADD_FAILURE() << "cycle " << cycle << ": loaded " << blocks << " blocks / " << bytes << " bytes (first "
                              << loadedBlocks << " / " << loadedBytes << "), unloaded " << host.mem.LiveBlocks()
                              << " / " << host.mem.LiveBytes() << " (first " << unloadedBlocks << " / " << unloadedBytes
                              << "), meshes " << host.gfx.LiveMeshes() << " (first " << liveMeshes << "), textures "
                              << host.gfx.textures.size() << " (first " << liveTextures << ")";
        }
    }
    EXPECT_EQ(drifted, 0);
    EXPECT_GT(loadedBlocks, unloadedBlocks);
    EXPECT_EQ(host.mem.badFrees, 0);
    host.Exit();
    EXPECT_EQ(host.mem.LiveBlocks(), 0u);
}

} // namespace
} // namespace envsys
