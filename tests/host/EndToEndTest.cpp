// The whole road: envhost's session loads the built module with dlopen,
// loads the default environment and renders it. The pictures are checked
// by regions and colours, with tolerances, for what must be there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "host/HostCommands.h"
#include "host/HostSession.h"
#include "tests/host/HostTestSupport.h"

namespace envhost {
namespace {

constexpr float kDegrees = 0.017453292519943295f;

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(session.Open(DefaultEnvironmentOptions(ENVSYS_BINARY_DIR), &error)) << error;
    }
    static double Luminance(const double* rgb) { return (rgb[0] + rgb[1] + rgb[2]) / 3.0; }
    // Pixels in the rows [y0, y1) brighter than the pixels 3 away on every
    // side by more than the margin: stars on a night sky, not gradients.
    static int BrightSpecks(const PngImage& image, int y0, int y1, int margin) {
        auto sum = [&](int x, int y) { return image.At(x, y)[0] + image.At(x, y)[1] + image.At(x, y)[2]; };
        int count = 0;
        for (int y = std::max(3, y0); y < std::min(image.height - 3, y1); ++y)
            for (int x = 3; x < image.width - 3; ++x) {
                const int around = std::max({sum(x - 3, y), sum(x + 3, y), sum(x, y - 3), sum(x, y + 3)});
                count += sum(x, y) > around + 3 * margin ? 1 : 0;
            }
        return count;
    }
    HostSession session;
};

TEST_F(EndToEnd, NoonSkyIsBrightAndBlueAboveADarkerGround) {
    SceneSpec scene;
    scene.headingFollowsSun = false;
    scene.heading = 0; // away from the sun
    const PngImage image = RenderScene(session, scene);
    ASSERT_EQ(image.width, 640);
    // With a pitch of 12 degrees the horizon is 320 tan 12 = 68 pixels below
    // the centre, at row 248.
    double sky[3], horizon[3], ground[3];
    MeanColour(image, 0, 0, 640, 60, sky);
    MeanColour(image, 0, 225, 640, 240, horizon);
    MeanColour(image, 0, 300, 640, 360, ground);
    EXPECT_GT(Luminance(sky), 90);
    EXPECT_GT(sky[2], sky[0] + 60); // blue
    // The sky pales toward the horizon, and the ground is darker than both.
    EXPECT_GT(Luminance(horizon), Luminance(sky));
    EXPECT_LT(Luminance(ground), Luminance(sky) - 20);
    EXPECT_GT(ground[1], ground[2]); // green fields, lit
}

TEST_F(EndToEnd, SunDiscIsWhereTheSunDirectionProjects) {
    SceneSpec scene;
    scene.hour = 8;
    RenderScene(session, scene);
    float sun[3] = {0, 0, 0};
    session.env()->GetSunDirection(sun);
    ASSERT_GT(sun[2], 0.2f); // well up at 8 in the morning in June
    // Look 15 degrees left of the sun and level with it.
    scene.headingFollowsSun = false;
    scene.heading = std::atan2(sun[0], sun[1]) / kDegrees - 15.0f;
    scene.pitch = std::asin(sun[2]) / kDegrees;
    const PngImage image = RenderScene(session, scene);
    const Vec3 c = session.camera.ToCamera({sun[0], sun[1], sun[2]});
    ASSERT_GT(c.z, 0);
    float sx, sy;
    session.camera.ToScreen(c, &sx, &sy);
    ASSERT_GT(sx, 340); // right of the centre, on screen
    ASSERT_LT(sx, 540);
    const Rgb disc = PixelAt(image, static_cast<int>(sx), static_cast<int>(sy));
    EXPECT_GE(std::min(disc.r, disc.g), 235);
    EXPECT_GE(disc.b, 225);
    // 100 pixels to the left of the disc the sky is blue again.
    const Rgb away = PixelAt(image, static_cast<int>(sx) - 100, static_cast<int>(sy));
    EXPECT_LT(away.r, 200);
    EXPECT_GT(away.b, away.r + 40);
}

// The stars' twinkle draws from RND: the same seed repeats a night
// exactly, another seed changes it.
TEST_F(EndToEnd, StarsShineAtMidnightAndNotAtNoonTwinklingByTheSeed) {
    SceneSpec scene;
    scene.headingFollowsSun = false;
    scene.heading = 0;
    scene.pitch = 40;
    scene.hour = 0;
    const PngImage night = RenderScene(session, scene);
    double dark[3];
    MeanColour(night, 0, 0, 640, 200, dark);
    EXPECT_LT(Luminance(dark), 20);
    EXPECT_GT(BrightSpecks(night, 0, 200, 10), 30);
    // Four reflection rows by light level: the darkest at night.
    EXPECT_EQ(session.gfx.reflectionRow, 3);
    EXPECT_EQ(session.gfx.reflectionHandles.size(), 2u);
    scene.hour = 12;
    const PngImage day = RenderScene(session, scene);
    EXPECT_EQ(BrightSpecks(day, 0, 200, 10), 0);
    EXPECT_EQ(session.gfx.reflectionRow, 0);
    // One session of the module at a time: this one closes for the others.
    session.Close();
    scene.hour = 0;
    auto render = [&](uint32_t seed) {
        HostSession other;
        SessionOptions options = DefaultEnvironmentOptions(ENVSYS_BINARY_DIR);
        options.seed = seed;
        std::string error;
        EXPECT_TRUE(other.Open(options, &error)) << error;
        return RenderScene(other, scene).rgba;
    };
    EXPECT_TRUE(render(1) == night.rgba);
    EXPECT_FALSE(render(2) == night.rgba);
}

TEST_F(EndToEnd, InclementWeatherRainsAndEveryLifeGivesBackWhatItHeld) {
    SceneSpec scene;
    scene.weather = 4;
    scene.intensity = 0.6f;
    RenderScene(session, scene);
    EXPECT_GT(session.particles.Drops().size(), 100u);
    EXPECT_EQ(session.drawnFrames.size(), 1u);
    // Every texture the default environment names exists.
    EXPECT_EQ(session.gfx.missingTextures, std::vector<std::string>{});
    // New lives of the plug-in in the same module hold what the first held.
    const int meshes = session.gfx.LiveMeshes(), textures = session.gfx.LiveTextures();
    ASSERT_GT(meshes, 0);
    for (int life = 0; life < 3; ++life) {
        ASSERT_TRUE(session.Restart());
        session.env()->LoadEnvironment("environment.ini");
        RenderScene(session, scene);
        EXPECT_EQ(session.gfx.LiveMeshes(), meshes);
        EXPECT_EQ(session.gfx.LiveTextures(), textures);
    }
    session.Close();
    EXPECT_EQ(session.leakReport, "");
    EXPECT_EQ(session.mem.AccountOf("ENV").liveBlocks, 0u);
    EXPECT_GT(session.mem.AccountOf("ENV").allocations, 0u);
    EXPECT_EQ(session.files.OpenHandles(), 0);
}

} // namespace
} // namespace envhost
