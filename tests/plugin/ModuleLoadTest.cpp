// The module file as a host uses it: loaded by path, InitDLL and ExitDLL
// looked up by name, the registered object reached only through its
// operation table. On 32-bit Windows every call crosses the real thiscall
// boundary, floats come back on the FPU stack and records through hidden
// pointers, so a whole life through the module must give, bit for bit, what
// the same code linked into this test gives.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

// The module loaded with the platform's own loader.
class LoadedModule {
public:
    explicit LoadedModule(std::string path) { // NOLINT(performance-unnecessary-value-param): Windows edits it
#if defined(_WIN32)
        std::replace(path.begin(), path.end(), '/', '\\');
        handle_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
        if (handle_ == nullptr) error_ = "LoadLibrary failed with error " + std::to_string(GetLastError());
#else
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) error_ = dlerror();
#endif
    }
    ~LoadedModule() {
        if (handle_ == nullptr) return;
#if defined(_WIN32)
        FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
        dlclose(handle_);
#endif
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    const std::string& Error() const { return error_; }
    template <typename Function>
    Function Symbol(const char* name) const {
#if defined(_WIN32)
        return reinterpret_cast<Function>(
            reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name)));
#else
        return reinterpret_cast<Function>(dlsym(handle_, name));
#endif
    }

private:
    void* handle_ = nullptr;
    std::string error_;
};

// Every answer of one life, floats kept as they came back.
struct Life {
    std::vector<float> floats;
    std::vector<int32_t> integers;
    float noonSunHeight = 0, noonLight = 0, midnightLight = 0;
    float seaLevelDensity = 0, gravity = 0, gravityDown = 0;
    size_t quads = 0;
    size_t leftUnderTag = 0;
    bool unregistered = false;
};

void Record3(Life& life, const float* v) { life.floats.insert(life.floats.end(), v, v + 3); }

// InitDLL, a load, a day of frames in the host's order (one every ten
// minutes, each a recompute), the queries of every kind, ExitDLL.
Life Live(InitDllFunction init, ExitDllFunction exit) {
    Life life;
    TestHost host;
    host.log.enabled = false;
    host.files.disk.root = ENVSYS_SOURCE_DIR "/tests/data/environment";
    host.Init(0xBEEF, init, exit);
    EnvironmentSystemInterface* env = host.env();
    if (env == nullptr) return life;
    life.integers.push_back(static_cast<int32_t>(host.shell.registeredParam));
    life.integers.push_back(env->LoadEnvironment("small.ini"));
    host.SetDate(2003, 6, 21);
    host.SetTime(0);
    env->SetWind(0.5f, 4.0f, 1.0f);
    for (int frame = 1; frame <= 144; ++frame) {
        host.Frame(600.0f);
        if (frame % 6 != 0) continue;
        float v[3] = {0, 0, 0};
        life.floats.push_back(env->GetSunLightLevel());
        Record3(life, env->GetSunDirection(v));
        Record3(life, env->GetWindVector(v, 0));
        life.floats.push_back(env->GetWindDirection());
        if (frame == 72) {
            life.noonSunHeight = env->GetSunDirection(v)[2];
            life.noonLight = env->GetSunLightLevel();
        }
        if (frame == 144) life.midnightLight = env->GetSunLightLevel();
    }
    TimeOfDay time{-1, -1, -1, -1};
    CalendarDate date{-1, -1, -1};
    const TimeOfDay* t = env->GetTime(&time);
    const CalendarDate* d = env->GetDate(&date);
    life.integers.insert(life.integers.end(), {t == &time, time.hours, time.minutes, time.seconds});
    life.integers.insert(life.integers.end(), {d == &date, date.year, date.month, date.day});
    life.integers.push_back(env->AddTime(86400 + 90));
    for (float altitude : {0.0f, 750.0f, 18000.0f, 25000.0f}) {
        life.floats.insert(life.floats.end(), {env->GetAirDensity(altitude), env->GetAirTemperature(altitude),
                                               env->GetSpeedOfSound(altitude), env->GetInverseSpeedOfSound(altitude),
                                               env->GetDensityRatioRoot(altitude)});
        life.integers.insert(life.integers.end(), {env->IsAboveOvercast(altitude), env->IsBelowOvercast(altitude)});
    }
    float g[3] = {0, 0, 0};
    life.floats.push_back(env->GetGravityAcceleration());
    Record3(life, env->GetGravityVector(g));
    life.seaLevelDensity = env->GetAirDensity(0.0f);
    life.gravity = env->GetGravityAcceleration();
    life.gravityDown = g[2];
    env->SetHostValue(2.75f);
    life.floats.push_back(env->GetHostValue());
    life.integers.push_back(env->GetSunLight() != nullptr);
    life.integers.push_back(env->ReservedQuery(1, 2));
    life.quads = host.gfx.quads.size();
    host.Exit();
    life.leftUnderTag = host.mem.LiveBlocks("ENV");
    life.unregistered = host.env() == nullptr;
    return life;
}

TEST(ModuleLoad, ExportsTheEntryPointsOnlyAndAWholeLifeThroughItAnswersAsTheLinkedCode) {
    LoadedModule module{ENVSYS_MODULE_PATH};
    ASSERT_TRUE(module.Loaded()) << ENVSYS_MODULE_PATH << ": " << module.Error();
    for (const char* hidden : {"MemAlloc", "_ZN6envsys8MemAllocEj", "g_plugin", "g_environmentSystem", "LogMessage"})
        EXPECT_EQ(module.Symbol<void (*)()>(hidden), nullptr) << hidden;
    const auto init = module.Symbol<InitDllFunction>("InitDLL");
    const auto exit = module.Symbol<ExitDllFunction>("ExitDLL");
    ASSERT_NE(init, nullptr); // a null entry point would live the linked code
    ASSERT_NE(exit, nullptr);
    const Life loaded = Live(init, exit);
    const Life linked = Live(nullptr, nullptr);
    ASSERT_EQ(loaded.floats.size(), linked.floats.size());
    for (size_t i = 0; i < loaded.floats.size(); ++i) {
        uint32_t a, b;
        std::memcpy(&a, &loaded.floats[i], 4);
        std::memcpy(&b, &linked.floats[i], 4);
        EXPECT_EQ(a, b) << "answer " << i << ": " << loaded.floats[i] << " through the module, " << linked.floats[i];
    }
    EXPECT_EQ(loaded.integers, linked.integers);
    EXPECT_EQ(loaded.quads, linked.quads);

    // Registered with the host's value; LoadEnvironment answers 0; a day of
    // 144 frames of ten minutes ends at midnight of 22 June; 86490 s more
    // carry one day.
    const std::vector<int32_t> head(loaded.integers.begin(), loaded.integers.begin() + 11);
    EXPECT_EQ(head, (std::vector<int32_t>{0xBEEF, 0, 1, 0, 0, 0, 1, 2003, 6, 22, 1}));
    // Noon at 34 degrees north on 21 June: the sun 79.07 degrees high, the
    // full Day light; midnight gives the Night light.
    EXPECT_NEAR(loaded.noonSunHeight, std::sin(79.07 * 0.017453292), 2e-3);
    EXPECT_FLOAT_EQ(loaded.noonLight, 0.9f);
    EXPECT_FLOAT_EQ(loaded.midnightLight, 0.05f);
    // Sea level of the standard atmosphere, and the gravity of the file.
    EXPECT_FLOAT_EQ(loaded.seaLevelDensity, 1.225f);
    EXPECT_FLOAT_EQ(loaded.gravity, 9.80665f);
    EXPECT_FLOAT_EQ(loaded.gravityDown, -9.80665f);
    EXPECT_EQ(loaded.floats.back(), 2.75f);
    EXPECT_GT(loaded.quads, 0u) << "the sun, its flare and the stars were drawn";
    // ExitDLL unregistered the object and gave back every block of the tag.
    EXPECT_TRUE(loaded.unregistered);
    EXPECT_EQ(loaded.leftUnderTag, 0u);
}

} // namespace
} // namespace envsys
