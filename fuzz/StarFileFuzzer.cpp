// Fuzzes the star data file: a count and 16-byte records, read into the
// star field, refreshed and drawn at night, reloaded and released.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "plugin/EnvironmentSystem.h"
#include "plugin/Log.h"
#include "testing/TestHost.h"

namespace {

const char* const kEnvironment = "[EnvironmentSystem]\nUpdateRate = 0.1\n"
                                 "[Day]\nSunHeight = 0.3\n[Twilight1]\nSunHeight = 0.1\n"
                                 "[Twilight2]\nSunHeight = -0.05\n[Night]\nSunHeight = -0.2\n"
                                 "[Stars]\nUpdateRate = 0.5\nSizeFactor = 1\nSizeDeviation = 0.3\n"
                                 "MinSize = 0.01\nMinHeight = 0.1\nStarDataFile = stars.dat\n";

void Check(bool ok) {
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using envsys::testing::TestHost;
    TestHost host;
    host.files.fallback = nullptr; // only the input's files exist, never the disk
    host.mem.fillFreshBlocks = false;
    host.log.enabled = false;
    envsys::SetLogSink(nullptr, nullptr);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    host.files.Add("env.ini", kEnvironment);
    host.files.Add("stars.dat", bytes);
    host.random.fallback = 0.1f;
    host.Init();
    const size_t initBlocks = host.mem.LiveBlocks();
    envsys::EnvironmentSystemInterface* env = host.env();
    env->LoadEnvironment("env.ini");
    // The stars can hold no more records than the file has room for.
    const size_t records = size >= 4 ? (size - 4) / 16 : 0;
    Check(static_cast<size_t>(envsys::g_environmentSystem.starField.stars.count) <= records);
    host.SetTime(0);
    for (int i = 0; i < 4; ++i)
        host.Frame(0.3f);
    env->LoadEnvironment("env.ini");
    host.Frame(1.0f);
    env->Unload();
    Check(host.mem.LiveBlocks() == initBlocks);
    host.Exit();
    Check(host.mem.badFrees == 0);
    Check(host.files.OpenHandles() == 0);
    return 0;
}
