// Reflection maps: the row chosen from the sun's light level, one hand-over
// per change of row, the grid read from the file, and counts or patterns
// that must not make the row point outside the grid.
#include <gtest/gtest.h>

#include <limits>

#include "clouds/ReflectionMaps.h"
#include "config/IniFile.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/PluginState.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;
using Numbers = std::vector<double>;

class ReflectionMapsTest : public ::testing::Test {
protected:
    void SetUp() override { host.Init(); }
    void TearDown() override { maps.Release(); }

    void UpdateAt(float lightLevel) {
        g_environmentSystem.current.sunLightLevel = lightLevel;
        maps.Update();
    }

    void LoadText(const std::string& text) {
        host.files.Add("reflection.ini", "[Reflection]\n" + text);
        IniFile file("reflection.ini", 0, 0);
        maps.Load(file);
    }

    TestHost host;
    ReflectionMaps maps;
};

TEST_F(ReflectionMapsTest, RowFollowsTheLightLevelAndIsHandedOverOnlyWhenItChanges) {
    LoadText("NumSunLightLevel=4\nNumReflectionLevel=2\nTextureNameFormat=refl_%d_%d.dds\n");
    EXPECT_TRUE(host.Logged("...loading reflection..."));
    ASSERT_EQ(host.gfx.texturesLoaded.size(), 8u);
    EXPECT_EQ(host.gfx.texturesLoaded[3], "refl_1_1.dds"); // row 1, column 1
    const double first = maps.textures[0];

    // Row trunc((1 - level) x 4) clamped to 0..3: 1.0 -> 0; 0.5 -> 2; 0.0 -> 4
    // -> 3; 0.76 -> trunc(0.96) = 0; 0.75 -> exactly 1; -1 -> 3; 2 -> 0; a
    // level that is not a number counts as full light.
    for (float level :
         {1.0f, 1.0f, 0.5f, 0.0f, 0.0f, 0.76f, 0.75f, -1.0f, 2.0f, std::numeric_limits<float>::quiet_NaN()})
        UpdateAt(level);
    std::vector<Numbers> rows;
    for (const auto& call : host.log.Named("GFX.SetReflectionMaps"))
        rows.push_back(call.numbers);
    auto row = [&](double s) { return Numbers{s, 2, first + 2 * s, first + 2 * s + 1}; };
    EXPECT_EQ(rows, (std::vector<Numbers>{row(0), row(2), row(3), row(0), row(1), row(3), row(0)}));

    // A reload gives the old grid back and hands the row over again once.
    const size_t blocks = host.mem.LiveBlocks();
    LoadText("NumSunLightLevel=4\nNumReflectionLevel=2\nTextureNameFormat=refl_%d_%d.dds\n");
    for (int i = 0; i < 3; ++i)
        UpdateAt(0.0f);
    EXPECT_EQ(host.log.Count("GFX.SetReflectionMaps"), 8);
    EXPECT_EQ(host.mem.LiveBlocks(), blocks);
    EXPECT_EQ(host.gfx.textures.size(), 8u);

    maps.Release();
    EXPECT_TRUE(host.gfx.textures.empty());
    EXPECT_EQ(maps.textures, nullptr);
    UpdateAt(0.5f); // no grid: nothing handed over
    EXPECT_EQ(host.log.Count("GFX.SetReflectionMaps"), 8);
}

TEST_F(ReflectionMapsTest, EmptyNegativeOrOverflowingCountsKeepThePreviousGrid) {
    LoadText("NumSunLightLevel=4\nNumReflectionLevel=2\nTextureNameFormat=r%d%d\n");
    int32_t* grid = maps.textures;
    ASSERT_NE(grid, nullptr);
    // Two negative counts would multiply to a positive 6; 65536 x 65536
    // handles would overflow the block size.
    for (const char* counts :
         {"NumSunLightLevel=8\nNumReflectionLevel=0\n", "NumSunLightLevel=0\nNumReflectionLevel=5\n",
          "NumSunLightLevel=-2\nNumReflectionLevel=-3\n", "NumSunLightLevel=65536\nNumReflectionLevel=65536\n"}) {
        LoadText(std::string("TextureNameFormat=r%d%d\n") + counts);
        EXPECT_TRUE(maps.textures == grid && maps.numSunLightLevel == 4 && maps.numReflectionLevel == 2) << counts;
        UpdateAt(0.0f);
        EXPECT_EQ(host.log.Last("GFX.SetReflectionMaps")->numbers, (Numbers{3, 2, 1.0 * grid[6], 1.0 * grid[7]}))
            << counts;
    }
    EXPECT_EQ(host.log.Count("GFX.LoadTexture"), 8);
}

TEST_F(ReflectionMapsTest, OneRowIsAGridAndWithoutGfxNothingIsLoadedHandedOverOrGivenBack) {
    const char* oneRow = "NumSunLightLevel=1\nNumReflectionLevel=2\nTextureNameFormat=r%d%d\n";
    LoadText(oneRow);
    UpdateAt(0.0f);
    EXPECT_EQ(host.log.Last("GFX.SetReflectionMaps")->numbers, (Numbers{0, 2, 100, 101}));
    g_plugin.gfx = nullptr;
    LoadText(oneRow);
    UpdateAt(1.0f);
    maps.Release();
    g_plugin.gfx = &host.gfx;
    EXPECT_EQ(host.log.Sequence("GFX."),
              (std::vector<std::string>{"GFX.LoadTexture", "GFX.LoadTexture", "GFX.SetReflectionMaps"}));
    host.gfx.textures.clear();
}

TEST_F(ReflectionMapsTest, HostilePatternsLoadNothingAndAFailedBlockLeavesNoGrid) {
    for (const char* pattern : {"%s%d", "%n%d", "%d%d%d", "%f%d"}) {
        LoadText(std::string("NumSunLightLevel=2\nNumReflectionLevel=2\nTextureNameFormat=") + pattern + "\n");
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
