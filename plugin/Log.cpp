#include "plugin/Log.h"

#include <cstdarg>
#include <cstdio>

namespace envsys {
namespace {
LogSink g_sink = nullptr;
void* g_sinkUser = nullptr;
int32_t g_logLevel = 0;
} // namespace

void LogMessage(const char* format, ...) {
    if (g_sink == nullptr || format == nullptr) return;
    // Long enough for every message with two 260-byte names in it.
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    g_sink(g_sinkUser, text);
}

void SetLogLevel(int32_t level) { g_logLevel = level; }
int32_t GetLogLevel() { return g_logLevel; }

void SetLogSink(LogSink sink, void* user) {
    g_sink = sink;
    g_sinkUser = user;
}

} // namespace envsys
