// The plug-in's process-wide state: the shell, the services acquired from it,
// the owner tag of every allocation, the log level and the version text.
#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

namespace envsys {

constexpr const char* kRegistrationName = "ENV";
constexpr int kOwnerTagSize = 8;

struct PluginState {
    ApplicationShell* shell;
    char ownerTag[kOwnerTagSize];
    const char* ownerTagPointer;
    ApplicationService* app;
    DllService* dll;
    FileService* fmg;
    RandomService* rnd;
    MemoryService* mem;
    DebugService* dbg;
    // Acquired by the EnvironmentSystem set-up rather than by InitDLL.
    GraphicsService* gfx;
    ViewerService* vmg;
    ParticleService* pts;
    uint32_t appValue16;
    uint32_t appValue14;
    char* versionText;
};

// Zero while the library is loaded and InitDLL has not run.
extern PluginState g_plugin;

inline GraphicsService* Gfx() { return g_plugin.gfx; }
inline ViewerService* Vmg() { return g_plugin.vmg; }
inline ParticleService* Pts() { return g_plugin.pts; }
inline FileService* Fmg() { return g_plugin.fmg; }
inline RandomService* Rnd() { return g_plugin.rnd; }

// "v%02d.%02d.%02d" from a build date such as "Oct 11 2002" (month, day,
// year modulo 100); the month reads 00 when its name is not recognised.
// out must hold at least 16 bytes.
void FormatVersionText(const char* buildDate, char* out, int outSize);

// The version text made by InitDLL, or null outside InitDLL..ExitDLL.
const char* VersionText();

} // namespace envsys
