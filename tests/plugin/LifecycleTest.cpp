// Whole lives of the plug-in. One life of the complete environment in
// tests/data/environment (load, noon, every weather level above, inside and
// below the overcast, dusk, midnight, a reload, Unload, ExitDLL) with the
// live meshes, lights, textures, memory blocks and open files checked after
// every step (and after the load, what the file names), then lived again
// and again with every step's memory the same; the same life with the
// host's services failing in every way they can; and the default
// environment through a whole day and every weather level.
// Every frame of them is checked by the test host: nothing NaN or infinite
// reaches graphics and no frame allocates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "plugin/EnvironmentSystem.h"
#include "plugin/Log.h"
#include "plugin/Memory.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

const std::string kFixtures = ENVSYS_SOURCE_DIR "/tests/data/environment";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Frames(TestHost& host, int n, float dt) {
    for (int i = 0; i < n; ++i)
        host.Frame(dt);
}

// A weather level with the viewer above, inside the transition band and
// below the layer at 1000.
void Weather(TestHost& host, int level) {
    host.SetWeather(level, 1000.0f, 100.0f, 0.6f);
    for (double altitude : {2000.0, 1050.0, 500.0}) {
        host.viewer.position[2] = altitude;
        Frames(host, 8, 0.1f);
    }
}

int BandTextures(const TestHost& host) {
    return static_cast<int>(std::count_if(host.gfx.textures.begin(), host.gfx.textures.end(),
                                          [](const auto& t) { return t.second.compare(0, 4, "band") == 0; }));
}

// One step of the life and what is live after it. The dome is 16 meshes
// and the sun one light; the four reflection maps (two light levels by two
// reflection levels) stay loaded from load to unload. Weather with an
// intensity of 0.5 or more builds the horizon band, 8 meshes and 8
// textures; overcast and rain build the cloud layer, one mesh and its top
// and bottom textures. Lighter weather keeps both; a reload drops the band
// and builds the layer again for the same weather.
struct Step {
    const char* name;
    void (*act)(TestHost&);
    int meshes, lights, textures, bands;
};

const Step kLife[] = {
    {"load", [](TestHost& h) { h.env()->LoadEnvironment("complete.ini"); }, 16, 1, 4, 0},
    {"noon",
     [](TestHost& h) {
         h.SetTime(12);
         Frames(h, 20, 0.1f);
     },
     16, 1, 4, 0},
    {"clear", [](TestHost& h) { Weather(h, 0); }, 24, 1, 12, 8},
    {"hazy", [](TestHost& h) { Weather(h, 1); }, 24, 1, 12, 8},
    {"hazier", [](TestHost& h) { Weather(h, 2); }, 24, 1, 12, 8},
    {"overcast", [](TestHost& h) { Weather(h, 3); }, 25, 1, 14, 8},
    {"inclement", [](TestHost& h) { Weather(h, 4); }, 25, 1, 14, 8},
    {"dusk",
     [](TestHost& h) {
         h.SetWeather(0);
         h.viewer.position[2] = 10.0;
         h.SetTime(19, 30);
         Frames(h, 30, 0.25f);
     },
     25, 1, 14, 8},
    {"midnight",
     [](TestHost& h) {
         h.SetTime(0);
         Frames(h, 30, 0.25f);
     },
     25, 1, 14, 8},
    {"hazy night", [](TestHost& h) { h.SetWeather(2); }, 25, 1, 14, 8},
    {"reload",
     [](TestHost& h) {
         h.env()->LoadEnvironment("complete.ini");
         Frames(h, 30, 0.1f);
     },
     17, 1, 6, 0},
    {"unload", [](TestHost& h) { h.env()->Unload(); }, 0, 0, 0, 0},
};
constexpr size_t kSteps = sizeof kLife / sizeof kLife[0];

// A test host serving the life's fixtures; the records of calls are off, as
// lives make hundreds of thousands.
void ServeFixtures(TestHost& host) {
    host.files.disk.root = kFixtures;
    host.log.enabled = false;
}

TEST(Life, EveryStepLeavesWhatItShouldAndLivingAgainLeavesTheSame) {
    TestHost host;
    ServeFixtures(host);
    SetLogSink(nullptr, nullptr);
    host.Init();
    const size_t initBlocks = host.mem.LiveBlocks();
    std::vector<size_t> blocks(kSteps), bytes(kSteps);
    int drifted = 0;
    // The first life is checked step by step; the next ones must match it
    // block for block and byte for byte at every step.
    for (int cycle = 0; cycle < 1000; ++cycle) {
        for (size_t i = 0; i < kSteps; ++i) {
            const Step& step = kLife[i];
            step.act(host);
            if (cycle == 0) {
                SCOPED_TRACE(step.name);
                EXPECT_EQ(host.gfx.LiveMeshes(), step.meshes);
                EXPECT_EQ(host.gfx.LiveLights(), step.lights);
                EXPECT_EQ(static_cast<int>(host.gfx.textures.size()), step.textures);
                EXPECT_EQ(BandTextures(host), step.bands);
                EXPECT_EQ(host.files.OpenHandles(), 0);
                if (i == 0) {
                    // What the file names; the twilight sun is prepared
                    // once per frame of its animation.
                    const EnvironmentSystem& env = g_environmentSystem;
                    EXPECT_EQ(env.sun.twilightFrames.count, 3);
                    EXPECT_EQ(env.sun.lensFlares.count, 2);
                    EXPECT_EQ(env.starField.stars.count, 6);
                    EXPECT_EQ(host.gfx.preparedMaterials.size(), 3u);
                    EXPECT_STREQ(host.gfx.preparedMaterials.back().stages[0].textureName, "sun03.dds");
                }
                blocks[i] = host.mem.LiveBlocks();
                bytes[i] = host.mem.LiveBytes();
            } else if (host.mem.LiveBlocks() != blocks[i] || host.mem.LiveBytes() != bytes[i] ||
                       host.gfx.LiveMeshes() != step.meshes ||
                       static_cast<int>(host.gfx.textures.size()) != step.textures) {
                if (++drifted == 1)
                    ADD_FAILURE() << "life " << cycle << ", " << step.name << ": " << host.mem.LiveBlocks()
                                  << " blocks / " << host.mem.LiveBytes() << " bytes (first " << blocks[i] << " / "
                                  << bytes[i] << "), " << host.gfx.LiveMeshes() << " meshes, "
                                  << host.gfx.textures.size() << " textures";
            }
        }
        if (cycle == 0) {
            // Unloaded, the sky keeps no star, no band pattern and no panel.
            const EnvironmentSystem& env = g_environmentSystem;
            EXPECT_EQ(env.starField.stars.count, 0);
            EXPECT_EQ(env.skyDome.bandTextureFormat, nullptr);
            for (int p = 0; p < SkyDome::kPanels; ++p)
                EXPECT_EQ(env.skyDome.vertexDirections[p], nullptr);
        }
        host.ForgetReleased();
    }
    EXPECT_EQ(drifted, 0);
    EXPECT_GT(blocks[0], initBlocks);
    EXPECT_EQ(blocks[kSteps - 1], initBlocks) << "Unload gives back every block the loads took";
    EXPECT_EQ(host.mem.badFrees, 0);
    host.Exit();
    EXPECT_EQ(host.mem.LiveBlocks(), 0u);
    EXPECT_EQ(HeapFallbackBlockCount(), 0);
}

// What a life under failing services leaves.
struct Life {
    int allocations = 0;
    size_t blocksAfterInit = 0;
    size_t blocksAfterUnload = 0;
    int badFrees = 0;
    size_t blocksAfterExit = 0;
    int heapBlocks = 0;
    int openFiles = 0;
    int32_t stars = 0;
};

// The whole life; the host's services are set up (and failures armed) by
// the caller.
Life LiveOnce(TestHost& host) {
    Life life;
    host.Init();
    life.blocksAfterInit = host.mem.LiveBlocks();
    if (host.env() != nullptr) {
        for (const Step& step : kLife) {
            if (std::strcmp(step.name, "reload") == 0) life.stars = g_environmentSystem.starField.stars.count;
            step.act(host);
        }
    }
    life.blocksAfterUnload = host.mem.LiveBlocks();
    host.Exit();
    life.allocations = host.mem.allocations;
    life.badFrees = host.mem.badFrees;
    life.blocksAfterExit = host.mem.LiveBlocks();
    life.heapBlocks = HeapFallbackBlockCount();
    life.openFiles = host.files.OpenHandles();
    return life;
}

// What a life must not leave, whatever failed: a clean one leaves none of it.
std::string Problems(const Life& life) {
    std::string out;
    if (life.blocksAfterUnload > life.blocksAfterInit)
        out += " unload left " + std::to_string(life.blocksAfterUnload - life.blocksAfterInit) + " blocks;";
    if (life.badFrees != 0) out += " " + std::to_string(life.badFrees) + " bad frees;";
    if (life.blocksAfterExit != 0) out += " blocks left after ExitDLL;";
    if (life.heapBlocks != 0) out += " heap-fallback blocks left;";
    if (life.openFiles != 0) out += " files left open;";
    if (life.stars > 6) out += " " + std::to_string(life.stars) + " stars from a file of 6;";
    return out;
}

TEST(Life, EveryAllocationFailingInTurn) {
    TestHost clean;
    ServeFixtures(clean);
    const Life cleanLife = LiveOnce(clean);
    EXPECT_EQ(Problems(cleanLife), "");
    const int allocations = cleanLife.allocations;
    EXPECT_GT(allocations, 10);
    std::vector<std::string> failures;
    for (int n = 1; n <= allocations; ++n) {
        for (bool failAllAfter : {false, true}) {
            TestHost host;
            ServeFixtures(host);
            host.mem.FailAt(n, failAllAfter);
            const std::string problems = Problems(LiveOnce(host));
            if (!problems.empty())
                failures.push_back("allocation " + std::to_string(n) + (failAllAfter ? " and after" : "") + ":" +
                                   problems);
        }
    }
    EXPECT_TRUE(failures.empty()) << failures.size() << " lives went wrong, the first: " << failures.front();
}

// The file service failing, or the files odd: each life must lose nothing,
// and some must end with no stars.
struct Fault {
    const char* name;
    void (*arm)(TestHost&);
    bool starless;
};

std::string Padded(std::string text) {
    while (text.size() < 0x40000 + 1000)
        text += "; padding padding padding padding padding padding padding\n";
    return text;
}

const Fault kFaults[] = {
    {"no memory service", [](TestHost& h) { h.shell.withheld.insert("MEM"); }, true},
    {"environment file will not open", [](TestHost& h) { h.files.failOpen.insert("complete.ini"); }, true},
    {"include will not open", [](TestHost& h) { h.files.failOpen.insert("materials.ini"); }, false},
    {"star file will not open", [](TestHost& h) { h.files.failOpen.insert("stars.dat"); }, true},
    {"no file opens", [](TestHost& h) { h.files.failAllOpens = true; }, true},
    {"reads of 1 byte", [](TestHost& h) { h.files.maxReadBytes = 1; }, false},
    {"reads of 3 bytes", [](TestHost& h) { h.files.maxReadBytes = 3; }, false},
    {"reads of 5 bytes", [](TestHost& h) { h.files.maxReadBytes = 5; }, false},
    {"reads of 17 bytes", [](TestHost& h) { h.files.maxReadBytes = 17; }, false},
    {"reads of 100 bytes", [](TestHost& h) { h.files.maxReadBytes = 100; }, false},
    {"reads that return nothing", [](TestHost& h) { h.files.readsReturnZero = true; }, true},
    {"no file exists", [](TestHost& h) { h.files.existsAlwaysFalse = true; }, false},
    // The Environment File alone fills the document's text buffer; the
    // include after it finds no room and must read nothing.
    {"text beyond the buffer",
     [](TestHost& h) { h.files.Add("complete.ini", Padded("#include materials.ini\n[Fog]\nStartClear = 1\n")); }, true},
    {"include cycle",
     [](TestHost& h) {
         h.files.Add("materials.ini", ReadFile(kFixtures + "/materials.ini") + "#include complete.ini\n");
     },
     false},
};

TEST(Life, FailingOrOddFilesLoseNothing) {
    for (const Fault& fault : kFaults) {
        SCOPED_TRACE(fault.name);
        TestHost host;
        ServeFixtures(host);
        fault.arm(host);
        const Life life = LiveOnce(host);
        EXPECT_EQ(Problems(life), "");
        if (fault.starless) {
            EXPECT_EQ(life.stars, 0);
        }
        // Without MEM nothing is loaded but the configuration document,
        // which lives on the heap and goes back there.
        if (std::strcmp(fault.name, "no memory service") == 0) {
            EXPECT_EQ(host.mem.allocations, 0);
        }
    }
}

// The default Environment File through every second of a June day, the
// weather changing and the viewer climbing through the overcast, then with
// its full star catalogue through every weather level at midnight, dawn,
// noon and dusk. At 60 frames a second the day would be 5.2 million frames,
// over two minutes here; at one a second every recompute, weather change
// and band crossing still happens, each frame just carries more time
// (ENVSYS_DAY_FPS=60 runs it at the host's frame rate, by hand).
TEST(Life, DefaultEnvironmentThroughADayAndEveryWeather) {
    TestHost host;
    host.files.disk.root = ENVSYS_SOURCE_DIR "/data/default";
    // 300 stars of every class and magnitude 0 to 5, spread over the sky.
    host.files.Add("stars.dat", ReadFile(kFixtures + "/day.dat"));
    host.Init();
    EnvironmentSystemInterface* env = host.env();
    env->LoadEnvironment("environment.ini");
    ASSERT_GT(g_environmentSystem.updateInterval, 0.0f) << "the default Environment File did not load";
    env->SetVisibility(1.0f);
    host.SetDate(2003, 6, 21);
    host.SetTime(0);
    host.log.enabled = false;

    const char* fpsText = std::getenv("ENVSYS_DAY_FPS");
    const int framesPerSecond = fpsText != nullptr && std::atoi(fpsText) > 0 ? std::atoi(fpsText) : 1;
    const float dt = 1.0f / static_cast<float>(framesPerSecond);
    int litFrames = 0;
    int darkFrames = 0;
    for (int frame = 0; frame < 86400 * framesPerSecond; ++frame) {
        const int second = frame / framesPerSecond;
        // Every three hours a new weather level: clear, hazy twice, overcast,
        // inclement, around again.
        if (frame % (3 * 3600 * framesPerSecond) == 0) host.SetWeather((second / 10800) % 5, 1500.0f, 200.0f, 0.6f);
        // The viewer climbs from 0 to 3000 m and back every two hours,
        // through the layer and its band, flying east at 50 m/s.
        const double phase = std::fmod(second / 7200.0, 1.0);
        host.viewer.position[2] = 3000.0 * (phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase);
        host.viewer.position[0] += 50.0 * dt;
        host.viewer.motion[0] = 50.0f;
        host.Frame(dt);
        host.gfx.quads.clear();
        host.particles.emitted.clear();
        (host.gfx.sunLightEnabled == 1 ? litFrames : darkFrames) += 1;
    }
    // A June day at 34 degrees north: the sun light stays on from dawn
    // twilight to dusk twilight, well over 12 hours; the night below the
    // Night height is still several hours long.
    EXPECT_GT(litFrames, 12 * 3600 * framesPerSecond);
    EXPECT_GT(darkFrames, 3 * 3600 * framesPerSecond);
    // With whole-second frames no recompute drops a fraction (at 60 frames
    // a second each one would, see README): the clock has run the whole day
    // but for the seconds gathered since the last recompute, at most 30.
    if (framesPerSecond == 1) {
        TimeOfDay t{};
        CalendarDate d{};
        env->GetTime(&t);
        env->GetDate(&d);
        const int32_t elapsed = (d.day - 21) * 86400 + (t.hours * 60 + t.minutes) * 60 + t.seconds;
        EXPECT_GE(elapsed, 86400 - 30);
        EXPECT_LE(elapsed, 86400);
    }

    const std::string stars = ReadFile(ENVSYS_BINARY_DIR "/data/default/stars.dat");
    if (stars.empty()) GTEST_SKIP() << "the default star catalogue is not built";
    host.files.Add("stars.dat", stars);
    env->LoadEnvironment("environment.ini");
    ASSERT_GT(g_environmentSystem.starField.stars.count, 8000);
    // SetWeather rebuilds the band and the cloud layer, which may allocate;
    // the frames between, with a recompute forced now and then and a long
    // frame that refreshes every star at once, may not.
    const size_t quadsBefore = host.gfx.quads.size();
    for (int level = 0; level <= 4; ++level) {
        host.SetWeather(level, 1000.0f, 100.0f, 0.5f);
        for (int hour : {0, 5, 12, 19}) {
            host.SetTime(hour);
            for (int frame = 0; frame < 20; ++frame) {
                if (frame == 10) g_environmentSystem.recomputeNeeded = 1;
                host.Frame(frame == 15 ? 120.0f : 1.0f / 60.0f);
            }
        }
    }
    EXPECT_EQ(host.frameAllocations, 0);
    // The frames did draw: the star quads of the clear nights at least.
    EXPECT_GT(host.gfx.quads.size(), quadsBefore + 1000);
}

} // namespace
} // namespace envsys
