// Fuzzes envcheck against the configuration library: on any Environment
// File (with two includes), the checker's line-aware pass must find the
// same sections, keys and values as the library, which the checker's
// cross-check reports as errors naming the configuration library.
//
// Input: env.ini, a.ini and b.ini separated by the line "@@@".
#include <cstdint>
#include <cstdlib>
#include <string>

#include "plugin/Log.h"
#include "testing/TestHost.h"
#include "tools/envcheck/EnvChecker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using envsys::testing::TestHost;
    const std::string input(reinterpret_cast<const char*>(data), size);
    TestHost host;
    host.files.fallback = nullptr; // only the input's files exist, never the disk
    host.log.enabled = false;
    envsys::SetLogSink(nullptr, nullptr);
    size_t start = 0;
    for (const char* name : {"env.ini", "a.ini", "b.ini"}) {
        if (start > input.size()) break;
        size_t end = input.find("\n@@@\n", start);
        if (end == std::string::npos) end = input.size();
        host.files.Add(name, input.substr(start, end - start));
        start = end + 5;
    }
    envcheck::CheckOptions options;
    options.checkFiles = false;
    envcheck::EnvChecker checker(&host.files, &host.mem, options);
    checker.Check("env.ini");
    for (const envcheck::Diagnostic& d : checker.diagnostics())
        if (d.message.compare(0, 25, "the configuration library") == 0) std::abort();
    if (host.mem.LiveBlocks("ENV") != 0 || host.files.OpenHandles() != 0) std::abort();
    return 0;
}
