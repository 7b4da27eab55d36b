// The overcast cloud layer: the tile grid and its fade, the truncations, the
// index order, textures by weather level, the draw offset and side, reloads
// and releases, grids or hosts that must not break it, and the layer at work
// inside the system.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "clouds/CloudLayer.h"
#include "config/IniFile.h"
#include "config/StringUtils.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/FrameContext.h"
#include "plugin/PluginState.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;
using testing::TestMesh;

class CloudLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.files.disk.root = ENVSYS_SOURCE_DIR "/tests/data/clouds";
        host.Init();
    }
    void TearDown() override { layer.Release(); }

    void Grid(int32_t tiles, double size) {
        layer.tileCount = tiles;
        layer.tileSize = size;
        layer.invTileSize = 1.0 / size;
    }

    void Load(const char* name) {
        IniFile file(name, 0, 0);
        layer.Load(file);
    }

    TestMesh& Mesh() { return *host.gfx.meshes.back(); }

    // The alpha shared by every vertex at (x, y).
    float AlphaAt(float x, float y) {
        float alpha = -1.0f;
        for (const Vertex& v : Mesh().vertices) {
            if (v.x != x || v.y != y) continue;
            if (alpha >= 0.0f) {
                EXPECT_EQ(v.a, alpha) << x << "," << y;
            }
            alpha = v.a;
        }
        return alpha;
    }

    void DrawFrom(double x, double y, double z) {
        g_frame.viewerPosition[0] = x;
        g_frame.viewerPosition[1] = y;
        g_frame.viewerPosition[2] = z;
        layer.Draw();
    }

    TestHost host;
    CloudLayer layer;
};

TEST_F(CloudLayerTest, FourTilesOfAThousandFadeFromTheCentre) {
    Grid(4, 1000.0);
    layer.Build(3, 500.0f);
    ASSERT_TRUE(layer.IsBuilt());
    EXPECT_EQ(host.log.Last("GFX.CreateMesh")->numbers, (std::vector<double>{64, 96, 4}));

    // Span -2000..2000, fade radius trunc((3 x 1000 / 2)^2) = 1500^2.
    for (const Vertex& v : Mesh().vertices) {
        EXPECT_TRUE(std::fabs(v.x) <= 2000.0f && std::fabs(v.y) <= 2000.0f && v.z == 0.0f);
        EXPECT_TRUE(v.r == 1.0f && v.g == 1.0f && v.b == 1.0f);
    }
    // Alpha 1 - (x^2 + y^2) / 1500^2, at least 0: 1, 0.5556, 0.5556, 0.1111, 0, 0.
    const float alphas[6][3] = {{0, 0, 1},    {1000, 0, 0.5556f}, {0, -1000, 0.5556f}, {1000, 1000, 0.1111f},
                                {2000, 0, 0}, {-2000, -2000, 0}};
    for (const auto& p : alphas)
        EXPECT_NEAR(AlphaAt(p[0], p[1]), p[2], 1e-4f) << p[0] << "," << p[1];

    // Rows step in x, columns in y; corners (x0, y0+T) (x0+T, y0+T) (x0, y0)
    // (x0+T, y0) with uv 00 10 01 11.
    const Vertex* v = Mesh().vertices.data();
    const float tile0[4][4] = {{-2000, -1000, 0, 0}, {-1000, -1000, 1, 0}, {-2000, -2000, 0, 1}, {-1000, -2000, 1, 1}};
    for (int c = 0; c < 4; ++c)
        EXPECT_TRUE(v[c].x == tile0[c][0] && v[c].y == tile0[c][1] && v[c].u == tile0[c][2] && v[c].v == tile0[c][3])
            << c;
    EXPECT_TRUE(v[4 * 1 + 2].x == -2000.0f && v[4 * 1 + 2].y == -1000.0f); // tile (0, 1)
    EXPECT_TRUE(v[4 * 4 + 2].x == -1000.0f && v[4 * 4 + 2].y == -2000.0f); // tile (1, 0)
    const auto& idx = Mesh().indices;
    EXPECT_EQ(std::vector<uint16_t>(idx.begin(), idx.begin() + 6), (std::vector<uint16_t>{0, 1, 2, 1, 3, 2}));
    EXPECT_EQ(std::vector<uint16_t>(idx.end() - 6, idx.end()), (std::vector<uint16_t>{60, 61, 62, 61, 63, 62}));
    EXPECT_EQ(Mesh().commits, 1);
    EXPECT_EQ(Mesh().record.mode, 5);
}

TEST_F(CloudLayerTest, TruncationsAndTheInvisibleSingleTile) {
    // T = 2.5, N = 2: half = trunc(2.5) = 2; row 1 starts at trunc(0.5) = 0
    // but column 1 at 0.5; fade radius trunc(1.25^2) = 1, so (0, 0.5) has
    // alpha 1 - 0.25.
    Grid(2, 2.5);
    layer.Build(3, 0.0f);
    EXPECT_TRUE(Mesh().vertices[0].x == -2.0f && Mesh().vertices[0].y == 0.5f);
    const Vertex& corner = Mesh().vertices[4 * 3 + 2];
    EXPECT_TRUE(corner.x == 0.0f && corner.y == 0.5f);
    EXPECT_FLOAT_EQ(corner.a, 0.75f);

    // One tile has fade radius 0: every vertex transparent, also one on the
    // centre (T = 1 makes the half extent 0).
    for (double size : {1000.0, 1.0}) {
        Grid(1, size);
        layer.Build(3, 0.0f);
        for (const Vertex& v : Mesh().vertices)
            EXPECT_EQ(v.a, 0.0f) << size;
    }
}

TEST_F(CloudLayerTest, DrawSnapsToWholeTilesTowardsZeroAndPicksTheViewersSide) {
    DrawFrom(0, 0, 0); // nothing built: nothing drawn
    Grid(4, 1000.0);
    layer.Build(4, 500.0f);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    DrawFrom(2500, 1200, 600);   // ix 2, iy 1: offset -500, -200, -100
    DrawFrom(-2500, -1200, 400); // ix -2 (not -3), iy -1: offset 500, 200, 100
    DrawFrom(0, 0, 500);         // at the layer's altitude: seen from above
    DrawFrom(0, 0, -FLT_MAX);    // 500 + FLT_MAX rounds to FLT_MAX: still a float
    // No offset to draw at, or none that a float holds.
    DrawFrom(nan, 0, 0);
    DrawFrom(0, nan, 0);
    DrawFrom(0, 0, -1e300);

    const TestMesh& mesh = Mesh();
    EXPECT_EQ(mesh.drawsRelative,
              (std::vector<std::array<float, 3>>{{-500, -200, -100}, {500, 200, 100}, {0, 0, 0}, {0, 0, FLT_MAX}}));
    EXPECT_EQ(mesh.drawMaterials, (std::vector<MaterialRecord*>{&layer.topMaterial, &layer.bottomMaterial,
                                                                &layer.topMaterial, &layer.bottomMaterial}));
}

TEST_F(CloudLayerTest, GridsThatCannotBeIndexedOrHaveNoSizeAndNullMeshesBuildNothing) {
    for (int32_t tiles : {0, -3, 129, INT_MAX}) {
        Grid(tiles, 1000.0);
        layer.Build(3, 0.0f);
        EXPECT_FALSE(layer.IsBuilt()) << tiles;
    }
    for (double size : {0.0, -5.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        Grid(4, size);
        layer.Build(3, 0.0f);
        EXPECT_FALSE(layer.IsBuilt()) << size;
    }
    EXPECT_EQ(host.log.Count("GFX.CreateMesh"), 0);

    // 16-bit indices reach 4 x 128^2 - 1 = 65535 and no further.
    Grid(128, 10.0);
    layer.Build(3, 0.0f);
    ASSERT_TRUE(layer.IsBuilt());
    EXPECT_EQ(*std::max_element(Mesh().indices.begin(), Mesh().indices.end()), 65535);

    host.gfx.createMeshFails = true;
    layer.Build(3, 0.0f);
    EXPECT_FALSE(layer.IsBuilt());
    host.gfx.createMeshFails = false;
    host.gfx.meshDataIsNull = true;
    layer.Build(3, 0.0f);
    EXPECT_FALSE(layer.IsBuilt());
    host.gfx.meshDataIsNull = false;
    host.gfx.meshIndicesAreNull = true; // vertices without indices
    layer.Build(3, 0.0f);
    EXPECT_FALSE(layer.IsBuilt());
    EXPECT_EQ(host.gfx.LiveMeshes(), 0);
    EXPECT_EQ(Mesh().commits, 0);
}

TEST_F(CloudLayerTest, TexturesByLevelPlusOneAndEachRebuildOrReleaseGivesTheOldOnesBack) {
    Load("layer.ini"); // a grid of 4 x 1000 and two texture patterns
    EXPECT_TRUE(host.Logged("...loading cloud layer..."));
    EXPECT_EQ(host.log.Last("GFX.LoadMaterialRecord")->text, "OvercastMaterial");
    EXPECT_EQ(std::memcmp(&layer.topMaterial, &layer.bottomMaterial, sizeof(MaterialRecord)), 0);
    EXPECT_EQ(layer.tileCount, 4);
    EXPECT_DOUBLE_EQ(layer.invTileSize, 0.001);

    layer.Build(3, 700.0f); // bottom first
    EXPECT_EQ(host.gfx.texturesLoaded, (std::vector<std::string>{"ovc_bot04.dds", "ovc_top4.dds"}));
    EXPECT_EQ(host.log.Last("GFX.LoadTexture")->numbers, (std::vector<double>{1, 1}));
    EXPECT_EQ(host.gfx.textures[layer.topMaterial.stages[0].textureHandle], "ovc_top4.dds");
    EXPECT_EQ(host.gfx.textures[layer.bottomMaterial.stages[0].textureHandle], "ovc_bot04.dds");
    layer.Build(4, 700.0f);
    EXPECT_EQ(host.gfx.texturesLoaded.back(), "ovc_top5.dds");
    EXPECT_EQ(host.gfx.textures.size(), 2u);
    EXPECT_EQ(host.gfx.LiveMeshes(), 1);

    // A reload frees the earlier patterns and rebuilds for the same weather.
    const size_t blocks = host.mem.LiveBlocks();
    Load("layer.ini"); // a grid of 4 x 1000 and two texture patterns
    EXPECT_EQ(host.mem.LiveBlocks(), blocks);
    EXPECT_TRUE(layer.IsBuilt());
    EXPECT_EQ(layer.altitude, 700.0);
    EXPECT_EQ(host.gfx.texturesLoaded.back(), "ovc_top5.dds");
    EXPECT_EQ(host.gfx.textures.size(), 2u);
    EXPECT_EQ(host.gfx.LiveMeshes(), 1);

    layer.Release();
    layer.Release();                                    // gives nothing back twice
    EXPECT_EQ(host.log.Count("GFX.ReleaseTexture"), 6); // two each for the second build, the reload and Release
    EXPECT_TRUE(host.gfx.textures.empty());
    EXPECT_EQ(host.gfx.LiveMeshes(), 0);
    EXPECT_TRUE(layer.topTexture == nullptr && layer.bottomTexture == nullptr);

    // Levels outside 0..4 are held to it; without GFX nothing is given back
    // (the host has taken its objects already).
    Load("layer.ini");
    for (int32_t level : {-1, 5})
        layer.Build(level, 700.0f);
    EXPECT_EQ(host.gfx.texturesLoaded.back(), "ovc_top5.dds");
    EXPECT_EQ(host.gfx.texturesLoaded[host.gfx.texturesLoaded.size() - 3], "ovc_top1.dds");
    const size_t calls = host.log.Sequence("GFX.").size();
    g_plugin.gfx = nullptr;
    layer.Release();
    g_plugin.gfx = &host.gfx;
    EXPECT_EQ(host.log.Sequence("GFX.").size(), calls);
}

TEST_F(CloudLayerTest, HostilePatternsNameNoTexture) {
    for (const char* pattern : {"%s.dds", "%n", "%d%d.dds", "%08.3f"}) {
        host.files.Add("hostile.ini",
                       std::string("[CloudLayer]\nTileCount=2\nTileSize=10\nTopTexture=") + pattern + "\n");
        Load("hostile.ini");
        layer.Build(3, 0.0f);
        EXPECT_TRUE(layer.IsBuilt()) << pattern;
        EXPECT_EQ(layer.topMaterial.stages[0].textureHandle, -1) << pattern;
    }
    EXPECT_EQ(host.log.Count("GFX.LoadTexture"), 0);
}

TEST_F(CloudLayerTest, ThroughTheSystemOvercastIsDrawnFromBelowAndFramesAllocateNothing) {
    // overcast.ini: layer.ini, a wind that turns, and reflection maps.
    host.env()->LoadEnvironment("overcast.ini");
    host.SetWeather(3, 1000.0f, 100.0f);
    CloudLayer& systemLayer = g_environmentSystem.cloudLayer;
    ASSERT_TRUE(systemLayer.IsBuilt());
    auto* mesh = static_cast<TestMesh*>(systemLayer.mesh);

    host.random.fallback = 0.25f; // direction target (2 x 0.25 - 1) x 20 = -10
    host.viewer.position[0] = 2500;
    host.viewer.position[1] = -2500;
    host.viewer.position[2] = 200;
    for (int i = 0; i < 200; ++i)
        host.Frame(0.1f);

    ASSERT_EQ(mesh->drawsRelative.size(), 200u);
    EXPECT_EQ(mesh->drawsRelative.back(), (std::array<float, 3>{-500, 500, 800}));
    EXPECT_EQ(mesh->drawMaterials.back(), &systemLayer.bottomMaterial);
    // Every light state is 0 in this file: the darkest row, handed over once.
    EXPECT_EQ(host.log.Count("GFX.SetReflectionMaps"), 1);
    EXPECT_EQ(host.log.Last("GFX.SetReflectionMaps")->numbers[0], 3);
    // Gust scale 0: the speed stays 4 while the direction settles at 350.
    float vector[3];
    host.env()->GetWindVector(vector, 0);
    EXPECT_NEAR(std::hypot(vector[0], vector[1]), 4.0f, 1e-5f);
    EXPECT_NEAR(host.env()->GetWindDirection(), 350.0f * 0.017453292f, 1e-5f);

    host.env()->Unload();
    EXPECT_FALSE(systemLayer.IsBuilt());
    EXPECT_TRUE(mesh->released);
    for (const auto& texture : host.gfx.textures)
        EXPECT_EQ(texture.second.find("ovc_"), std::string::npos);
    EXPECT_EQ(g_environmentSystem.cloudSet.clouds.count, 0);
    EXPECT_EQ(g_environmentSystem.reflectionMaps.textures, nullptr);
}

} // namespace
} // namespace envsys
