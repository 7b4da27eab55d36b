// One run of the plug-in inside the reference host: the module loaded with
// dlopen, InitDLL called with the host's shell and services, an
// Environment File loaded, frames driven in the host order (Update,
// PrepareFrame, DrawSky, DrawLensFlare) and timed, and ExitDLL with a
// report of what the plug-in left behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "envsys/EnvironmentSystemInterface.h"
#include "envsys/Exports.h"
#include "host/Camera.h"
#include "host/HostParticles.h"
#include "host/HostRandom.h"
#include "host/HostShell.h"
#include "host/SoftwareRenderer.h"
#include "testing/AccountingMemory.h"
#include "testing/DiskFiles.h"

namespace envhost {

struct SessionOptions {
    std::string modulePath;      // empty: ModulePath() of the executable's folder
    std::string environmentPath; // empty: nothing is loaded
    uint32_t seed = 1;
    int width = 640;
    int height = 360;
    float visibility = 1.0f;
    int threads = 0; // threads drawing each frame; 0: one per hardware thread
};

// Seconds spent in each of the four per-frame operations.
struct FrameTimes {
    double update = 0;
    double prepareFrame = 0;
    double drawSky = 0;
    double drawLensFlare = 0;
};

class HostSession {
public:
    HostSession();
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    bool Open(const SessionOptions& options, std::string* error);
    // ExitDLL and unload; afterwards leakReport says what MEM still held.
    void Close();
    // A new life of the plug-in in the loaded module: ExitDLL, then InitDLL
    // again, as a host that starts its scene afresh does. Nothing is loaded
    // afterwards; false when no object registered.
    bool Restart();
    envsys::EnvironmentSystemInterface* env() const { return env_; }

    // One frame: the camera moves by its motion, then the four operations
    // run; a frame that does not draw runs the model only (warm-up).
    FrameTimes Frame(float dt, bool draw);
    PngImage Image() const { return gfx.Image(); }

    // The folder of the running executable.
    static std::string ExecutableFolder();

    envsys::testing::AccountingMemory mem;
    envsys::testing::DiskFiles files;
    HostRandom random;
    HostApp app;
    Camera camera;
    SoftwareRenderer gfx;
    HostParticles particles;
    HostShell shell;
    std::vector<FrameTimes> drawnFrames;
    std::string leakReport;

private:
    struct Opaque {
        int unused;
    };
    Opaque dll_{};
    Opaque dbg_{};
    void* module_ = nullptr;
    InitDllFunction init_ = nullptr;
    ExitDllFunction exit_ = nullptr;
    float visibility_ = 1.0f;
    envsys::EnvironmentSystemInterface* env_ = nullptr;
    bool initialised_ = false;
};

// Options for the module and the default environment a build folder holds
// (EnvironmentSystem.so and data/default/environment.ini), drawn at width
// x height by `threads` threads (0: one per hardware thread).
SessionOptions DefaultEnvironmentOptions(const std::string& buildFolder, int width = 640, int height = 360,
                                         int threads = 0);

} // namespace envhost
