// The end of a tool's main: what its work throws (an allocation that fails,
// say) ends the tool with a message and status 2 instead of an abort.
#pragma once

#include <cstdio>
#include <exception>

namespace envtools {

template <typename Run>
int GuardedMain(const char* tool, Run run) {
    try {
        return run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", tool, e.what());
    } catch (...) {
        std::fprintf(stderr, "%s: unexpected failure\n", tool);
    }
    return 2;
}

} // namespace envtools
