// The per-frame paths, loading and the atmosphere against a host whose
// services do no work, each beside a reference measured in the same run:
// the night frame beside a loop that makes the star field's host calls and
// nothing else, the atmosphere lookups beside the standard-atmosphere
// formulas in double precision.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/NullHost.h"
#include "bench/SystemBenchmark.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/PluginState.h"
#include "testing/DiskFiles.h"
#include "testing/PoolMemory.h"
#include "testing/TestHost.h"

namespace envsys {
namespace bench {
namespace {

constexpr float kFrameSeconds = 1.0f / 60.0f;

// The default environment, loaded from build/data/default through the
// reference host's file service, behind null graphics, viewer, random and
// particle services and a plain memory service.
class DefaultEnvironmentHost {
public:
    DefaultEnvironmentHost() {
        files.root = ENVSYS_BINARY_DIR "/data/default";
        host.log.enabled = false;
        host.shell.services["MEM"] = static_cast<MemoryService*>(&memory);
        host.shell.services["FMG"] = static_cast<FileService*>(&files);
        host.shell.services["RND"] = static_cast<RandomService*>(&random);
        host.shell.services["GFX"] = static_cast<GraphicsService*>(&gfx);
        host.shell.services["VMG"] = static_cast<ViewerService*>(&viewer);
        host.shell.services["PTS"] = static_cast<ParticleService*>(&particles);
        host.Init();
        host.env()->LoadEnvironment("environment.ini");
        host.SetDate(2024, 6, 21);
    }
    ~DefaultEnvironmentHost() {
        host.Exit();
        host.shell.services["MEM"] = static_cast<MemoryService*>(&host.mem);
    }
    DefaultEnvironmentHost(const DefaultEnvironmentHost&) = delete;
    DefaultEnvironmentHost& operator=(const DefaultEnvironmentHost&) = delete;

    // A time of day, then enough frames for the recompute it marks to run.
    void Settle(int32_t hours) {
        host.SetTime(hours);
        for (int i = 0; i < 3; ++i)
            host.Frame(kFrameSeconds);
    }

    testing::PoolMemory memory;
    testing::DiskFiles files;
    NullRandom random;
    NullGraphics gfx;
    NullViewer viewer;
    NullParticles particles;
    testing::TestHost host;
};

// Frames at one time of day: every model minute the clock is set back, out
// of the timing, so that a long run does not drift into another light.
void RunFrames(benchmark::State& state, DefaultEnvironmentHost& env, int32_t hours, bool recompute) {
    int frames = 0;
    for (auto _ : state) {
        if (recompute) g_environmentSystem.recomputeNeeded = 1;
        env.host.Frame(kFrameSeconds);
        if (++frames == 3600) {
            state.PauseTiming();
            env.Settle(hours);
            frames = 0;
            state.ResumeTiming();
        }
    }
}

bool Ready(benchmark::State& state, const DefaultEnvironmentHost&) {
    // LoadEnvironment reports nothing; the stars show the file was read.
    if (g_environmentSystem.starField.stars.count > 0) return true;
    state.SkipWithError("the default environment did not load (build the default_environment target)");
    return false;
}

void ReportAllocations(benchmark::State& state, const DefaultEnvironmentHost& env, uint64_t before) {
    state.counters["allocs/frame"] = benchmark::Counter(static_cast<double>(env.memory.allocations - before) /
                                                        static_cast<double>(state.iterations()));
}

void BM_NightFrame(benchmark::State& state) {
    DefaultEnvironmentHost env;
    if (!Ready(state, env)) return;
    env.Settle(0);
    const uint64_t before = env.memory.allocations;
    const uint64_t quadsBefore = env.gfx.quads;
    RunFrames(state, env, 0, false);
    ReportAllocations(state, env, before);
    state.counters["stars"] = static_cast<double>(g_environmentSystem.starField.stars.count);
    state.counters["quads/frame"] =
        static_cast<double>(env.gfx.quads - quadsBefore) / static_cast<double>(state.iterations());
}

// The star field's host calls for every star, in its order, with nothing
// else: what a frame must cost at least.
void BM_NightFrameReferenceLoop(benchmark::State& state) {
    DefaultEnvironmentHost env;
    if (!Ready(state, env)) return;
    env.Settle(0);
    GraphicsService* gfx = g_plugin.gfx;
    HostView* view = gfx->GetView();
    RandomService* rnd = g_plugin.rnd;
    const StarRecord* stars = g_environmentSystem.starField.stars.Records();
    const int32_t count = g_environmentSystem.starField.stars.count;
    MaterialRecord* material = &g_environmentSystem.starField.starMaterial;
    // Which stars the frame draws, found beforehand (the null random service
    // answers the same share every time, so the set does not change).
    const StarField& field = g_environmentSystem.starField;
    std::vector<uint8_t> drawn(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        drawn[static_cast<size_t>(i)] = (1.0f - 0.25f * field.sizeDeviation) * stars[i].size > field.minSize;
    Vertex quad[4] = {};
    for (auto _ : state) {
        gfx->BeginQuads(0);
        gfx->SetQuadMaterial(material);
        gfx->SetQuadMode(3);
        for (int32_t i = 0; i < count; ++i) {
            const float r = rnd->Random(0.5f);
            if (drawn[static_cast<size_t>(i)] == 0) continue;
            float projected[3];
            view->ProjectDirection(projected, stars[i].direction);
            if (view->IsPointVisible(projected) == 0) continue;
            quad[0].x = view->ScreenScale(r);
            gfx->DrawQuads(1, quad);
        }
        gfx->EndQuads();
        benchmark::ClobberMemory();
    }
}

void BM_DayFrame(benchmark::State& state) {
    DefaultEnvironmentHost env;
    if (!Ready(state, env)) return;
    env.Settle(12);
    const uint64_t before = env.memory.allocations;
    RunFrames(state, env, 12, false);
    ReportAllocations(state, env, before);
}

// A frame whose Update runs the recompute: the clock and sun, the light
// state, every star refreshed and the dome recoloured.
void BM_FrameWithRecompute(benchmark::State& state) {
    DefaultEnvironmentHost env;
    if (!Ready(state, env)) return;
    env.Settle(0);
    const uint64_t before = env.memory.allocations;
    RunFrames(state, env, 0, true);
    ReportAllocations(state, env, before);
}

void BM_RecomputeLightingAndColors(benchmark::State& state) {
    DefaultEnvironmentHost env;
    if (!Ready(state, env)) return;
    env.Settle(18);
    for (auto _ : state) {
        g_environmentSystem.RecomputeLighting();
        g_environmentSystem.skyDome.UpdateColors();
        benchmark::ClobberMemory();
    }
}

void BM_LoadDefaultEnvironment(benchmark::State& state) {
    DefaultEnvironmentHost env;
    if (!Ready(state, env)) return;
    for (auto _ : state)
        benchmark::DoNotOptimize(env.host.env()->LoadEnvironment("environment.ini"));
}

// A whole load and unload of the tests' complete environment
// (tests/data/environment/complete.ini: every component, an include and
// six stars) under overcast, so that the band and the cloud layer are built
// too; the default environment's load is mostly its star catalogue.
void BM_LoadAndUnloadCompleteEnvironment(benchmark::State& state) {
    testing::TestHost host;
    host.files.disk.root = ENVSYS_SOURCE_DIR "/tests/data/environment";
    host.log.enabled = false;
    host.Init();
    host.env()->LoadEnvironment("complete.ini");
    if (g_environmentSystem.starField.stars.count != 6) {
        state.SkipWithError("tests/data/environment/complete.ini did not load");
        return;
    }
    for (auto _ : state) {
        host.env()->LoadEnvironment("complete.ini");
        host.SetWeather(3, 1000.0f, 100.0f, 0.6f);
        host.env()->Unload();
        host.ForgetReleased();
    }
}

// Altitudes from below sea level to above the tables' last entry.
struct Altitudes {
    Altitudes() {
        for (int i = 0; i < kCount; ++i)
            value[i] = -500.0f + 20000.0f * static_cast<float>(i) / kCount;
    }
    static constexpr int kCount = 1024;
    float value[kCount];
};

// Results are stored per altitude rather than summed: a running sum would
// chain every evaluation to the one before by the adder's latency, which
// is about as long as a table lookup itself.
template <typename Number>
struct Results {
    Number value[Altitudes::kCount];
};

void BM_AtmosphereLookups(benchmark::State& state) {
    DefaultEnvironmentHost env;
    if (!Ready(state, env)) return;
    static const Altitudes altitudes;
    const AtmosphereTables& tables = g_environmentSystem.atmosphere;
    static Results<float> out;
    for (auto _ : state) {
        for (int i = 0; i < Altitudes::kCount; ++i) {
            const float h = altitudes.value[i];
            out.value[i] = tables.AirDensity(h) + tables.AirTemperature(h) + tables.SpeedOfSound(h) +
                           tables.InverseSpeedOfSound(h) + tables.DensityRatioRoot(h);
        }
        benchmark::DoNotOptimize(out.value);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Altitudes::kCount * 5);
}

// The same five quantities from the standard atmosphere's formulas:
// troposphere lapse rate 0.0065 K/m to 11 km, isothermal above.
void BM_AtmosphereFormulas(benchmark::State& state) {
    static const Altitudes altitudes;
    constexpr double kSeaLevelTemperature = 288.15; // K
    constexpr double kSeaLevelPressure = 101325.0;  // Pa
    constexpr double kGasConstant = 287.05;         // J/(kg K), dry air
    constexpr double kLapseRate = 0.0065;           // K/m
    constexpr double kGravity = 9.80665;            // m/s2
    constexpr double kTropopause = 11000.0;         // m
    constexpr double kSeaLevelDensity = kSeaLevelPressure / (kGasConstant * kSeaLevelTemperature);
    const double exponent = kGravity / (kGasConstant * kLapseRate);
    const double tropopauseTemperature = kSeaLevelTemperature - kLapseRate * kTropopause;
    const double tropopausePressure =
        kSeaLevelPressure * std::pow(tropopauseTemperature / kSeaLevelTemperature, exponent);
    static Results<double> out;
    for (auto _ : state) {
        for (int i = 0; i < Altitudes::kCount; ++i) {
            const double h = altitudes.value[i];
            double t;
            double p;
            if (h <= kTropopause) {
                t = kSeaLevelTemperature - kLapseRate * h;
                p = kSeaLevelPressure * std::pow(t / kSeaLevelTemperature, exponent);
            } else {
                t = tropopauseTemperature;
                p = tropopausePressure * std::exp(-kGravity * (h - kTropopause) / (kGasConstant * t));
            }
            const double rho = p / (kGasConstant * t);
            const double a = std::sqrt(1.4 * kGasConstant * t);
            out.value[i] = rho + t + a + 1.0 / a + std::sqrt(rho / kSeaLevelDensity);
        }
        benchmark::DoNotOptimize(out.value);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Altitudes::kCount * 5);
}

// The two quantities whose formulas need a power or an exponential, each
// alone: one lookup against one evaluation per altitude.
double DensityFormula(double h) {
    const double exponent = 9.80665 / (287.05 * 0.0065);
    if (h <= 11000.0) {
        const double t = 288.15 - 0.0065 * h;
        return 101325.0 * std::pow(t / 288.15, exponent) / (287.05 * t);
    }
    const double tropopausePressure = 101325.0 * std::pow(216.65 / 288.15, exponent);
    return tropopausePressure * std::exp(-9.80665 * (h - 11000.0) / (287.05 * 216.65)) / (287.05 * 216.65);
}

double DensityRatioRootFormula(double h) {
    constexpr double kSeaLevelDensity = 101325.0 / (287.05 * 288.15);
    return std::sqrt(DensityFormula(h) / kSeaLevelDensity);
}

template <float (AtmosphereTables::*Quantity)(float) const>
void BM_QuantityLookup(benchmark::State& state) {
    DefaultEnvironmentHost env;
    if (!Ready(state, env)) return;
    static const Altitudes altitudes;
    const AtmosphereTables& tables = g_environmentSystem.atmosphere;
    static Results<float> out;
    for (auto _ : state) {
        for (int i = 0; i < Altitudes::kCount; ++i)
            out.value[i] = (tables.*Quantity)(altitudes.value[i]);
        benchmark::DoNotOptimize(out.value);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Altitudes::kCount);
}

template <double (*Formula)(double)>
void BM_QuantityFormula(benchmark::State& state) {
    static const Altitudes altitudes;
    static Results<double> out;
    for (auto _ : state) {
        for (int i = 0; i < Altitudes::kCount; ++i)
            out.value[i] = Formula(altitudes.value[i]);
        benchmark::DoNotOptimize(out.value);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Altitudes::kCount);
}

} // namespace

void RegisterSystemBenchmarks() {
    benchmark::RegisterBenchmark("BM_NightFrame", BM_NightFrame)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_NightFrameReferenceLoop", BM_NightFrameReferenceLoop)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_DayFrame", BM_DayFrame)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_FrameWithRecompute", BM_FrameWithRecompute)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_RecomputeLightingAndColors", BM_RecomputeLightingAndColors)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_LoadDefaultEnvironment", BM_LoadDefaultEnvironment)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_LoadAndUnloadCompleteEnvironment", BM_LoadAndUnloadCompleteEnvironment)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_AtmosphereLookups", BM_AtmosphereLookups)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_AtmosphereFormulas", BM_AtmosphereFormulas)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_AirDensityLookup", BM_QuantityLookup<&AtmosphereTables::AirDensity>)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_AirDensityFormula", BM_QuantityFormula<DensityFormula>)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_DensityRatioRootLookup", BM_QuantityLookup<&AtmosphereTables::DensityRatioRoot>)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_DensityRatioRootFormula", BM_QuantityFormula<DensityRatioRootFormula>)
        ->Unit(benchmark::kMicrosecond);
}

} // namespace bench
} // namespace envsys
