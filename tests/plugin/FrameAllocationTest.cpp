// The per-frame paths never allocate: the default environment with its full
// star catalogue, run through nights, days, recomputes and every weather
// level, asks the host's memory service for nothing after loading.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "plugin/EnvironmentSystem.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(FrameAllocationTest, FramesOfTheDefaultEnvironmentAllocateNothing) {
    const std::string stars = ReadFile(ENVSYS_BINARY_DIR "/data/default/stars.dat");
    if (stars.empty()) GTEST_SKIP() << "the default environment is not built";
    testing::TestHost host;
    host.log.enabled = false;
    host.files.Add("environment.ini", ReadFile(ENVSYS_SOURCE_DIR "/data/default/environment.ini"));
    host.files.Add("materials.ini", ReadFile(ENVSYS_SOURCE_DIR "/data/default/materials.ini"));
    host.files.Add("stars.dat", stars);
    host.Init();
    host.env()->LoadEnvironment("environment.ini");
    ASSERT_GT(g_environmentSystem.starField.stars.count, 8000);
    host.SetDate(2024, 6, 21);

    // SetWeather rebuilds the band and the cloud layer, which may allocate:
    // only the frames are counted.
    int frameAllocations = 0;
    int frameFrees = 0;
    const size_t quadsBefore = host.gfx.quads.size();
    // Midnight, dawn, noon and dusk under each weather level, with a
    // recompute forced now and then and a long frame that refreshes every
    // star at once.
    for (int level = 0; level <= 4; ++level) {
        host.SetWeather(level, 1000.0f, 100.0f, 0.5f);
        for (int hour : {0, 5, 12, 19}) {
            host.SetTime(hour);
            for (int frame = 0; frame < 20; ++frame) {
                if (frame == 10) g_environmentSystem.recomputeNeeded = 1;
                const int allocations = host.mem.allocations;
                const int frees = host.mem.frees;
                host.Frame(frame == 15 ? 120.0f : 1.0f / 60.0f);
                frameAllocations += host.mem.allocations - allocations;
                frameFrees += host.mem.frees - frees;
            }
        }
    }
    EXPECT_EQ(frameAllocations, 0);
    EXPECT_EQ(frameFrees, 0);
    // The frames did draw: the star quads of the clear nights at least.
    EXPECT_GT(host.gfx.quads.size(), quadsBefore + 1000);
}

} // namespace
} // namespace envsys
