// Parsing and reading a generated 200 KiB document: the configuration library
// through the test host's file service against inih's string parser, with
// the same values converted on both sides.
#include <benchmark/benchmark.h>
#include <ini.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "bench/ConfigDocumentGenerator.h"
#include "config/IniFile.h"
#include "tests/support/TestHost.h"

namespace envsys {
namespace bench {
namespace {

const GeneratedDocument& Document() {
    static const GeneratedDocument doc = GenerateConfigDocument();
    return doc;
}

// The test host's memory service keeps a map of live blocks for its checks;
// the benchmark hands the plug-in a plain one so that only the library's
// own work is measured.
class PlainMemory : public MemoryService {
public:
    void* Allocate(uint32_t size, int32_t, int32_t, const char*) override { return std::malloc(size > 0 ? size : 1); }
    void Free(void* block) override { std::free(block); }
    void ReleaseOwner(const char*) override {}
};

void BM_EnvironmentSystemIni(benchmark::State& state) {
    const GeneratedDocument& doc = Document();
    PlainMemory memory;
    testing::TestHost host;
    host.log.enabled = false;
    host.shell.services["MEM"] = static_cast<MemoryService*>(&memory);
    host.Init();
    host.files.Add("bench.ini", doc.text);
    for (auto _ : state) {
        IniFile file("bench.ini", 0, 0);
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
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.text.size()));
    host.Exit();
    host.shell.services["MEM"] = static_cast<MemoryService*>(&host.mem);
}

// inih calls back once per key; the handler converts by the key's type, as
// the getters do above.
int InihHandler(void* user, const char*, const char* name, const char* value) {
    double& sum = *static_cast<double*>(user);
    switch (name[0]) {
    case 'C':
        if (name[1] == 'o' && name[2] == 'u') {
            sum += std::atol(value);
        } else {
            char copy[kNameBufferSize];
            std::snprintf(copy, sizeof copy, "%s", value);
            char* g = std::strchr(copy, ',');
            char* b = g != nullptr ? std::strchr(g + 1, ',') : nullptr;
            if (b != nullptr) {
                *g++ = '\0';
                *b++ = '\0';
                sum += std::strtod(copy, nullptr) + std::strtod(g, nullptr) + std::strtod(b, nullptr);
            }
        }
        break;
    case 'S':
        sum += static_cast<float>(std::strtod(value, nullptr));
        break;
    default: {
        char copy[kNameBufferSize];
        std::snprintf(copy, sizeof copy, "%s", value);
        sum += static_cast<double>(copy[0]);
    }
    }
    return 1;
}

void BM_Inih(benchmark::State& state) {
    const GeneratedDocument& doc = Document();
    for (auto _ : state) {
        double sum = 0;
        ini_parse_string(doc.text.c_str(), InihHandler, &sum);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.text.size()));
}

BENCHMARK(BM_EnvironmentSystemIni)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Inih)->Unit(benchmark::kMicrosecond);

// Prints every run as usual and keeps the times to compare afterwards.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            times[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

} // namespace
} // namespace bench
} // namespace envsys

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    envsys::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.times;
    const auto ours = t.find("BM_EnvironmentSystemIni");
    const auto inih = t.find("BM_Inih");
    std::printf("document: %zu bytes, %zu keys\n", envsys::bench::Document().text.size(),
                envsys::bench::Document().keys.size());
    if (ours != t.end() && inih != t.end() && inih->second > 0)
        std::printf("EnvironmentSystem IniFile / inih CPU time ratio: %.2f\n", ours->second / inih->second);
    benchmark::Shutdown();
    return 0;
}
