// The sky dome: geometry of the panels and the band, colours from the light
// state, drawing by panel flags, and what a failing host or file does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "config/IniFile.h"
#include "config/Material.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/FrameContext.h"
#include "sky/SkyDome.h"
#include "tests/sky/SkyTestSupport.h"

namespace envsys {
namespace {

using testing::Set3;
using testing::TestHost;
using testing::TestMesh;

class SkyDomeTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.Init();
        dome.skyDistance = 80000.0f;
        dome.panelHeight = 10000.0f;
        dome.horizonVertexHeight = 0.15f;
        dome.panelCount = 8;
    }
    void TearDown() override {
        dome.Release();
        EXPECT_EQ(host.gfx.LiveMeshes(), 0);
        EXPECT_TRUE(host.gfx.textures.empty());
    }
    // Meshes in creation order: 8 upper, 8 lower, then bands.
    TestMesh& Mesh(size_t i) { return *host.gfx.meshes.at(i); }

    TestHost host;
    SkyDome dome;
};

bool SamePosition(const Vertex& a, const Vertex& b) { return std::memcmp(&a.x, &b.x, 3 * sizeof(float)) == 0; }

TEST_F(SkyDomeTest, DefaultPanelsHaveTheDocumentedSizesIndicesAndPositions) {
    dome.BuildDome();
    ASSERT_EQ(host.gfx.meshes.size(), 16u);
    for (size_t i = 0; i < 16; ++i) {
        // W = 9: 3 * 9 + 1 vertices, 15 * 8 indices.
        EXPECT_EQ(Mesh(i).vertices.size(), 28u);
        EXPECT_EQ(Mesh(i).indices.size(), 120u);
        EXPECT_EQ(Mesh(i).format, 4);
        EXPECT_EQ(Mesh(i).commits, 1);
        EXPECT_EQ(Mesh(i).record.mode, 5);
        EXPECT_EQ(Mesh(i).record.material, &dome.skyMaterial);
    }
    // Column 0 (even) then column 1 (odd): diagonals alternate; a=j, c=W+j, e=2W+j.
    const std::vector<uint16_t> firstColumns{0, 9,  1,  9, 10, 1, 9,  19, 10, 9,  18, 19,
                                             1, 10, 11, 1, 11, 2, 10, 19, 11, 19, 20, 11};
    EXPECT_EQ(std::vector<uint16_t>(Mesh(0).indices.begin(), Mesh(0).indices.begin() + 24), firstColumns);
    // The caps follow the 96 column indices: upper on ring 0, lower on ring 2, both to the apex 27.
    EXPECT_EQ(std::vector<uint16_t>(Mesh(0).indices.begin() + 96, Mesh(0).indices.begin() + 99),
              (std::vector<uint16_t>{0, 1, 27}));
    EXPECT_EQ(std::vector<uint16_t>(Mesh(8).indices.begin() + 96, Mesh(8).indices.begin() + 99),
              (std::vector<uint16_t>{18, 19, 27}));

    // Panel 0, column 4 lies at 22.5 degrees: x = 80000 sin 22.5 = 30614.67, y = 73910.36.
    const Vertex& mid = Mesh(0).vertices[4];
    EXPECT_NEAR(mid.x, 30614.67f, 0.05f);
    EXPECT_NEAR(mid.y, 73910.36f, 0.05f);
    EXPECT_FLOAT_EQ(mid.u, 0.5f);
    // Ring heights: 1, (1 - 0.15) * 0.5 + 0.15 = 0.575, 0.15 of 10000, the apex raised to the sky
    // distance; the lower mesh runs 0.15, 0, -1 of the panel height, its apex below the ground.
    const int heights[7][3] = {{0, 0, 10000}, {0, 9, 5750},    {0, 18, 1500},  {0, 27, 80000},
                               {8, 9, 0},     {8, 18, -10000}, {8, 27, -10000}};
    for (const auto& h : heights)
        EXPECT_FLOAT_EQ(Mesh(h[0]).vertices[h[1]].z, h[2]) << h[0] << "," << h[1];
    // v = 1 - k above, 2 at the bottom of the lower mesh and 1 at its apex.
    EXPECT_FLOAT_EQ(Mesh(0).vertices[9].v, 0.425f);
    EXPECT_FLOAT_EQ(Mesh(8).vertices[18].v, 2.0f);
    EXPECT_FLOAT_EQ(Mesh(8).vertices[27].v, 1.0f);
}

TEST_F(SkyDomeTest, SeamsBetweenPanelsAreBitIdenticalAndTheCircleCloses) {
    dome.panelCount = 5; // odd, so the last column of a panel is even
    dome.BuildDome();
    const int w = 6;
    for (int p = 1; p < 8; ++p)
        for (int r = 0; r < 3; ++r) {
            EXPECT_TRUE(SamePosition(Mesh(p).vertices[r * w], Mesh(p - 1).vertices[r * w + 5])) << p << "," << r;
            EXPECT_TRUE(SamePosition(Mesh(8 + p).vertices[r * w], Mesh(7 + p).vertices[r * w + 5]));
        }
    for (int p = 0; p < 8; ++p)
        for (int j = 0; j < w; ++j) // the lower top ring is the upper horizon ring
            EXPECT_TRUE(SamePosition(Mesh(8 + p).vertices[j], Mesh(p).vertices[2 * w + j]));
    // 360 degrees meets 0 only to within float precision: |80000 sin 2pi| is far below a unit.
    EXPECT_NEAR(Mesh(7).vertices[5].x, Mesh(0).vertices[0].x, 0.01f);
    EXPECT_NEAR(Mesh(7).vertices[5].y, 80000.0f, 0.01f);
    EXPECT_EQ(Mesh(0).vertices.size(), 19u);
    EXPECT_EQ(Mesh(0).indices.size(), 75u);
}

TEST_F(SkyDomeTest, PanelCountsOutsideTheIndexRangeFallBackToTheDefault) {
    for (int32_t bad : {0, -4, SkyDome::kMaxPanelCount + 1}) {
        host.messages.clear();
        dome.panelCount = bad;
        dome.BuildDome();
        EXPECT_EQ(dome.panelCount, 8) << bad;
        EXPECT_EQ(host.gfx.meshes.back()->vertices.size(), 28u);
        EXPECT_TRUE(host.Logged("SkyPanelCount")) << bad;
        dome.Release();
    }
    // The largest count still fits: the apex index 3 * 21845 is 65535.
    dome.panelCount = SkyDome::kMaxPanelCount;
    dome.BuildDome();
    EXPECT_EQ(dome.panelCount, SkyDome::kMaxPanelCount);
    const TestMesh& upper = *host.gfx.meshes[host.gfx.meshes.size() - 16];
    EXPECT_EQ(upper.vertices.size(), 65536u);
    EXPECT_EQ(upper.indices.back(), 65535);
}

class SkyColorTest : public SkyDomeTest {
protected:
    void SetUp() override {
        SkyDomeTest::SetUp();
        LightState& l = g_environmentSystem.current;
        Set3(l.skyColor, 0.2f, 0.4f, 0.8f);
        Set3(l.horizonColor, 0.6f, 0.7f, 0.9f);
        Set3(l.fogColor, 0.5f, 0.5f, 0.5f);
        Set3(l.horizonCloudColor, 0.9f, 0.8f, 0.7f);
        g_frame.cloudFadeFactor = 0.25f;
        g_frame.sunGlowEnabled = 0;
        dome.BuildDome();
        dome.BuildHorizonBand(0);
    }
    static void ExpectColor(const Vertex& v, float r, float g, float b, float a = 1.0f) {
        EXPECT_NEAR(v.r, r, 1e-5f);
        EXPECT_NEAR(v.g, g, 1e-5f);
        EXPECT_NEAR(v.b, b, 1e-5f);
        EXPECT_NEAR(v.a, a, 1e-5f);
    }
};

TEST_F(SkyColorTest, DayGivesRingColoursFogBelowAndTheFadedBandInPlace) {
    dome.UpdateColors();
    for (int p = 0; p < 8; ++p) {
        ExpectColor(Mesh(p).vertices[3], 0.2f, 0.4f, 0.8f);
        ExpectColor(Mesh(p).vertices[12], 0.4f, 0.55f, 0.85f); // (sky + horizon) / 2
        ExpectColor(Mesh(p).vertices[21], 0.6f, 0.7f, 0.9f);
        ExpectColor(Mesh(p).vertices[27], 0.2f, 0.4f, 0.8f);
        ExpectColor(Mesh(8 + p).vertices[5], 0.6f, 0.7f, 0.9f);
        ExpectColor(Mesh(8 + p).vertices[14], 0.5f, 0.5f, 0.5f);
        ExpectColor(Mesh(8 + p).vertices[27], 0.5f, 0.5f, 0.5f);
        ExpectColor(Mesh(16 + p).vertices[17], 0.9f, 0.8f, 0.7f, 0.75f); // alpha 1 - fade
    }
    // Colours are rewritten without a second commit.
    for (size_t i = 0; i < host.gfx.meshes.size(); ++i)
        EXPECT_EQ(Mesh(i).commits, 1);

    // One panel: rings of two vertices still take their colours. A dome of
    // no size has no directions to glow along, and no NaN either.
    dome.panelCount = 1;
    dome.skyDistance = dome.panelHeight = 0.0f;
    dome.BuildDome();
    g_frame.sunGlowEnabled = 1;
    dome.UpdateColors();
    ExpectColor(Mesh(host.gfx.meshes.size() - 16).vertices[2], 0.4f, 0.55f, 0.85f);
}

TEST_F(SkyColorTest, TwilightGlowBlendsTowardsTheSunAndTheHorizonSeamFollows) {
    g_frame.sunGlowEnabled = 1;
    Set3(g_frame.sunVector, 0.0f, 1.0f, 0.0f); // on the northern horizon
    Set3(g_frame.sunGlowColor, 1.0f, 0.5f, 0.0f);
    Set3(g_frame.horizonGlowColor, 1.0f, 0.3f, 0.1f);
    dome.UpdateColors();
    // Panel 0, column 0: ring 0 points at (0, 80000, 10000), t = 80000 / 80622.58 = 0.992278;
    // ring 2 at (0, 80000, 1500), t = 0.999824 (asserted to 1e-5).
    const float t0 = 80000.0f / std::sqrt(80000.0f * 80000.0f + 10000.0f * 10000.0f);
    const float t2 = 80000.0f / std::sqrt(80000.0f * 80000.0f + 1500.0f * 1500.0f);
    ExpectColor(Mesh(0).vertices[0], t0 + (1 - t0) * 0.2f, t0 * 0.5f + (1 - t0) * 0.4f, (1 - t0) * 0.8f);
    ExpectColor(Mesh(0).vertices[18], t2 + (1 - t2) * 0.6f, t2 * 0.3f + (1 - t2) * 0.7f, t2 * 0.1f + (1 - t2) * 0.9f);
    // Ring 1 at (0, 80000, 5750) blends towards the mean of the glows, (1, 0.4, 0.05).
    const float t1 = 80000.0f / std::sqrt(80000.0f * 80000.0f + 5750.0f * 5750.0f);
    ExpectColor(Mesh(0).vertices[9], t1 + (1 - t1) * 0.4f, t1 * 0.4f + (1 - t1) * 0.55f, t1 * 0.05f + (1 - t1) * 0.85f);
    // Panel 4 faces south: every dot product is negative, ring colours stay (as they
    // do everywhere at night, with the sun below every ring).
    ExpectColor(Mesh(4).vertices[0], 0.2f, 0.4f, 0.8f);
    ExpectColor(Mesh(4).vertices[13], 0.4f, 0.55f, 0.85f);
    ExpectColor(Mesh(4).vertices[20], 0.6f, 0.7f, 0.9f);
    for (int p = 0; p < 8; ++p)
        for (int j = 0; j < 9; ++j)
            EXPECT_EQ(std::memcmp(&Mesh(8 + p).vertices[j].r, &Mesh(p).vertices[18 + j].r, 4 * sizeof(float)), 0);
}

TEST_F(SkyDomeTest, PanelsAreDrawnByTheirFlagsAndTheBandOnlyWhenHorizonCloudsShow) {
    dome.BuildDome();
    dome.BuildHorizonBand(1);
    g_frame.currentView = &host.gfx.view;
    host.gfx.view.panelFlags = {1, 0, 1, 0, 0, 0, 0, 1};
    g_environmentSystem.horizonCloudsVisible = 0;
    dome.DrawUpper();
    dome.DrawLower();
    for (int p = 0; p < 8; ++p) {
        const size_t expected = (p == 0 || p == 2 || p == 7) ? 1u : 0u;
        EXPECT_EQ(Mesh(p).drawsAt.size(), expected) << p;
        EXPECT_EQ(Mesh(8 + p).drawsAt.size(), expected) << p;
        EXPECT_EQ(Mesh(16 + p).drawsAt.size(), 0u);
    }
    EXPECT_EQ(Mesh(0).drawsAt[0], (std::array<float, 3>{0, 0, 0}));
    g_environmentSystem.horizonCloudsVisible = 1;
    dome.DrawLower();
    EXPECT_EQ(Mesh(16 + 2).drawsAt.size(), 1u);
    // The visibility test decides each mesh.
    host.gfx.view.meshVisible = 0;
    dome.DrawUpper();
    EXPECT_EQ(Mesh(0).drawsAt.size(), 1u);
    // No view: nothing is drawn, not even by the second pass.
    host.gfx.view.meshVisible = 1;
    g_frame.currentView = nullptr;
    dome.DrawUpper();
    dome.DrawLower();
    EXPECT_EQ(Mesh(0).drawsAt.size(), 1u);
    EXPECT_EQ(Mesh(8).drawsAt.size(), 2u);
}

TEST_F(SkyDomeTest, UnderTheOvercastDrawSkyShowsDomeAndBandButNoSunOrStars) {
    EnvironmentSystem& env = g_environmentSystem;
    env.skyDome.skyDistance = 80000.0f;
    env.skyDome.panelHeight = 10000.0f;
    env.skyDome.panelCount = 2;
    env.skyDome.BuildDome();
    env.skyDome.BuildHorizonBand(3);
    env.current.sunLightLevel = 0.5f;
    env.current.sunBrightness = 1.0f; // no twilight disc
    env.sunVisibility = 1.0f;
    Set3(env.sun.direction, 0.0f, 1.0f, 0.0f);
    env.sun.daySunSize = 5.0f;
    ASSERT_TRUE(env.starField.stars.Allocate(1));
    env.starField.stars.Records()[0].size = 5.0f;
    Set3(env.starField.stars.Records()[0].direction, 0.0f, 1.0f, 0.1f);

    env.skyVisible = 0;
    env.horizonCloudsVisible = 1;
    host.env()->DrawSky();
    EXPECT_EQ(host.log.Count("Mesh.DrawAt"), 24); // upper, lower and band of 8 panels
    EXPECT_TRUE(host.gfx.quads.empty());

    env.skyVisible = 1;
    env.horizonCloudsVisible = 0;
    host.env()->DrawSky();
    EXPECT_EQ(host.log.Count("Mesh.DrawAt"), 40);
    EXPECT_EQ(host.gfx.quads.size(), 3u); // day disc, sun flare, one star

    // The lens-flare pass follows the sun just drawn; once the cloud leaves
    // the sun no visibility, neither the sun nor its flares are drawn.
    const int passes = host.log.Count("GFX.BeginQuads");
    host.env()->DrawLensFlare();
    EXPECT_EQ(host.log.Count("GFX.BeginQuads"), passes + 1);
    env.sunVisibility = 0.0f;
    host.gfx.quads.clear();
    host.env()->DrawSky();
    EXPECT_EQ(host.gfx.quads.size(), 1u); // the star
    env.sunVisibility = 1.0f;
    env.current.sunLightLevel = 0.0f; // nor at night under a clear sky
    host.env()->DrawSky();
    EXPECT_EQ(host.gfx.quads.size(), 2u); // the star once more
    env.skyDome.Release();
}

TEST_F(SkyDomeTest, MissingMeshesOrMeshDataLeaveEmptyPanelsAndNothingLive) {
    host.gfx.createMeshFails = true;
    dome.BuildDome();
    dome.BuildHorizonBand(0);
    host.gfx.createMeshFails = false;
    host.gfx.meshDataIsNull = true;
    dome.BuildDome();
    host.gfx.meshDataIsNull = false;
    host.gfx.meshIndicesAreNull = true; // vertex arrays without index arrays
    dome.BuildHorizonBand(2);
    host.gfx.meshIndicesAreNull = false;
    // Meshes without reachable arrays went straight back.
    EXPECT_EQ(host.gfx.meshes.size(), 24u);
    EXPECT_EQ(host.gfx.LiveMeshes(), 0);
    g_frame.sunGlowEnabled = 1;
    dome.UpdateColors();
    g_frame.currentView = &host.gfx.view;
    dome.DrawUpper();
    dome.DrawLower();
    EXPECT_EQ(host.log.Count("Mesh.DrawAt"), 0);
    EXPECT_EQ(host.log.Count("GFX.LoadTexture"), 0);

    // Without direction tables (MEM refuses them) the glow is left out, nothing else.
    host.mem.FailAt(1, true);
    dome.BuildDome();
    for (int p = 0; p < 8; ++p)
        EXPECT_EQ(dome.vertexDirections[p], nullptr);
    Set3(g_environmentSystem.current.skyColor, 0.2f, 0.4f, 0.8f);
    Set3(g_frame.sunVector, 0.0f, 1.0f, 0.0f);
    dome.UpdateColors();
    EXPECT_FLOAT_EQ(host.gfx.meshes[24]->vertices[0].b, 0.8f);
    // Without a light state the colours stay; a mesh whose data the host
    // stops handing out is neither coloured nor drawn.
    g_environmentSystem.current.skyColor[2] = 0.1f;
    g_frame.light = nullptr;
    dome.UpdateColors();
    g_frame.light = &g_environmentSystem.current;
    host.gfx.meshes[24]->dataIsNull = true;
    dome.UpdateColors();
    dome.DrawUpper();
    EXPECT_FLOAT_EQ(host.gfx.meshes[24]->vertices[0].b, 0.8f);
    EXPECT_EQ(host.log.Count("Mesh.DrawAt"), 7);
}

TEST_F(SkyDomeTest, BandTexturesFollowTheWeatherAndARebuildGivesTheOldBandBack) {
    const size_t baseBlocks = host.mem.LiveBlocks();
    // The band material's definition comes with a texture of its own (handle 42).
    host.gfx.materialLoader = [](MaterialRecord* record, IniFile* file, const char* section) -> int32_t {
        const bool found = LoadMaterial(record, file, section);
        if (std::string(section) == "BandMat") record->stages[0].textureHandle = 42;
        return found ? 1 : 0;
    };
    auto load = [&](const std::string& pattern) {
        std::string text = "[Sky]\nSkyPanelCount=4\nSkyMaterial=SkyMat\nHorizonCloud=BandMat\n";
        if (!pattern.empty()) text += "HorizonCloudTexture=" + pattern + "\n";
        host.files.Add("sky.ini", text + "[SkyMat]\n[BandMat]\nNumTextureStages=1\n");
        IniFile file("sky.ini", 0, 0);
        dome.Load(file);
    };
    load("hc%d_%d.dds");
    EXPECT_EQ(host.log.Named("GFX.LoadMaterialRecord")[1].text, "BandMat");
    ASSERT_EQ(host.gfx.meshes.size(), 16u);
    EXPECT_EQ(Mesh(0).vertices.size(), 16u); // N = 4: 3 * 5 + 1

    dome.BuildHorizonBand(2); // weather level 2 loads the textures numbered 3
    ASSERT_EQ(host.gfx.meshes.size(), 24u);
    for (int p = 0; p < 8; ++p) {
        const std::string name = "hc3_" + std::to_string(p + 1) + ".dds";
        EXPECT_EQ(host.gfx.texturesLoaded[p], name);
        EXPECT_EQ(host.gfx.textures.at(dome.bandMaterials[p].stages[0].textureHandle), name);
        EXPECT_EQ(Mesh(16 + p).record.material, &dome.bandMaterials[p]);
    }
    EXPECT_EQ(Mesh(16).vertices.size(), 10u);
    EXPECT_EQ(Mesh(16).indices.size(), 24u);
    EXPECT_EQ(std::vector<uint16_t>(Mesh(16).indices.begin(), Mesh(16).indices.begin() + 12),
              (std::vector<uint16_t>{0, 5, 1, 5, 6, 1, 1, 6, 7, 1, 7, 2}));
    EXPECT_FLOAT_EQ(Mesh(16).vertices[0].z, 10000.0f);
    EXPECT_FLOAT_EQ(Mesh(16).vertices[5].v, 1.0f);

    // A new weather replaces the band: its meshes and textures go back first.
    dome.BuildHorizonBand(4);
    EXPECT_EQ(host.gfx.LiveMeshes(), 24);
    EXPECT_EQ(host.gfx.textures.size(), 8u);
    EXPECT_EQ(host.gfx.texturesLoaded.back(), "hc5_8.dds");
    // Levels beyond 0..4 are held to it.
    dome.BuildHorizonBand(-1);
    EXPECT_EQ(host.gfx.texturesLoaded.back(), "hc1_8.dds");
    dome.BuildHorizonBand(9);
    EXPECT_EQ(host.gfx.texturesLoaded.back(), "hc5_8.dds");

    // Hostile or missing patterns: the band is built with the material's own texture.
    host.messages.clear();
    load("hc%d_%d.dds");
    dome.BuildHorizonBand(0);
    const size_t goodMessages = host.messages.size();
    for (const char* pattern : {"%s_%d", "%n", "%d%d%d", "hc%f", ""}) {
        host.messages.clear();
        const size_t loaded = host.gfx.texturesLoaded.size();
        load(pattern);
        dome.BuildHorizonBand(1);
        EXPECT_EQ(host.gfx.texturesLoaded.size(), loaded) << pattern;
        EXPECT_EQ(host.messages.size(), goodMessages + (pattern[0] != '\0' ? 1 : 0)) << pattern;
        EXPECT_EQ(host.gfx.LiveMeshes(), 24) << pattern;
        for (int p = 0; p < 8; ++p)
            EXPECT_EQ(dome.bandMaterials[p].stages[0].textureHandle, 42);
    }
    // Rebuilding without a reload neither releases the material's own texture
    // nor forgets it.
    dome.BuildHorizonBand(2);
    EXPECT_EQ(dome.bandMaterials[7].stages[0].textureHandle, 42);
    for (const testing::Call& c : host.log.Named("GFX.ReleaseTexture"))
        EXPECT_NE(c.numbers[0], 42.0);
    dome.Release();
    EXPECT_EQ(host.mem.LiveBlocks(), baseBlocks);
}

} // namespace
} // namespace envsys
