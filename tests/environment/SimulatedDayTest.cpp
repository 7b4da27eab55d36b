// A whole simulated day with the default Environment File: every frame of
// 24 hours, with the weather changing and the viewer climbing through the
// overcast, and nothing NaN or infinite ever handed to the graphics service.
//
// At 60 frames a second the day is 5.2 million frames: over two minutes on
// the build machine, and at 4 frames a second still 55 s under the
// sanitizers. The test therefore runs one frame a second (86400 frames,
// about 14 s under the sanitizers): every recompute, weather change and band
// crossing of the day still happens, each frame just carries more time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/EnvironmentSystem.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

bool Finite3(const float* v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

bool FiniteVertex(const Vertex& v) {
    const float* f = &v.x;
    for (int i = 0; i < 9; ++i)
        if (!std::isfinite(f[i])) return false;
    return true;
}

// A small star data file: a count, then right ascension, declination,
// magnitude and class, four bytes each.
std::string StarFile(int count) {
    std::string bytes(4 + 16 * static_cast<size_t>(count), '\0');
    std::memcpy(&bytes[0], &count, 4);
    const char classes[] = "OBAFGKM";
    for (int i = 0; i < count; ++i) {
        const float record[3] = {static_cast<float>(i * 37 % 360), static_cast<float>(i * 53 % 180 - 90),
                                 static_cast<float>(i % 6)};
        std::memcpy(&bytes[4 + 16 * i], record, 12);
        bytes[4 + 16 * i + 12] = classes[i % 7];
    }
    return bytes;
}

TEST(SimulatedDay, NothingNaNReachesTheGraphicsInAWholeDay) {
    TestHost host;
    host.files.disk.root = std::string(ENVSYS_SOURCE_DIR) + "/data/default";
    host.files.Add("stars.dat", StarFile(300));
    host.Init();
    EnvironmentSystemInterface* env = host.env();
    env->LoadEnvironment("environment.ini");
    ASSERT_GT(g_environmentSystem.updateInterval, 0.0f) << "the default Environment File did not load";
    env->SetVisibility(1.0f);
    host.SetDate(2003, 6, 21);
    host.SetTime(0);
    host.log.enabled = false;

    // ENVSYS_DAY_FPS=60 runs the day at the host's real frame rate (about a
    // quarter of an hour under the sanitizers), for a run by hand.
    const char* fpsText = std::getenv("ENVSYS_DAY_FPS");
    const int framesPerSecond = fpsText != nullptr && std::atoi(fpsText) > 0 ? std::atoi(fpsText) : 1;
    const float dt = 1.0f / static_cast<float>(framesPerSecond);
    const int frames = 86400 * framesPerSecond;
    int badFrames = 0;
    int litFrames = 0;
    int darkFrames = 0;
    int weatherChanges = 0;
    for (int frame = 0; frame < frames; ++frame) {
        const int second = frame / framesPerSecond;
        // Every three hours a new weather level: clear, hazy twice, overcast,
        // inclement, around again.
        if (frame % (3 * 3600 * framesPerSecond) == 0) {
            host.SetWeather((second / 10800) % 5, 1500.0f, 200.0f, 0.6f);
            ++weatherChanges;
        }
        // The viewer climbs from 0 to 3000 m and back every two hours,
        // through the layer and its band, flying east at 50 m/s.
        const double phase = std::fmod(second / 7200.0, 1.0);
        host.viewer.position[2] = 3000.0 * (phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase);
        host.viewer.position[0] += 50.0 * dt;
        host.viewer.motion[0] = 50.0f;

        host.Frame(dt);

        const testing::TestGraphics& gfx = host.gfx;
        bool ok = std::isfinite(gfx.fogRange[0]) && std::isfinite(gfx.fogRange[1]) && Finite3(gfx.sky) &&
                  Finite3(gfx.fog) && Finite3(gfx.ambient) && std::isfinite(gfx.sunLightLevel);
        for (const testing::DrawnQuad& q : gfx.quads)
            for (const Vertex& v : q.vertices)
                ok = ok && FiniteVertex(v);
        host.gfx.quads.clear();
        // Mesh colours are rewritten in place; look at them once a minute.
        if (frame % (60 * framesPerSecond) == 0) {
            for (const auto& mesh : gfx.meshes)
                for (const Vertex& v : mesh->vertices)
                    ok = ok && FiniteVertex(v);
            for (const auto& light : gfx.lights)
                ok = ok && Finite3(light->record.diffuse) && Finite3(light->record.direction);
        }
        if (!ok) ++badFrames;
        (gfx.sunLightEnabled == 1 ? litFrames : darkFrames) += 1;
        host.particles.emitted.clear();
    }

    EXPECT_EQ(badFrames, 0);
    EXPECT_EQ(weatherChanges, 8);
    // A June day at 34 degrees north: the sun light stays on from dawn
    // twilight to dusk twilight, well over 12 hours; the night below the
    // Night height is still several hours long.
    EXPECT_GT(litFrames, 12 * 3600 * framesPerSecond);
    EXPECT_GT(darkFrames, 3 * 3600 * framesPerSecond);
    // With whole-second frames no recompute drops a fraction (at 60 frames
    // a second each one would, see README): the clock has run the whole day
    // but for the seconds gathered since the last recompute, at most 30.
    if (framesPerSecond != 1) return;
    TimeOfDay t{};
    CalendarDate d{};
    env->GetTime(&t);
    env->GetDate(&d);
    const int32_t elapsed = (d.day - 21) * 86400 + (t.hours * 60 + t.minutes) * 60 + t.seconds;
    EXPECT_GE(elapsed, 86400 - 30);
    EXPECT_LE(elapsed, 86400);
}

} // namespace
} // namespace envsys
