// Parsing and reading a generated 200 KiB document: the configuration library
// (through a file service that copies the bytes from memory) against inih's
// C parser, inih's INIReader and SimpleIni, each parsing the same bytes from
// memory and reading every key once in file order with typed look-ups.
// main() also runs the system's benchmarks and prints every ratio.
#include <INIReader.h>
// Plain bytes, as the other parsers read them: no character set conversion.
#define SI_NO_CONVERSION
#include <SimpleIni.h>
#include <benchmark/benchmark.h>
#include <ini.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>

#include "bench/ConfigDocumentGenerator.h"
#include "bench/SystemBenchmark.h"
#include "config/IniFile.h"
#include "testing/MemoryFiles.h"
#include "testing/PoolMemory.h"
#include "testing/TestHost.h"

namespace envsys {
namespace bench {
namespace {

const GeneratedDocument& Document() {
    static const GeneratedDocument doc = GenerateConfigDocument();
    return doc;
}

// Splits "r,g,b" and converts each part, as the library's colour getter does.
double ColorSum(const char* value) {
    char copy[kNameBufferSize];
    std::snprintf(copy, sizeof copy, "%s", value);
    char* g = std::strchr(copy, ',');
    char* b = g != nullptr ? std::strchr(g + 1, ',') : nullptr;
    if (b == nullptr) return 0.0;
    *g++ = '\0';
    *b++ = '\0';
    return static_cast<float>(std::strtod(copy, nullptr)) + static_cast<float>(std::strtod(g, nullptr)) +
           static_cast<float>(std::strtod(b, nullptr));
}

// Which part of a document's life a run times.
enum class Timed { OpenAndRead, Close };

// Parse and read every key with the host memory service given; closing the
// document is timed on its own, since the references' teardown differs (the
// inih C parser keeps nothing).
void RunEnvironmentSystemIni(benchmark::State& state, MemoryService& memory, testing::PoolMemory* pool, Timed timed) {
    const GeneratedDocument& doc = Document();
    testing::MemoryFiles files;
    files.Add("bench.ini", doc.text);
    testing::TestHost host;
    host.log.enabled = false;
    host.shell.services["MEM"] = static_cast<MemoryService*>(&memory);
    host.shell.services["FMG"] = static_cast<FileService*>(&files);
    host.Init();
    for (auto _ : state) {
        if (timed == Timed::Close) state.PauseTiming();
        alignas(IniFile) unsigned char place[sizeof(IniFile)];
        IniFile& file = *new (place) IniFile("bench.ini", 0, 0);
        double sum = 0;
        char text[kNameBufferSize];
        float color[3];
        for (const GeneratedKey& k : doc.keys) {
            const char* section = k.section.c_str();
            const char* key = k.key.c_str();
            switch (k.type) {
            case ValueType::Integer:
                sum += file.GetInt(section, key, 0);
                break;
            case ValueType::Float:
                sum += file.GetFloat(section, key, 0.0f);
                break;
            case ValueType::Color:
                GetColor(color, &file, section, key);
                sum += color[0] + color[1] + color[2];
                break;
            case ValueType::Text:
                file.GetString(section, key, "", text, sizeof text, kCaseAsStored);
                sum += static_cast<double>(text[0]);
                break;
            }
        }
        benchmark::DoNotOptimize(sum);
        if (timed == Timed::Close)
            state.ResumeTiming();
        else
            state.PauseTiming();
        file.~IniFile();
        // The pool's blocks are all free again once the document is gone.
        if (pool != nullptr) pool->Rewind();
        if (timed == Timed::OpenAndRead) state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.text.size()));
    host.Exit();
    host.shell.services["MEM"] = static_cast<MemoryService*>(&host.mem);
    host.shell.services["FMG"] = static_cast<FileService*>(&host.files);
}

void BM_EnvironmentSystemIni(benchmark::State& state) {
    testing::PoolMemory memory;
    RunEnvironmentSystemIni(state, memory, nullptr, Timed::OpenAndRead);
}

// Closing the document: every key record and node freed, the text zeroed.
void BM_EnvironmentSystemIniClose(benchmark::State& state) {
    testing::PoolMemory memory;
    RunEnvironmentSystemIni(state, memory, nullptr, Timed::Close);
}

// The same with a host whose memory service is a pool: the library's own
// share of the time, without the C runtime's malloc and free per key.
void BM_EnvironmentSystemIniPoolHost(benchmark::State& state) {
    testing::PoolMemory pool(16u << 20);
    RunEnvironmentSystemIni(state, pool, &pool, Timed::OpenAndRead);
}

// inih's C parser with a handler that stores nothing: the floor of any
// parser built on it.
int InihNoStoreHandler(void*, const char*, const char*, const char*) { return 1; }

void BM_InihCParser(benchmark::State& state) {
    const GeneratedDocument& doc = Document();
    for (auto _ : state)
        benchmark::DoNotOptimize(ini_parse_string(doc.text.c_str(), InihNoStoreHandler, nullptr));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.text.size()));
}

// INIReader parses into a map and is then asked for every key, typed. Its
// teardown is left out of the timing, as ours is.
void BM_InihINIReader(benchmark::State& state) {
    const GeneratedDocument& doc = Document();
    for (auto _ : state) {
        auto owned = std::make_unique<INIReader>(doc.text.data(), doc.text.size());
        INIReader& reader = *owned;
        double sum = 0;
        for (const GeneratedKey& k : doc.keys) {
            switch (k.type) {
            case ValueType::Integer:
                sum += static_cast<double>(reader.GetInteger(k.section, k.key, 0));
                break;
            case ValueType::Float:
                sum += static_cast<float>(reader.GetReal(k.section, k.key, 0.0));
                break;
            case ValueType::Color:
                sum += ColorSum(reader.Get(k.section, k.key, "").c_str());
                break;
            case ValueType::Text:
                sum += static_cast<double>(reader.Get(k.section, k.key, "")[0]);
                break;
            }
        }
        benchmark::DoNotOptimize(sum);
        state.PauseTiming();
        owned.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.text.size()));
}

void BM_SimpleIni(benchmark::State& state) {
    const GeneratedDocument& doc = Document();
    for (auto _ : state) {
        auto owned = std::make_unique<CSimpleIniA>();
        CSimpleIniA& ini = *owned;
        ini.LoadData(doc.text.data(), doc.text.size());
        double sum = 0;
        for (const GeneratedKey& k : doc.keys) {
            const char* section = k.section.c_str();
            const char* key = k.key.c_str();
            switch (k.type) {
            case ValueType::Integer:
                sum += static_cast<double>(ini.GetLongValue(section, key, 0));
                break;
            case ValueType::Float:
                sum += static_cast<float>(ini.GetDoubleValue(section, key, 0.0));
                break;
            case ValueType::Color:
                sum += ColorSum(ini.GetValue(section, key, ""));
                break;
            case ValueType::Text:
                sum += static_cast<double>(ini.GetValue(section, key, "")[0]);
                break;
            }
        }
        benchmark::DoNotOptimize(sum);
        state.PauseTiming();
        owned.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.text.size()));
}

BENCHMARK(BM_EnvironmentSystemIni)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EnvironmentSystemIniPoolHost)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EnvironmentSystemIniClose)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InihCParser)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InihINIReader)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SimpleIni)->Unit(benchmark::kMicrosecond);

// Prints every run as usual and keeps the CPU times (the median when runs
// are repeated) to compare afterwards.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration || median)
                times[run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // Iteration runs come first, so the median replaces them when present.
    std::map<std::string, double> times;
};

void PrintRatio(const std::map<std::string, double>& t, const char* what, const char* ours, const char* reference,
                const char* target) {
    const auto a = t.find(ours);
    const auto b = t.find(reference);
    if (a == t.end() || b == t.end() || a->second <= 0 || b->second <= 0) return;
    std::printf("  %-58s %8.3f  (%s)\n", what, a->second / b->second, target);
}

} // namespace
} // namespace bench
} // namespace envsys

int main(int argc, char** argv) {
    using envsys::bench::PrintRatio;
    envsys::bench::RegisterSystemBenchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    envsys::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.times;
    std::printf("\ndocument: %zu bytes, %zu keys\nratios of CPU time (ours / reference):\n",
                envsys::bench::Document().text.size(), envsys::bench::Document().keys.size());
    PrintRatio(t, "config parse + read every key / inih INIReader", "BM_EnvironmentSystemIni", "BM_InihINIReader",
               "target <= 0.333");
    PrintRatio(t, "config parse + read every key / SimpleIni", "BM_EnvironmentSystemIni", "BM_SimpleIni",
               "target <= 0.5 of the faster");
    PrintRatio(t, "config parse + read every key / inih C parser, no store", "BM_EnvironmentSystemIni",
               "BM_InihCParser", "target <= 0.5 of the faster");
    PrintRatio(t, "the same, pool host memory / inih C parser, no store", "BM_EnvironmentSystemIniPoolHost",
               "BM_InihCParser", "information");
    const auto open = t.find("BM_EnvironmentSystemIni");
    const auto close = t.find("BM_EnvironmentSystemIniClose");
    const auto inih = t.find("BM_InihCParser");
    if (open != t.end() && close != t.end() && inih != t.end() && inih->second > 0)
        std::printf("  %-58s %8.3f  (%s)\n", "config parse + read + close / inih C parser, no store",
                    (open->second + close->second) / inih->second, "information");
    PrintRatio(t, "night frame / reference loop of its host calls", "BM_NightFrame", "BM_NightFrameReferenceLoop",
               "target <= 1.5");
    PrintRatio(t, "atmosphere, five lookups / the five formulas", "BM_AtmosphereLookups", "BM_AtmosphereFormulas",
               "target <= 0.2");
    PrintRatio(t, "air density lookup / its formula", "BM_AirDensityLookup", "BM_AirDensityFormula", "target <= 0.2");
    PrintRatio(t, "density ratio root lookup / its formula", "BM_DensityRatioRootLookup", "BM_DensityRatioRootFormula",
               "target <= 0.2");
    benchmark::Shutdown();
    return 0;
}
