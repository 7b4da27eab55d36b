// The system's diagnostic log. Messages are discarded unless a sink is
// installed; the plug-in itself installs none, tests and tools do.
#pragma once

#include <cstdint>

#if defined(__GNUC__)
#define ENVSYS_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define ENVSYS_PRINTF_LIKE(f, a)
#endif

namespace envsys {

using LogSink = void (*)(void* user, const char* text);

// Formats are the system's own constants; arguments may come from files and
// are only ever passed through %s.
void LogMessage(const char* format, ...) ENVSYS_PRINTF_LIKE(1, 2);

void SetLogLevel(int32_t level);
int32_t GetLogLevel();

// Installs (or with null removes) the receiver of formatted messages.
void SetLogSink(LogSink sink, void* user);

} // namespace envsys
