// Frames per second of the reference host: the default environment at noon
// at 960x540, each frame driven through the plug-in (Update, PrepareFrame,
// DrawSky, DrawLensFlare, the host's ground) and read back as an image, as
// a live preview needs it. Drawn by one thread and by the default count.
#include <benchmark/benchmark.h>

#include <string>

#include "host/HostCommands.h"
#include "host/HostSession.h"
#include "host/RenderThreads.h"

namespace envhost {
namespace {

constexpr float kFrameSeconds = 1.0f / 30.0f;

// state.range(0): the thread count, 0 for the default.
void BM_HostFrame960x540Noon(benchmark::State& state) {
    HostSession session;
    std::string error;
    if (!session.Open(DefaultEnvironmentOptions(ENVSYS_BINARY_DIR, 960, 540, static_cast<int>(state.range(0))),
                      &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    RenderScene(session, SceneSpec{});
    for (auto _ : state) {
        session.Frame(kFrameSeconds, true);
        const PngImage image = session.Image();
        benchmark::DoNotOptimize(image.rgba.data());
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel("threads " + std::to_string(session.gfx.Threads()));
}

BENCHMARK(BM_HostFrame960x540Noon)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace envhost
