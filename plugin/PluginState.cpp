// The exported entry points and the process-wide state they manage.
#include "plugin/PluginState.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "envsys/Exports.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/Log.h"
#include "plugin/Memory.h"

namespace envsys {

PluginState g_plugin;

namespace {

template <typename Service>
void AcquireService(const char* tag, Service** slot) {
    g_plugin.shell->Acquire(tag, reinterpret_cast<void**>(slot));
}

template <typename Service>
void ReleaseService(const char* tag, Service** slot) {
    g_plugin.shell->Release(tag, reinterpret_cast<void**>(slot));
    *slot = nullptr;
}

char* HeapCopy(const char* text) {
    const size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(MemAlloc(static_cast<uint32_t>(length + 1)));
    if (copy != nullptr) std::memcpy(copy, text, length + 1);
    return copy;
}

} // namespace

void FormatVersionText(const char* buildDate, char* out, int outSize) {
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (out == nullptr || outSize <= 0) return;
    int year = 0, month = 0, day = 0;
    // The date text is "Mmm dd yyyy"; anything shorter reads as zeros.
    if (buildDate != nullptr && std::strlen(buildDate) >= 7) {
        year = std::atoi(buildDate + 7);
        day = std::atoi(buildDate + 4);
        for (int i = 0; i < 12; ++i) {
            if (std::memcmp(buildDate, kMonths[i], 3) == 0) {
                month = i + 1;
                break;
            }
        }
    }
    std::snprintf(out, static_cast<size_t>(outSize), "v%02d.%02d.%02d", month, day, year % 100);
}

const char* VersionText() { return g_plugin.versionText; }

} // namespace envsys

using namespace envsys;

extern "C" ENVSYS_EXPORT void ENVSYS_CDECL InitDLL(uint32_t param, ApplicationShell* shell) {
    // A host that hands over no shell gets nothing: there is no service to
    // acquire and nobody to register with.
    if (shell == nullptr) return;
    g_plugin.shell = shell;
    std::strncpy(g_plugin.ownerTag, kRegistrationName, kOwnerTagSize - 1);
    g_plugin.ownerTag[kOwnerTagSize - 1] = '\0';
    g_plugin.ownerTagPointer = g_plugin.ownerTag;

    AcquireService("DBG", &g_plugin.dbg);
    AcquireService("MEM", &g_plugin.mem);
    AcquireService("APP", &g_plugin.app);
    AcquireService("DLL", &g_plugin.dll);
    AcquireService("FMG", &g_plugin.fmg);
    AcquireService("RND", &g_plugin.rnd);

    if (g_plugin.app != nullptr) {
        g_plugin.appValue16 = g_plugin.app->Value16();
        g_plugin.appValue14 = g_plugin.app->Value14();
    }

    char version[16];
    FormatVersionText(__DATE__, version, sizeof version);
    g_plugin.versionText = HeapCopy(version);

    g_environmentSystem.SetUp();
    shell->Register(kRegistrationName, &g_environmentSystem, param);

    LogMessage("EnvironmentSystem DLL Initialized...");
    SetLogLevel(3);
}

extern "C" ENVSYS_EXPORT void ENVSYS_CDECL ExitDLL() {
    SetLogLevel(0);
    LogMessage("EnvironmentSystem DLL Deinitialized...");
    ApplicationShell* shell = g_plugin.shell;
    if (shell == nullptr) return;

    g_environmentSystem.TearDown();
    shell->Unregister(kRegistrationName);

    // Case-sensitive: the tag is the name we registered under.
    if (std::strcmp(kRegistrationName, g_plugin.ownerTag) != 0) {
        LogMessage("Unable to exit application shell %s from DLL %s!", kRegistrationName, g_plugin.ownerTag);
        return;
    }

    MemFree(g_plugin.versionText);
    g_plugin.versionText = nullptr;
    g_plugin.appValue16 = 0;
    g_plugin.appValue14 = 0;

    ReleaseService("RND", &g_plugin.rnd);
    ReleaseService("FMG", &g_plugin.fmg);
    ReleaseService("DLL", &g_plugin.dll);
    ReleaseService("APP", &g_plugin.app);

    const bool memoryReleased = g_plugin.mem != nullptr;
    if (memoryReleased) g_plugin.mem->ReleaseOwner(g_plugin.ownerTagPointer);
    ReleaseService("MEM", &g_plugin.mem);
    ReleaseService("DBG", &g_plugin.dbg);
    g_plugin.shell = nullptr;

    if (memoryReleased) ResetEnvironmentSystemAfterExit();
}
