// A host for tests: the application shell and every service the plug-in
// acquires, each recording its calls with their arguments. Tests drive the
// whole system through it:
//
//   TestHost host;                 // services ready, nothing loaded
//   host.Init();                   // InitDLL with the host's shell
//   host.files.Add("env.ini", "[Sky]\nSkyPanelCount=4\n");
//   host.env()->LoadEnvironment("env.ini");
//   host.Frame(1.0f / 60.0f);      // Update, PrepareFrame, DrawSky, DrawLensFlare
//   EXPECT_EQ(host.log.Count("GFX.SetFogRange"), 1);
//   host.Exit();                   // ExitDLL
//
// By default the host calls the InitDLL/ExitDLL linked into the test
// binary; a host that loaded the module dynamically passes its own.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "envsys/EnvironmentSystemInterface.h"
#include "envsys/Exports.h"
#include "envsys/HostServices.h"
#include "testing/AccountingMemory.h"
#include "testing/CallLog.h"
#include "testing/DiskFiles.h"
#include "testing/MemoryFiles.h"
#include "testing/TestGraphics.h"

namespace envsys {
namespace testing {

// MEM and FMG as the library's accounting memory and files from memory
// (with the files on disk below disk.root behind them), every call logged.
class TestMem : public AccountingMemory {
public:
    explicit TestMem(CallLog& log) : log_(log) {}
    void* Allocate(uint32_t size, int32_t zero1, int32_t zero2, const char* ownerTag) override;
    void Free(void* block) override;
    void ReleaseOwner(const char* ownerTag) override;

private:
    CallLog& log_;
};

class TestFiles : public MemoryFiles {
public:
    explicit TestFiles(CallLog& log) : log_(log) { fallback = &disk; }
    int32_t Open(const char* path, int32_t mode) override;
    void Close(int32_t handle) override;
    int32_t Read(int32_t handle, void* buffer, uint32_t byteCount) override;
    int32_t Exists(const char* path, int32_t flags) override;

    DiskFiles disk; // names not added are looked up below disk.root

private:
    CallLog& log_;
};

class TestRandom : public RandomService {
public:
    explicit TestRandom(CallLog& log) : log_(log) {}
    // Returns the scripted values in order, then `fallback`; each result is
    // kept below the bound by clamping.
    float Random(float upperBound) override;
    std::deque<float> script;
    float fallback = 0.0f;

private:
    CallLog& log_;
};

class TestApp : public ApplicationService {
public:
    explicit TestApp(CallLog& log) : log_(log) {}
    uint32_t Value14() override;
    uint32_t Value16() override;

private:
    CallLog& log_;
};

class TestViewer : public ViewerService {
public:
    explicit TestViewer(CallLog& log) : log_(log) {}
    void GetViewerPosition(double* out3) override;
    void GetViewerMotion(float* out3) override;
    void GetViewOrientation(float* m9) override;
    double position[3] = {0, 0, 0};
    float motion[3] = {0, 0, 0};
    // Rows: right, up, forward; the default looks north (+y), level.
    float orientation[9] = {1, 0, 0, 0, 0, 1, 0, 1, 0};

private:
    CallLog& log_;
};

class TestParticles : public ParticleService {
public:
    explicit TestParticles(CallLog& log) : log_(log) {}
    int32_t CreateParticleSystem(const char* effectName) override;
    void EmitParticles(int32_t* emitter, int32_t system, const EmitterRecord* record, int32_t zero) override;
    int32_t systemHandle = 7; // handed out for a non-empty effect name
    std::vector<EmitterRecord> emitted;
    std::vector<int32_t> emitterHandlesSeen;

private:
    CallLog& log_;
    int32_t nextEmitter_ = 50;
};

class TestShell : public ApplicationShell {
public:
    explicit TestShell(CallLog& log) : log_(log) {}
    int32_t Register(const char* name, EnvironmentSystemInterface* object, uint32_t param) override;
    int32_t Unregister(const char* name) override;
    int32_t Acquire(const char* tag, void** service) override;
    int32_t Release(const char* tag, void** service) override;

    std::map<std::string, void*> services; // what Acquire hands out by tag
    std::set<std::string> withheld;        // tags answered with null
    std::map<std::string, EnvironmentSystemInterface*> registered;
    uint32_t registeredParam = 0;
    std::vector<std::string> acquired; // tags in acquire order
    std::vector<std::string> released; // tags in release order

private:
    CallLog& log_;
};

class TestHost {
public:
    TestHost();
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // InitDLL with this host's shell; the module's functions may be given.
    void Init(uint32_t param = 0x1234, InitDllFunction init = nullptr, ExitDllFunction exit = nullptr);
    // ExitDLL (also run by the destructor when Init ran and Exit did not).
    void Exit();
    EnvironmentSystemInterface* env() const;

    // One frame in the host's order. The plug-in's frames allocate and free
    // nothing once an environment is loaded: with framesAllocateNothing set
    // each frame that does is a violation, and so is anything non-finite
    // the graphics service was handed since the last frame.
    void Frame(float dt);
    bool framesAllocateNothing = true;
    int frameAllocations = 0; // allocations and frees made inside frames
    // Called with what broke a rule: at the first frame that broke it, and
    // at Exit with what broke it since; the tests install one that fails the running test. A host made
    // without one does not check values (gfx.checkFinite starts off) and
    // only counts frameAllocations.
    static void (*onViolation)(const std::string& what);
    // Reports what was recorded since the last report.
    void ReportViolations();
    // A file served from memory and loaded as the Environment File.
    int32_t LoadText(const std::string& text, const std::string& name = "test.ini");

    void SetTime(int32_t hours, int32_t minutes = 0, int32_t seconds = 0);
    void SetDate(int32_t year, int32_t month, int32_t day);
    void SetWeather(int32_t level, float altitude = 1000.0f, float depth = 100.0f, float intensity = 0.0f);

    // Drops the records of meshes and lights the plug-in has given back and
    // of what was drawn, so that a host living through many loads does not
    // pile them up.
    void ForgetReleased();

    // Messages of the plug-in's log while this host lives.
    std::vector<std::string> messages;
    bool Logged(const std::string& fragment) const;

    CallLog log;
    TestMem mem;
    TestFiles files;
    TestRandom random;
    TestApp app;
    TestGraphics gfx;
    TestViewer viewer;
    TestParticles particles;
    TestShell shell;

private:
    int reportedNonFinite_ = 0;
    int reportedFrameAllocations_ = 0;
    InitDllFunction init_ = nullptr;
    ExitDllFunction exit_ = nullptr;
    bool initialised_ = false;
};

} // namespace testing
} // namespace envsys
