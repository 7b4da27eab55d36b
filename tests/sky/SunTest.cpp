// The sun: the light handed to the host, the disc and flare quads, the
// twilight frame choice and the lens-flare chain.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "config/IniFile.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/FrameContext.h"
#include "plugin/PluginState.h"
#include "sky/Sun.h"
#include "tests/sky/SkyTestSupport.h"

namespace envsys {
namespace {

using testing::DrawnQuad;
using testing::Set3;
using testing::TestHost;

class SunTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.files.disk.root = ENVSYS_SOURCE_DIR "/tests/data/sky";
        host.Init();
        baseBlocks = host.mem.LiveBlocks(); // the version text
        sun.daySunSize = 10.0f;
        sun.twilightSunSize = 30.0f;
        sun.sunFlareSize = 20.0f;
        sun.twilightSunFlareSize = 40.0f;
        LightState& l = g_environmentSystem.current;
        l.sunBrightness = 1.0f;
        l.sunLightLevel = 1.0f;
        g_frame.currentView = &host.gfx.view;
    }
    void TearDown() override {
        sun.Release();
        EXPECT_EQ(host.mem.LiveBlocks(), baseBlocks);
    }
    // A sun in the given direction; the test view puts (x, 1, z) at (320 + 320 x, 240 - 320 z).
    void Aim(float x, float y, float z) {
        const float n = std::sqrt(x * x + y * y + z * z);
        Set3(sun.direction, x / n, y / n, z / n);
    }
    static void ExpectCorner(const Vertex& v, float x, float y) {
        EXPECT_NEAR(v.x, x, 1e-3f);
        EXPECT_NEAR(v.z, y, 1e-3f);
        EXPECT_FLOAT_EQ(v.y, 1.0f);
    }

    TestHost host;
    size_t baseBlocks = 0;
    Sun sun;
};

TEST_F(SunTest, CentredDaySunDrawsTheDiscAndOneFlareButNoLensFlares) {
    Aim(0, 1, 0);
    host.log.Clear();
    sun.Draw(0.8f);
    ASSERT_EQ(host.gfx.quads.size(), 2u);
    // Half extents of the test view: (10, 10 * 4/3); corners (-,-), (-,+), (+,+), (+,-).
    const DrawnQuad& disc = host.gfx.quads[0];
    EXPECT_EQ(disc.material, &sun.daySunMaterial);
    EXPECT_EQ(disc.mode, 3);
    ExpectCorner(disc.vertices[0], 310.0f, 240.0f - 13.3333f);
    ExpectCorner(disc.vertices[1], 310.0f, 240.0f + 13.3333f);
    ExpectCorner(disc.vertices[2], 330.0f, 240.0f + 13.3333f);
    ExpectCorner(disc.vertices[3], 330.0f, 240.0f - 13.3333f);
    const float uv[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    for (int i = 0; i < 4; ++i) {
        const Vertex& v = disc.vertices[i];
        EXPECT_EQ(std::vector<float>({v.u, v.v, v.a, v.r}), std::vector<float>({uv[i][0], uv[i][1], 0.8f, 1.0f}));
    }
    // At the centre the flare intensity is v = 0.8: grey 0.8 * 1 * 0.5, half size 0.8 * 20.
    const DrawnQuad& flare = host.gfx.quads[1];
    EXPECT_EQ(flare.material, &sun.sunFlareMaterial);
    EXPECT_NEAR(flare.vertices[0].r, 0.4f, 1e-6f);
    EXPECT_NEAR(flare.vertices[0].a, 0.8f, 1e-6f);
    ExpectCorner(flare.vertices[2], 336.0f, 240.0f + 16.0f * 4.0f / 3.0f);
    const std::vector<std::string> pair{"GFX.SetQuadMaterial", "GFX.SetQuadMode", "GFX.DrawQuads", "GFX.EndQuads"};
    std::vector<std::string> expected{"GFX.BeginQuads"};
    expected.insert(expected.end(), pair.begin(), pair.end());
    expected.insert(expected.end(), pair.begin(), pair.end());
    EXPECT_EQ(host.log.Sequence("GFX."), expected);

    // No flare axis at the centre: the lens-flare pass draws nothing.
    sun.lensFlares.Allocate(2);
    sun.DrawLensFlares(0.8f);
    EXPECT_EQ(host.gfx.quads.size(), 2u);

    // 120 pixels above the centre the flare offset is (0, 60): intensity
    // 1 - 60 / 640, grey 0.453125.
    Aim(0, 1, 0.375f);
    host.gfx.quads.clear();
    sun.Draw(1.0f);
    EXPECT_NEAR(host.gfx.quads.at(1).vertices[0].r, 0.453125f, 1e-6f);
}

TEST_F(SunTest, TwilightDiscRollsWithTheViewAndPicksItsFrameByTheFactor) {
    Aim(0, 1, 0);
    MaterialRecord frameTemplate{};
    sun.BuildTwilightFrames(frameTemplate, 4, "");
    EXPECT_EQ(host.log.Count("GFX.PrepareMaterial"), 4);
    // Roll of 90 degrees: c = m[8] = 0, s = m[2] = 1, so (X, Y) turns to (-Y, X).
    host.gfx.view.matrix[2] = 1.0f;
    host.gfx.view.matrix[8] = 0.0f;
    struct Case {
        float brightness;
        int frame; // trunc(4 * (1 - brightness)), kept within 0..3
    } cases[] = {{0.5f, 2}, {0.9f, 0}, {0.0f, 3}, {-1.0f, 3}};
    for (const Case& c : cases) {
        g_environmentSystem.current.sunBrightness = c.brightness;
        host.gfx.quads.clear();
        sun.Draw(1.0f);
        ASSERT_GE(host.gfx.quads.size(), 2u);
        const DrawnQuad& disc = host.gfx.quads[1];
        EXPECT_EQ(disc.material, &sun.twilightFrames.Records()[c.frame]) << c.brightness;
        EXPECT_FLOAT_EQ(disc.vertices[0].a, 1.0f - c.brightness);
        EXPECT_FLOAT_EQ(disc.vertices[0].r, 1.0f);
    }
    // Half extents (30, 40): corner (-30, -40) lands at (+40, -30) from the sun.
    ExpectCorner(host.gfx.quads[1].vertices[0], 360.0f, 210.0f);
    ExpectCorner(host.gfx.quads[1].vertices[2], 280.0f, 270.0f);
    // Day disc, twilight disc, sun flare, twilight flare (grey 2 * 0.5 = 1.0 at brightness -1).
    ASSERT_EQ(host.gfx.quads.size(), 4u);
    EXPECT_EQ(host.gfx.quads[3].material, &sun.twilightSunFlareMaterial);
    EXPECT_FLOAT_EQ(host.gfx.quads[3].vertices[0].r, 1.0f);

    // One frame serves every brightness; without frames there is no material.
    sun.BuildTwilightFrames(frameTemplate, 1, "");
    host.gfx.quads.clear();
    sun.Draw(1.0f);
    EXPECT_EQ(host.gfx.quads[1].material, &sun.twilightFrames.Records()[0]);
    sun.twilightFrames.Free();
    host.gfx.quads.clear();
    sun.Draw(1.0f);
    EXPECT_EQ(host.gfx.quads[1].material, nullptr);
}

TEST_F(SunTest, LensFlaresFollowTheAxisWithTheirFadeModes) {
    // Sun at the left edge: screen (0, 240); offset ((320 - 0) / 2, 0) = (160, 0); with
    // q = 1 / (4/3 * 480) the intensity is 1 - 160 / 640 = 0.75.
    Aim(-1, 1, 0);
    ASSERT_TRUE(sun.lensFlares.Allocate(3));
    LensFlare* f = sun.lensFlares.Records();
    const int32_t fades[3] = {kFadeNormal, kFadeReverse, kFadeNone};
    for (int i = 0; i < 3; ++i) {
        f[i].position = 1.0f;
        f[i].size = 10.0f;
        f[i].fade = fades[i];
        f[i].color[0] = 1.0f;
        f[i].color[1] = 0.5f;
        f[i].color[2] = 0.25f;
        f[i].color[3] = 0.8f;
    }
    g_environmentSystem.current.sunBrightness = 0.5f;
    sun.Draw(1.0f);
    EXPECT_NEAR(sun.flareIntensity, 0.75f, 1e-6f);
    host.gfx.quads.clear();
    sun.DrawLensFlares(1.0f);
    ASSERT_EQ(host.gfx.quads.size(), 3u);
    // NORMAL: S = 1.25 * 10, alpha = 0.25 * 0.8 * 0.5; centre (160, 240); A = 4/3 * S.
    // Axis (1, 0): corners (c - S, c), (c, c + A), (c + S, c), (c, c - A).
    const DrawnQuad& normal = host.gfx.quads[0];
    ExpectCorner(normal.vertices[0], 147.5f, 240.0f);
    ExpectCorner(normal.vertices[1], 160.0f, 240.0f + 16.6667f);
    ExpectCorner(normal.vertices[2], 172.5f, 240.0f);
    ExpectCorner(normal.vertices[3], 160.0f, 240.0f - 16.6667f);
    EXPECT_NEAR(normal.vertices[0].a, 0.1f, 1e-6f);
    EXPECT_FLOAT_EQ(normal.vertices[0].g, 0.5f);
    EXPECT_EQ(normal.material, &f[0].material);
    // REVERSE: S = 0.75 * 10, alpha = 0.75 * 0.8 * 0.5. NONE: S = 10, alpha = 0.8 * 0.5.
    ExpectCorner(host.gfx.quads[1].vertices[0], 152.5f, 240.0f);
    EXPECT_NEAR(host.gfx.quads[1].vertices[0].a, 0.3f, 1e-6f);
    ExpectCorner(host.gfx.quads[2].vertices[0], 150.0f, 240.0f);
    EXPECT_NEAR(host.gfx.quads[2].vertices[0].a, 0.4f, 1e-6f);

    // A dark sun draws no lens flares; an invisible one none either.
    g_environmentSystem.current.sunBrightness = 0.0f;
    host.gfx.quads.clear();
    sun.DrawLensFlares(1.0f);
    EXPECT_TRUE(host.gfx.quads.empty());
    g_environmentSystem.current.sunBrightness = 0.5f;
    Aim(0, -1, 0);
    sun.Draw(1.0f);
    sun.DrawLensFlares(1.0f);
    EXPECT_TRUE(host.gfx.quads.empty());
}

TEST_F(SunTest, LightFollowsTheGlareConeAndTheOvercast) {
    LightState& l = g_environmentSystem.current;
    Set3(l.ambientColor, 0.5f, 0.4f, 0.2f);
    Set3(l.sunColor, 1.0f, 0.9f, 0.8f);
    l.sunBrightness = 0.5f;
    l.sunLightLevel = 0.5f;
    sun.sunAngle = 0.9f;
    sun.sunAngleScale = 10.0f;
    sun.overcastAmbientModifier = 0.3f;
    sun.overcastDirectModifier = 0.2f;
    sun.light = host.gfx.CreateLight(0);
    Aim(0, 1, 0);
    const float forward[9] = {1, 0, 0, 0, 0, 1, 0, 1, 0};
    std::copy(forward, forward + 9, g_frame.viewOrientation);

    // Looking at the sun: d = 0.9 - 1 = -0.1, factor 1 - 0.1 * 10 * 0.5 = 0.5.
    g_environmentSystem.skyVisible = 1;
    sun.UpdateLight();
    EXPECT_NEAR(host.gfx.ambient[0], 0.25f, 1e-6f);
    EXPECT_NEAR(host.gfx.ambient[2], 0.1f, 1e-6f);
    const LightRecord& rec = host.gfx.lights.back()->record;
    EXPECT_FLOAT_EQ(rec.direction[1], -1.0f);
    EXPECT_FLOAT_EQ(rec.diffuse[1], 0.45f);
    EXPECT_EQ(rec.lightSwitch, 1);

    // Under the overcast: ambient x 0.3, diffuse x 0.2, switch off.
    g_environmentSystem.skyVisible = 0;
    sun.UpdateLight();
    EXPECT_NEAR(host.gfx.ambient[0], 0.15f, 1e-6f);
    EXPECT_NEAR(rec.diffuse[1], 0.09f, 1e-6f);
    EXPECT_EQ(rec.lightSwitch, 0);
    EXPECT_EQ(host.gfx.lights.back()->commits, 2);

    // No light at night: GetSunLight answers null and nothing is committed.
    l.sunLightLevel = 0.0f;
    sun.UpdateLight();
    EXPECT_EQ(sun.GetSunLight(), nullptr);
    EXPECT_EQ(host.gfx.lights.back()->commits, 2);
    sun.Release();
    EXPECT_EQ(host.gfx.LiveLights(), 0);
}

// A view that answers no viewport and leaves the screen extents unwritten.
class SilentView : public testing::TestView {
public:
    using TestView::TestView;
    ViewInfo* GetViewInfo(ViewInfo**) override { return nullptr; }
    void ScreenExtent(float, float*, float*) override {}
};

TEST_F(SunTest, WithoutViewOrViewportNothingIsDrawnOrDividedByZero) {
    // A sun seen in the last draw gets no lens flares, no light and no disc
    // once the graphics service, the light state or the view is gone.
    Aim(0, 1, 0);
    sun.Draw(1.0f);
    host.log.Clear();
    g_plugin.gfx = nullptr;
    sun.DrawLensFlares(1.0f);
    sun.UpdateLight();
    g_plugin.gfx = &host.gfx;
    g_frame.light = nullptr;
    sun.DrawLensFlares(1.0f);
    sun.UpdateLight();
    EXPECT_EQ(sun.GetSunLight(), nullptr);
    g_frame.currentView = nullptr;
    sun.DrawLensFlares(1.0f);
    sun.Draw(1.0f);
    EXPECT_EQ(sun.visible, 0);
    g_frame.currentView = &host.gfx.view;
    sun.Draw(1.0f);
    g_frame.light = &g_environmentSystem.current;
    g_plugin.gfx = nullptr;
    sun.Draw(1.0f);
    g_plugin.gfx = &host.gfx;
    EXPECT_TRUE(host.log.Sequence("GFX.").empty());
    EXPECT_EQ(sun.GetSunDirection(nullptr), nullptr);

    // Without a viewport and extents every quad is a point at the sun, and
    // no flare intensity is left for the lens flares.
    SilentView silent(host.log);
    g_frame.currentView = &silent;
    g_environmentSystem.current.sunBrightness = 0.5f;
    Aim(-1, 1, 0);
    ASSERT_TRUE(sun.lensFlares.Allocate(1));
    host.gfx.quads.clear();
    sun.Draw(1.0f);
    sun.DrawLensFlares(1.0f);
    ASSERT_EQ(host.gfx.quads.size(), 3u); // day disc, twilight disc, twilight flare
    for (const DrawnQuad& quad : host.gfx.quads)
        for (const Vertex& v : quad.vertices)
            ExpectCorner(v, 0.0f, 240.0f);
    // A viewport with no height gives the flares no falloff.
    g_frame.currentView = &host.gfx.view;
    host.gfx.view.info.bottom = host.gfx.view.info.top;
    Aim(-1, 1, 0);
    sun.Draw(1.0f);
    EXPECT_TRUE(std::isfinite(sun.flareIntensity));
}

TEST_F(SunTest, LoadReadsFlaresFramesAndSurvivesHostilePatterns) {
    // sun.ini: three animation frames of a long name and three lens flares.
    {
        IniFile file("sun.ini", 0, 0);
        sun.Load(file);
    }
    ASSERT_EQ(sun.lensFlares.count, 3);
    LensFlare* f = sun.lensFlares.Records();
    EXPECT_EQ(std::vector<int32_t>({f[0].fade, f[1].fade, f[2].fade}),
              std::vector<int32_t>({kFadeNormal, kFadeReverse, kFadeNone}));
    EXPECT_FLOAT_EQ(f[0].position, 2.4f); // default PositionFactor 1.2, doubled
    EXPECT_FLOAT_EQ(f[1].position, 1.0f);
    EXPECT_FLOAT_EQ(f[0].color[3], 1.0f);
    EXPECT_FLOAT_EQ(f[2].color[0], 1.0f);               // no Color key: white
    EXPECT_EQ(sun.sunAngleScale, 0.0f);                 // a cone of cosine 1
    EXPECT_EQ(sun.daySunSize + sun.sunFlareSize, 0.0f); // NaN and infinity read as the default
    ASSERT_EQ(sun.twilightFrames.count, 3);
    // The 67-character name is cut to the stage's 63 characters.
    const std::string full = "twilight_sun_with_a_rather_long_name_02_padding_padding_padding.dds";
    EXPECT_EQ(std::string(sun.twilightFrames.Records()[1].stages[0].textureName), full.substr(0, 63));

    // Messages of a load with a good pattern; a hostile one adds exactly one.
    auto messagesFor = [&](const std::string& pattern) {
        host.messages.clear();
        host.files.Add("bad.ini", "[Sun]\nTwilightSunAnimation=5\nTwilightSunFormat=" + pattern + "\n");
        IniFile file("bad.ini", 0, 0);
        sun.Load(file);
        return host.messages.size();
    };
    const size_t good = messagesFor("f%d");
    EXPECT_STREQ(sun.twilightFrames.Records()[4].stages[0].textureName, "f5");
    for (const char* pattern : {"%s", "%n%d", "frame%d%d", "%f"}) {
        EXPECT_EQ(messagesFor(pattern), good + 1) << pattern;
        ASSERT_EQ(sun.twilightFrames.count, 5) << pattern;
        for (int i = 0; i < 5; ++i)
            EXPECT_STREQ(sun.twilightFrames.Records()[i].stages[0].textureName, "");
    }
    EXPECT_EQ(host.gfx.LiveLights(), 1); // each reload gave the previous light back

    // A host whose loader leaves a record alone still gets zeroed ones.
    host.gfx.materialLoader = [](MaterialRecord*, IniFile*, const char*) { return 0; };
    messagesFor("f%d");
    const MaterialRecord zero{};
    for (const MaterialRecord* m : {&sun.daySunMaterial, &sun.sunFlareMaterial, &sun.twilightSunFlareMaterial})
        EXPECT_EQ(std::memcmp(m, &zero, sizeof zero), 0);

    // Without a graphics service the frames and flares are still read.
    const int prepared = host.log.Count("GFX.PrepareMaterial");
    g_plugin.gfx = nullptr;
    {
        IniFile file("sun.ini", 0, 0);
        sun.Load(file);
    }
    g_plugin.gfx = &host.gfx;
    EXPECT_EQ(sun.twilightFrames.count, 3);
    EXPECT_EQ(sun.lensFlares.count, 3);
    EXPECT_EQ(host.log.Count("GFX.PrepareMaterial"), prepared);
}

TEST_F(SunTest, DiscSizesOutsideTheIntegerRangeAreSaturated) {
    Aim(0, 1, 0);
    const float sizes[] = {3e9f, -3e9f};
    const double asked[] = {2147483647.0, -2147483648.0};
    for (int i = 0; i < 2; ++i) {
        sun.daySunSize = sizes[i];
        sun.Draw(1.0f);
        EXPECT_EQ(host.log.Last("View.IsSunVisible")->numbers[2], asked[i]) << sizes[i];
    }
}

} // namespace
} // namespace envsys
