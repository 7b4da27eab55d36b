// The system's benchmarks (frames, loading, atmosphere), registered by the
// benchmark program's main beside the configuration benchmarks.
#pragma once

namespace envsys {
namespace bench {

void RegisterSystemBenchmarks();

} // namespace bench
} // namespace envsys
