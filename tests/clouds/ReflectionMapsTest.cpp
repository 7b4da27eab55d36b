// Reflection maps: the row chosen from the sun's light level, one hand-over
// per change of row, the grid read from the file, and counts or patterns
// that must not make the row point outside the grid.
#include <gtest/gtest.h>

#include <limits>

#include "clouds/ReflectionMaps.h"
#include "config/IniFile.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/Memory.h"
#include "tests/clouds/ConfigReady.h"
#include "tests/support/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;
using Numbers = std::vector<double>;

class ReflectionMapsTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.Init();
        baseBlocks = host.mem.LiveBlocks();
    }
    void TearDown() override { maps.Release(); }

    void UpdateAt(float lightLevel) {
        g_environmentSystem.current.sunLightLevel = lightLevel;
        maps.Update();
    }

    std::vector<Numbers> Handovers() const {
        std::vector<Numbers> out;
        for (const auto& call : host.log.Named("GFX.SetReflectionMaps"))
            out.push_back(call.numbers);
        return out;
    }

    void LoadText(const std::string& text) {
        host.files.Add("reflection.ini", text);
        IniFile file("reflection.ini", 0, 0);
        maps.Load(file);
    }

    TestHost host;
    ReflectionMaps maps;
    size_t baseBlocks = 0; // what the plug-in itself holds once initialised
};

TEST_F(ReflectionMapsTest, RowFollowsTheLightLevelAndIsHandedOverOnlyWhenItChanges) {
    // Four light levels of two handles each: row s holds 100 + 2s, 101 + 2s.
    maps.numSunLightLevel = 4;
    maps.numReflectionLevel = 2;
    maps.textures = static_cast<int32_t*>(MemAlloc(8 * sizeof(int32_t)));
    ASSERT_NE(maps.textures, nullptr);
    for (int32_t i = 0; i < 8; ++i)
        maps.textures[i] = 100 + i;

    // Row trunc((1 - level) * 4), clamped to 0..3: 1.0 -> 0; 0.5 -> 2;
    // 0.0 -> 4 -> 3; 0.76 -> trunc(0.96) = 0; 0.75 -> exactly 1; -1 -> 8 -> 3;
    // 2.0 -> -4 -> 0.
    for (float level : {1.0f, 1.0f, 0.5f, 0.0f, 0.0f, 0.76f, 0.75f, -1.0f, 2.0f})
        UpdateAt(level);
    EXPECT_EQ(Handovers(), (std::vector<Numbers>{{0, 2, 100, 101},
                                                 {2, 2, 104, 105},
                                                 {3, 2, 106, 107},
                                                 {0, 2, 100, 101},
                                                 {1, 2, 102, 103},
                                                 {3, 2, 106, 107},
                                                 {0, 2, 100, 101}}));
    // A level that is not a number counts as full light: row 0, no change.
    UpdateAt(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(host.log.Count("GFX.SetReflectionMaps"), 7);
    EXPECT_EQ(maps.currentLevel, 0);

    // Release gives every handle back and keeps the counts.
    maps.Release();
    EXPECT_EQ(host.log.Count("GFX.ReleaseTexture"), 8);
    EXPECT_EQ(maps.textures, nullptr);
    EXPECT_EQ(maps.numSunLightLevel, 4);
    EXPECT_EQ(host.mem.LiveBlocks(), baseBlocks);
    UpdateAt(0.0f); // no grid: nothing handed over
    EXPECT_EQ(host.log.Count("GFX.SetReflectionMaps"), 7);
}

TEST_F(ReflectionMapsTest, GridIsNamedByRowThenColumnAndReloadsReleaseTheOldOne) {
    ENVSYS_REQUIRE_CONFIG(host);
    const std::string grid = "[Reflection]\nNumSunLightLevel=2\nNumWeatherLevel=5\nNumReflectionLevel=3\n"
                             "TextureNameFormat=refl_%d_%d.dds\n";
    LoadText(grid);
    EXPECT_TRUE(host.Logged("...loading reflection..."));
    EXPECT_EQ(maps.numWeatherLevel, 5);
    EXPECT_EQ(host.gfx.texturesLoaded, (std::vector<std::string>{"refl_0_0.dds", "refl_0_1.dds", "refl_0_2.dds",
                                                                 "refl_1_0.dds", "refl_1_1.dds", "refl_1_2.dds"}));
    EXPECT_EQ(host.gfx.textures[maps.textures[1 * 3 + 2]], "refl_1_2.dds");

    // A steady light hands the row over once after each load.
    for (int i = 0; i < 3; ++i)
        UpdateAt(0.2f); // trunc(0.8 * 2) = 1
    EXPECT_EQ(host.log.Count("GFX.SetReflectionMaps"), 1);
    const size_t blocks = host.mem.LiveBlocks();
    LoadText(grid);
    for (int i = 0; i < 3; ++i)
        UpdateAt(0.2f);
    EXPECT_EQ(host.log.Count("GFX.SetReflectionMaps"), 2);
    EXPECT_EQ(host.mem.LiveBlocks(), blocks);
    EXPECT_EQ(host.gfx.textures.size(), 6u);
}

TEST_F(ReflectionMapsTest, EmptyNegativeOrOverflowingCountsKeepThePreviousGrid) {
    ENVSYS_REQUIRE_CONFIG(host);
    LoadText("[Reflection]\nNumSunLightLevel=4\nNumReflectionLevel=2\nTextureNameFormat=r%d%d\n");
    ASSERT_NE(maps.textures, nullptr);
    int32_t* grid = maps.textures;
    // Two negative counts would multiply to a positive 6; 65536 x 65536
    // handles would overflow the block size.
    for (const char* counts :
         {"NumSunLightLevel=8\nNumReflectionLevel=0\n", "NumSunLightLevel=0\nNumReflectionLevel=5\n",
          "NumSunLightLevel=-2\nNumReflectionLevel=-3\n", "NumSunLightLevel=65536\nNumReflectionLevel=65536\n"}) {
        LoadText(std::string("[Reflection]\nTextureNameFormat=r%d%d\n") + counts);
        EXPECT_EQ(maps.textures, grid) << counts;
        EXPECT_EQ(maps.numSunLightLevel, 4) << counts;
        EXPECT_EQ(maps.numReflectionLevel, 2) << counts;
        UpdateAt(0.0f);
        const auto* last = host.log.Last("GFX.SetReflectionMaps");
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(last->numbers[0], 3) << counts;
        EXPECT_EQ(last->numbers[1], 2) << counts;
    }
    EXPECT_EQ(host.log.Count("GFX.LoadTexture"), 8);
}

TEST_F(ReflectionMapsTest, HostilePatternsLoadNothingAndAFailedBlockLeavesNoGrid) {
    ENVSYS_REQUIRE_CONFIG(host);
    for (const char* pattern : {"%s%d", "%n%d", "%d%d%d", "%f%d"}) {
        LoadText(std::string("[Reflection]\nNumSunLightLevel=2\nNumReflectionLevel=2\nTextureNameFormat=") + pattern +
                 "\n");
        ASSERT_NE(maps.textures, nullptr);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(maps.textures[i], -1) << pattern;
    }
    EXPECT_EQ(host.log.Count("GFX.LoadTexture"), 0);

    host.files.Add("reflection.ini", "[Reflection]\nNumSunLightLevel=2\nNumReflectionLevel=2\n");
    IniFile file("reflection.ini", 0, 0);
    host.mem.FailAt(1);
    maps.Load(file);
    EXPECT_EQ(maps.textures, nullptr);
    EXPECT_TRUE(host.Logged("Unable to allocate block memory of size 4!"));
    UpdateAt(0.5f);
    EXPECT_EQ(host.log.Count("GFX.SetReflectionMaps"), 0);
}

} // namespace
} // namespace envsys
