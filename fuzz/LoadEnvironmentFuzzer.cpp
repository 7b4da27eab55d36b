// Fuzzes the whole LoadEnvironment: an Environment File and up to two
// includes and a star data file, all served from memory by the test host's
// file service, then a short life (every weather level, day and night,
// Unload, ExitDLL) that must give back every block it took.
//
// Input: the files one after another, separated by the line "@@@", in the
// order env.ini, a.ini, b.ini, stars.dat.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "plugin/Log.h"
#include "plugin/Memory.h"
#include "testing/TestHost.h"

namespace {

const char* const kNames[] = {"env.ini", "a.ini", "b.ini", "stars.dat"};

void Check(bool ok) {
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using envsys::testing::TestHost;
    const std::string input(reinterpret_cast<const char*>(data), size);
    TestHost host;
    host.files.fallback = nullptr; // only the input's files exist, never the disk
    host.mem.fillFreshBlocks = false;
    // "MaxClouds = 99999" asks for 200 MB of clouds and a third of a second;
    // a host that refuses blocks over 4 MiB fuzzes the refusal instead.
    host.mem.maxBlockBytes = 4u << 20;
    host.log.enabled = false;
    envsys::SetLogSink(nullptr, nullptr);
    size_t start = 0;
    for (const char* name : kNames) {
        if (start > input.size()) break;
        size_t end = input.find("\n@@@\n", start);
        if (end == std::string::npos) end = input.size();
        host.files.Add(name, input.substr(start, end - start));
        start = end + 5;
    }
    host.Init();
    envsys::EnvironmentSystemInterface* env = host.env();
    const size_t initBlocks = host.mem.LiveBlocks();
    env->LoadEnvironment("env.ini");
    host.SetTime(12);
    for (int level = 0; level <= 4; ++level) {
        host.SetWeather(level, 1000.0f, 100.0f, 0.5f);
        host.viewer.position[2] = level % 2 == 0 ? 2000.0 : 500.0;
        host.Frame(0.5f);
    }
    host.SetTime(0);
    host.Frame(0.5f);
    host.Frame(2.0f);
    env->Unload();
    Check(host.mem.LiveBlocks() == initBlocks);
    host.Exit();
    Check(host.mem.badFrees == 0);
    Check(host.files.OpenHandles() == 0);
    Check(envsys::HeapFallbackBlockCount() == 0);
    return 0;
}
