// The overcast cloud layer: the tile grid and its fade, the truncations,
// the index order, textures by weather level, the draw offset and side, the
// release, and grids or hosts that must not break it.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "clouds/CloudLayer.h"
#include "config/IniFile.h"
#include "config/StringUtils.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/FrameContext.h"
#include "plugin/Memory.h"
#include "plugin/PluginState.h"
#include "tests/clouds/ConfigReady.h"
#include "tests/support/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;
using testing::TestMesh;

class CloudLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.Init();
        baseBlocks = host.mem.LiveBlocks();
    }
    void TearDown() override { layer.Release(); }

    void Grid(int32_t tiles, double size) {
        layer.tileCount = tiles;
        layer.tileSize = size;
        layer.invTileSize = 1.0 / size;
    }

    TestMesh& Mesh() { return *host.gfx.meshes.back(); }

    // The alpha of every vertex at (x, y); they must agree.
    float AlphaAt(float x, float y) {
        float alpha = -1.0f;
        for (const Vertex& v : Mesh().vertices) {
            if (v.x != x || v.y != y) continue;
            if (alpha >= 0.0f) {
                EXPECT_EQ(v.a, alpha) << x << "," << y;
            }
            alpha = v.a;
        }
        EXPECT_GE(alpha, 0.0f) << "no vertex at " << x << "," << y;
        return alpha;
    }

    void SetViewer(double x, double y, double z) {
        g_frame.viewerPosition[0] = x;
        g_frame.viewerPosition[1] = y;
        g_frame.viewerPosition[2] = z;
    }

    TestHost host;
    CloudLayer layer;
    size_t baseBlocks = 0; // what the plug-in itself holds once initialised
};

TEST_F(CloudLayerTest, FourTilesOfAThousandFadeFromTheCentre) {
    Grid(4, 1000.0);
    layer.Build(3, 500.0f);
    ASSERT_TRUE(layer.IsBuilt());
    const auto* create = host.log.Last("GFX.CreateMesh");
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create->numbers, (std::vector<double>{64, 96, 4}));
    EXPECT_EQ(layer.altitude, 500.0);

    // Span -2000..2000; fade radius trunc((3 * 1000 / 2)^2) = 1500^2.
    for (const Vertex& v : Mesh().vertices) {
        EXPECT_GE(v.x, -2000.0f);
        EXPECT_LE(v.x, 2000.0f);
        EXPECT_GE(v.y, -2000.0f);
        EXPECT_LE(v.y, 2000.0f);
        EXPECT_EQ(v.z, 0.0f);
        EXPECT_EQ(v.r, 1.0f);
        EXPECT_EQ(v.g, 1.0f);
        EXPECT_EQ(v.b, 1.0f);
    }
    EXPECT_FLOAT_EQ(AlphaAt(0, 0), 1.0f);
    EXPECT_NEAR(AlphaAt(1000, 0), 1.0f - 1.0f / 2.25f, 1e-6f);    // 0.5556
    EXPECT_NEAR(AlphaAt(0, -1000), 1.0f - 1.0f / 2.25f, 1e-6f);   // 0.5556
    EXPECT_NEAR(AlphaAt(1000, 1000), 1.0f - 2.0f / 2.25f, 1e-6f); // 0.1111
    EXPECT_EQ(AlphaAt(2000, 0), 0.0f);
    EXPECT_EQ(AlphaAt(2000, 2000), 0.0f);
    EXPECT_EQ(AlphaAt(-2000, -2000), 0.0f);

    // Rows step in x, columns in y; each tile's corners in the order
    // (x0, y0+T) (x0+T, y0+T) (x0, y0) (x0+T, y0) with uv 00 10 01 11.
    const Vertex* v = Mesh().vertices.data();
    const float tile0[4][4] = {{-2000, -1000, 0, 0}, {-1000, -1000, 1, 0}, {-2000, -2000, 0, 1}, {-1000, -2000, 1, 1}};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(v[c].x, tile0[c][0]);
        EXPECT_EQ(v[c].y, tile0[c][1]);
        EXPECT_EQ(v[c].u, tile0[c][2]);
        EXPECT_EQ(v[c].v, tile0[c][3]);
    }
    EXPECT_EQ(v[4 * 1 + 2].x, -2000.0f); // tile (0, 1)
    EXPECT_EQ(v[4 * 1 + 2].y, -1000.0f);
    EXPECT_EQ(v[4 * 4 + 2].x, -1000.0f); // tile (1, 0)
    EXPECT_EQ(v[4 * 4 + 2].y, -2000.0f);

    const auto& idx = Mesh().indices;
    EXPECT_EQ(std::vector<uint16_t>(idx.begin(), idx.begin() + 6), (std::vector<uint16_t>{0, 1, 2, 1, 3, 2}));
    EXPECT_EQ(std::vector<uint16_t>(idx.end() - 6, idx.end()), (std::vector<uint16_t>{60, 61, 62, 61, 63, 62}));

    EXPECT_EQ(Mesh().commits, 1);
    EXPECT_EQ(Mesh().record.mode, 5);
}

TEST_F(CloudLayerTest, HalfExtentAndRowStartAreTruncatedButColumnsAreNot) {
    // T = 2.5, N = 2: half = trunc(2.5) = 2; row 1 starts at trunc(0.5) = 0,
    // column 1 at 0.5. Fade radius trunc(1.25^2) = 1.
    Grid(2, 2.5);
    layer.Build(3, 0.0f);
    const Vertex* v = Mesh().vertices.data();
    EXPECT_EQ(v[0].x, -2.0f);
    EXPECT_EQ(v[0].y, 0.5f);
    const Vertex& corner = v[4 * 3 + 2]; // tile (1, 1), corner (x0, y0)
    EXPECT_EQ(corner.x, 0.0f);
    EXPECT_EQ(corner.y, 0.5f);
    EXPECT_FLOAT_EQ(corner.a, 0.75f); // 1 - 0.25 / 1
}

TEST_F(CloudLayerTest, ASingleTileIsInvisible) {
    // The fade radius of one tile is 0, so every vertex is transparent, also
    // one that sits on the centre (T = 1 makes the half extent 0).
    for (double size : {1000.0, 1.0}) {
        Grid(1, size);
        layer.Build(3, 0.0f);
        ASSERT_TRUE(layer.IsBuilt());
        for (const Vertex& v : Mesh().vertices)
            EXPECT_EQ(v.a, 0.0f) << size;
    }
}

TEST_F(CloudLayerTest, DrawSnapsToWholeTilesTowardsZeroAndPicksTheViewersSide) {
    Grid(4, 1000.0);
    layer.Build(4, 500.0f);

    SetViewer(2500, 1200, 600); // ix 2, iy 1: offset -500, -200, below the viewer
    layer.Draw();
    SetViewer(-2500, -1200, 400); // ix -2 (not -3), iy -1: offset 500, 200
    layer.Draw();
    SetViewer(0, 0, 500); // at the layer's altitude: seen from above
    layer.Draw();

    const TestMesh& mesh = Mesh();
    ASSERT_EQ(mesh.drawsRelative.size(), 3u);
    const std::array<float, 3> expected[3] = {{-500, -200, -100}, {500, 200, 100}, {0, 0, 0}};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_FLOAT_EQ(mesh.drawsRelative[i][k], expected[i][k]) << i << "," << k;
    EXPECT_EQ(mesh.drawMaterials[0], &layer.topMaterial);
    EXPECT_EQ(mesh.drawMaterials[1], &layer.bottomMaterial);
    EXPECT_EQ(mesh.drawMaterials[2], &layer.topMaterial);

    // A viewer position that is not a number draws nothing.
    SetViewer(std::numeric_limits<double>::quiet_NaN(), 0, 0);
    layer.Draw();
    EXPECT_EQ(mesh.drawsRelative.size(), 3u);
}

TEST_F(CloudLayerTest, RebuildAndReleaseGiveTheOldMeshBack) {
    Grid(4, 1000.0);
    layer.Build(3, 500.0f);
    layer.Build(4, 800.0f);
    EXPECT_EQ(host.gfx.meshes.size(), 2u);
    EXPECT_EQ(host.gfx.LiveMeshes(), 1);
    EXPECT_EQ(layer.altitude, 800.0);

    layer.Release();
    EXPECT_FALSE(layer.IsBuilt());
    EXPECT_EQ(host.gfx.LiveMeshes(), 0);
    layer.Draw(); // nothing to draw, nothing drawn
    EXPECT_EQ(host.log.Count("Mesh.DrawRelative"), 0);
}

TEST_F(CloudLayerTest, GridsThatCannotBeIndexedOrHaveNoSizeBuildNothing) {
    // 16-bit indices reach 4 * 128^2 - 1 = 65535 and no further.
    for (int32_t tiles : {0, -3, 129, INT_MAX}) {
        Grid(tiles, 1000.0);
        layer.Build(3, 0.0f);
        EXPECT_FALSE(layer.IsBuilt()) << tiles;
    }
    for (double size : {0.0, -5.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        layer.tileCount = 4;
        layer.tileSize = size;
        layer.invTileSize = 0.0;
        layer.Build(3, 0.0f);
        EXPECT_FALSE(layer.IsBuilt()) << size;
    }
    EXPECT_EQ(host.log.Count("GFX.CreateMesh"), 0);

    Grid(128, 10.0);
    layer.Build(3, 0.0f);
    ASSERT_TRUE(layer.IsBuilt());
    EXPECT_EQ(Mesh().vertices.size(), 65536u);
    EXPECT_EQ(Mesh().indices.back(), 65534);
    EXPECT_EQ(Mesh().indices[Mesh().indices.size() - 2], 65535);
}

// A graphics service whose meshes hand out no data record.
class NoDataMesh : public HostMesh {
public:
    MeshRecord* GetMeshData(MeshRecord** out) override {
        if (out != nullptr) *out = nullptr;
        return nullptr;
    }
    void Commit() override { ++commits; }
    void DrawRelative(const float*) override { ++draws; }
    void DrawAt(const float*) override { ++draws; }
    int commits = 0;
    int draws = 0;
    bool released = false;
};

class NoDataGraphics : public testing::TestGraphics {
public:
    using TestGraphics::TestGraphics;
    HostMesh* CreateMesh(int32_t, int32_t, int32_t) override { return &mesh; }
    void ReleaseMesh(HostMesh** m) override {
        if (m != nullptr && *m == &mesh) mesh.released = true;
        if (m != nullptr) *m = nullptr;
    }
    NoDataMesh mesh;
};

TEST_F(CloudLayerTest, NullMeshOrMeshDataLeavesTheLayerUnbuilt) {
    Grid(4, 1000.0);
    host.gfx.createMeshFails = true;
    layer.Build(3, 0.0f);
    EXPECT_FALSE(layer.IsBuilt());

    NoDataGraphics gfx(host.log);
    g_plugin.gfx = &gfx;
    layer.Build(3, 0.0f);
    EXPECT_FALSE(layer.IsBuilt());
    EXPECT_TRUE(gfx.mesh.released);
    EXPECT_EQ(gfx.mesh.commits, 0);
    layer.Draw();
    EXPECT_EQ(gfx.mesh.draws, 0);
    g_plugin.gfx = &host.gfx;
}

// --- Textures and the Environment File ---------------------------------------

TEST_F(CloudLayerTest, TexturesAreNumberedByWeatherLevelPlusOneBottomFirst) {
    ENVSYS_REQUIRE_CONFIG(host);
    Grid(2, 1000.0);
    layer.topTexture = StrDuplicate("top%d.dds");
    layer.bottomTexture = StrDuplicate("bottom%02d.dds");
    layer.Build(3, 0.0f);
    EXPECT_EQ(host.gfx.texturesLoaded, (std::vector<std::string>{"bottom04.dds", "top4.dds"}));
    EXPECT_EQ(host.gfx.textures[layer.bottomMaterial.stages[0].textureHandle], "bottom04.dds");
    EXPECT_EQ(host.gfx.textures[layer.topMaterial.stages[0].textureHandle], "top4.dds");
    for (const auto& call : host.log.Named("GFX.LoadTexture"))
        EXPECT_EQ(call.numbers, (std::vector<double>{1, 1}));

    // Level 4 loads the fives and gives the fours back.
    layer.Build(4, 0.0f);
    EXPECT_EQ(host.gfx.texturesLoaded.back(), "top5.dds");
    EXPECT_EQ(host.gfx.textures.size(), 2u);

    layer.Release();
    EXPECT_TRUE(host.gfx.textures.empty());
    EXPECT_EQ(layer.topTexture, nullptr);
    EXPECT_EQ(layer.bottomTexture, nullptr);
    EXPECT_EQ(host.mem.LiveBlocks(), baseBlocks);
}

TEST_F(CloudLayerTest, HostilePatternsNameNoTexture) {
    Grid(2, 1000.0);
    char* pattern = static_cast<char*>(MemAlloc(32));
    ASSERT_NE(pattern, nullptr);
    layer.topTexture = pattern;
    for (const char* hostile : {"%s.dds", "%n", "%d%d.dds", "%08.3f"}) {
        std::strcpy(pattern, hostile);
        layer.Build(3, 0.0f);
        EXPECT_TRUE(layer.IsBuilt()) << hostile;
        EXPECT_EQ(layer.topMaterial.stages[0].textureHandle, -1) << hostile;
    }
    EXPECT_EQ(host.log.Count("GFX.LoadTexture"), 0);
    layer.topTexture = nullptr;
    MemFree(pattern);
}

const char* kLayerFile = "[CloudLayer]\n"
                         "TopTexture=ovc_top%d.dds\n"
                         "BottomTexture=ovc_bot%d.dds\n"
                         "Material=OvercastMaterial\n"
                         "TileCount=4\n"
                         "TileSize=1000\n"
                         "[OvercastMaterial]\n"
                         "Transparency=0.5\n";

TEST_F(CloudLayerTest, LoadReadsTheSectionAndAReloadRebuildsWithoutLeaks) {
    ENVSYS_REQUIRE_CONFIG(host);
    host.files.Add("layer.ini", kLayerFile);
    {
        IniFile file("layer.ini", 0, 0);
        layer.Load(file);
    }
    EXPECT_TRUE(host.Logged("...loading cloud layer..."));
    EXPECT_EQ(host.log.Last("GFX.LoadMaterialRecord")->text, "OvercastMaterial");
    EXPECT_EQ(std::memcmp(&layer.topMaterial, &layer.bottomMaterial, sizeof(MaterialRecord)), 0);
    EXPECT_STREQ(layer.topTexture, "ovc_top%d.dds");
    EXPECT_STREQ(layer.bottomTexture, "ovc_bot%d.dds");
    EXPECT_EQ(layer.tileCount, 4);
    EXPECT_EQ(layer.tileSize, 1000.0);
    EXPECT_DOUBLE_EQ(layer.invTileSize, 0.001);
    EXPECT_FALSE(layer.IsBuilt());

    layer.Build(3, 700.0f);
    const size_t blocks = host.mem.LiveBlocks();
    {
        IniFile file("layer.ini", 0, 0);
        layer.Load(file);
    }
    // The earlier patterns, mesh and textures went back; the layer is built
    // again for the same weather and altitude.
    EXPECT_EQ(host.mem.LiveBlocks(), blocks);
    EXPECT_TRUE(layer.IsBuilt());
    EXPECT_EQ(host.gfx.LiveMeshes(), 1);
    EXPECT_EQ(layer.altitude, 700.0);
    EXPECT_EQ(host.gfx.textures.size(), 2u);
    EXPECT_EQ(host.gfx.texturesLoaded.back(), "ovc_top4.dds");
}

TEST_F(CloudLayerTest, UnloadReleasesTheSystemsLayer) {
    ENVSYS_REQUIRE_CONFIG(host);
    host.files.Add("layer.ini", kLayerFile);
    CloudLayer& systemLayer = g_environmentSystem.cloudLayer;
    {
        IniFile file("layer.ini", 0, 0);
        systemLayer.Load(file);
    }
    systemLayer.Build(3, 100.0f);
    ASSERT_TRUE(systemLayer.IsBuilt());
    host.env()->Unload();
    EXPECT_FALSE(systemLayer.IsBuilt());
    EXPECT_EQ(host.gfx.LiveMeshes(), 0);
    EXPECT_TRUE(host.gfx.textures.empty());
    EXPECT_EQ(systemLayer.topTexture, nullptr);
}

TEST_F(CloudLayerTest, ThroughTheSystemOvercastIsDrawnFromBelowAndFramesAllocateNothing) {
    ENVSYS_REQUIRE_CONFIG(host);
    host.LoadText(std::string(kLayerFile) +
                  "[BaseWindSection]\nBaseWindSpeed=4\n"
                  "WindChange[01].ChangeTime=0.5\nWindChange[01].ChangeChance=100\n"
                  "WindChange[01].SpeedRate=1\nWindChange[01].SpeedAmount=2\n"
                  "WindChange[01].DirectionRate=10\nWindChange[01].DirectionAmount=20\n"
                  "[Reflection]\nNumSunLightLevel=4\nNumReflectionLevel=2\nTextureNameFormat=r%d_%d.dds\n");
    host.SetWeather(3, 1000.0f, 100.0f);
    CloudLayer& systemLayer = g_environmentSystem.cloudLayer;
    ASSERT_TRUE(systemLayer.IsBuilt());
    auto* mesh = static_cast<TestMesh*>(systemLayer.mesh);

    // Every draw of random(1) is 0.25: direction target (2 * 0.25 - 1) * 20 = -10.
    host.random.fallback = 0.25f;
    host.viewer.position[0] = 2500;
    host.viewer.position[1] = -2500;
    host.viewer.position[2] = 200;
    const int allocations = host.mem.allocations;
    for (int i = 0; i < 200; ++i)
        host.Frame(0.1f);
    EXPECT_EQ(host.mem.allocations, allocations);

    ASSERT_EQ(mesh->drawsRelative.size(), 200u);
    EXPECT_FLOAT_EQ(mesh->drawsRelative.back()[0], -500.0f);
    EXPECT_FLOAT_EQ(mesh->drawsRelative.back()[1], 500.0f);
    EXPECT_FLOAT_EQ(mesh->drawsRelative.back()[2], 800.0f);
    EXPECT_EQ(mesh->drawMaterials.back(), &systemLayer.bottomMaterial);
    // Every light state is 0 in this file: darkest row, handed over once.
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
    for (const auto& texture : host.gfx.textures) {
        EXPECT_NE(texture.second.rfind("ovc_", 0), 0u) << texture.second;
        EXPECT_NE(texture.second.rfind("r", 0), 0u) << texture.second;
    }
}

} // namespace
} // namespace envsys
