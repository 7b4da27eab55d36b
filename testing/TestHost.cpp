#include "testing/TestHost.h"

#include <algorithm>
#include <cmath>

#include "plugin/Log.h"

namespace envsys {
namespace testing {

namespace {

struct Opaque {
    int unused;
};
Opaque g_dllService;
Opaque g_debugService;

} // namespace

// --- MEM, FMG ----------------------------------------------------------------

void* TestMem::Allocate(uint32_t size, int32_t zero1, int32_t zero2, const char* ownerTag) {
    log_.Add("MEM.Allocate", {static_cast<double>(size), static_cast<double>(zero1), static_cast<double>(zero2)},
             ownerTag);
    return AccountingMemory::Allocate(size, zero1, zero2, ownerTag);
}

void TestMem::Free(void* block) {
    log_.Add("MEM.Free");
    AccountingMemory::Free(block);
}

void TestMem::ReleaseOwner(const char* ownerTag) {
    log_.Add("MEM.ReleaseOwner", {}, ownerTag);
    AccountingMemory::ReleaseOwner(ownerTag);
}

int32_t TestFiles::Open(const char* path, int32_t mode) {
    log_.Add("FMG.Open", {static_cast<double>(mode)}, path);
    return MemoryFiles::Open(path, mode);
}

void TestFiles::Close(int32_t handle) {
    log_.Add("FMG.Close", {static_cast<double>(handle)});
    MemoryFiles::Close(handle);
}

int32_t TestFiles::Read(int32_t handle, void* buffer, uint32_t byteCount) {
    log_.Add("FMG.Read", {static_cast<double>(handle), static_cast<double>(byteCount)});
    return MemoryFiles::Read(handle, buffer, byteCount);
}

int32_t TestFiles::Exists(const char* path, int32_t flags) {
    log_.Add("FMG.Exists", {static_cast<double>(flags)}, path);
    return MemoryFiles::Exists(path, flags);
}

// --- RND, APP ----------------------------------------------------------------

float TestRandom::Random(float upperBound) {
    log_.Add("RND.Random", {upperBound});
    float value = fallback;
    if (!script.empty()) {
        value = script.front();
        script.pop_front();
    }
    if (upperBound > 0.0f && value >= upperBound) value = std::nextafter(upperBound, 0.0f);
    return value;
}

uint32_t TestApp::Value14() {
    log_.Add("APP.Value14");
    return 14;
}

uint32_t TestApp::Value16() {
    log_.Add("APP.Value16");
    return 16;
}

// --- VMG, PTS ----------------------------------------------------------------

void TestViewer::GetViewerPosition(double* out3) {
    log_.Add("VMG.GetViewerPosition");
    std::copy(position, position + 3, out3);
}

void TestViewer::GetViewerMotion(float* out3) {
    log_.Add("VMG.GetViewerMotion");
    std::copy(motion, motion + 3, out3);
}

void TestViewer::GetViewOrientation(float* m9) {
    log_.Add("VMG.GetViewOrientation");
    std::copy(orientation, orientation + 9, m9);
}

int32_t TestParticles::CreateParticleSystem(const char* effectName) {
    log_.Add("PTS.CreateParticleSystem", {}, effectName);
    return effectName != nullptr && effectName[0] != '\0' ? systemHandle : -1;
}

void TestParticles::EmitParticles(int32_t* emitter, int32_t system, const EmitterRecord* record, int32_t zero) {
    log_.Add("PTS.EmitParticles", {emitter != nullptr ? static_cast<double>(*emitter) : -999.0,
                                   static_cast<double>(system), static_cast<double>(zero)});
    if (emitter != nullptr) {
        if (*emitter == -1) *emitter = nextEmitter_++;
        emitterHandlesSeen.push_back(*emitter);
    }
    if (record != nullptr) emitted.push_back(*record);
}

// --- Shell -------------------------------------------------------------------

int32_t TestShell::Register(const char* name, EnvironmentSystemInterface* object, uint32_t param) {
    log_.Add("Shell.Register", {static_cast<double>(param)}, name);
    registered[LoggedText(name)] = object;
    registeredParam = param;
    return 1;
}

int32_t TestShell::Unregister(const char* name) {
    log_.Add("Shell.Unregister", {}, name);
    registered.erase(LoggedText(name));
    return 1;
}

int32_t TestShell::Acquire(const char* tag, void** service) {
    log_.Add("Shell.Acquire", {}, tag);
    acquired.push_back(LoggedText(tag));
    if (service == nullptr) return 0;
    auto it = services.find(LoggedText(tag));
    *service = (it == services.end() || withheld.count(LoggedText(tag)) != 0) ? nullptr : it->second;
    return *service != nullptr ? 1 : 0;
}

int32_t TestShell::Release(const char* tag, void** service) {
    log_.Add("Shell.Release", {}, tag);
    released.push_back(LoggedText(tag));
    if (service != nullptr) *service = nullptr;
    return 1;
}

// --- Host --------------------------------------------------------------------

namespace {
void CaptureMessage(void* user, const char* text) { static_cast<TestHost*>(user)->messages.emplace_back(text); }
} // namespace

TestHost::TestHost() : mem(log), files(log), random(log), app(log), gfx(log), viewer(log), particles(log), shell(log) {
    shell.services["MEM"] = static_cast<MemoryService*>(&mem);
    shell.services["FMG"] = static_cast<FileService*>(&files);
    shell.services["RND"] = static_cast<RandomService*>(&random);
    shell.services["APP"] = static_cast<ApplicationService*>(&app);
    shell.services["DLL"] = &g_dllService;
    shell.services["DBG"] = &g_debugService;
    shell.services["GFX"] = static_cast<GraphicsService*>(&gfx);
    shell.services["VMG"] = static_cast<ViewerService*>(&viewer);
    shell.services["PTS"] = static_cast<ParticleService*>(&particles);
    // Checking every vertex costs as much as writing it: only a host whose
    // violations someone hears checks, so the fuzz targets and the
    // benchmarks pay nothing.
    gfx.checkFinite = onViolation != nullptr;
    SetLogSink(CaptureMessage, this);
}

TestHost::~TestHost() {
    if (initialised_) Exit();
    SetLogSink(nullptr, nullptr);
}

void TestHost::Init(uint32_t param, InitDllFunction init, ExitDllFunction exit) {
    init_ = init != nullptr ? init : &::InitDLL;
    exit_ = exit != nullptr ? exit : &::ExitDLL;
    init_(param, &shell);
    initialised_ = true;
}

void TestHost::Exit() {
    if (!initialised_) return;
    exit_();
    initialised_ = false;
    ReportViolations();
}

EnvironmentSystemInterface* TestHost::env() const {
    auto it = shell.registered.find("ENV");
    return it != shell.registered.end() ? it->second : nullptr;
}

void (*TestHost::onViolation)(const std::string& what) = nullptr;

void TestHost::Frame(float dt) {
    const int before = mem.allocations + mem.frees;
    EnvironmentSystemInterface* system = env();
    system->Update(dt);
    system->PrepareFrame();
    system->DrawSky();
    system->DrawLensFlare();
    if (framesAllocateNothing) frameAllocations += mem.allocations + mem.frees - before;
    // The first violation is reported at once; later ones are summed at Exit.
    if ((gfx.nonFinite > 0 && reportedNonFinite_ == 0) || (frameAllocations > 0 && reportedFrameAllocations_ == 0))
        ReportViolations();
}

void TestHost::ReportViolations() {
    if (onViolation != nullptr && gfx.nonFinite != reportedNonFinite_)
        onViolation(std::to_string(gfx.nonFinite - reportedNonFinite_) +
                    " graphics calls were handed a NaN or infinite value, the first in " +
                    (gfx.firstNonFinite != nullptr ? gfx.firstNonFinite : "?"));
    if (onViolation != nullptr && frameAllocations != reportedFrameAllocations_)
        onViolation(std::to_string(frameAllocations - reportedFrameAllocations_) +
                    " allocations or frees were made inside frames");
    reportedNonFinite_ = gfx.nonFinite;
    reportedFrameAllocations_ = frameAllocations;
}

int32_t TestHost::LoadText(const std::string& text, const std::string& name) {
    files.Add(name, text);
    return env()->LoadEnvironment(name.c_str());
}

void TestHost::SetTime(int32_t hours, int32_t minutes, int32_t seconds) {
    TimeOfDay time{hours, minutes, seconds, 0};
    env()->SetTime(&time);
}

void TestHost::SetDate(int32_t year, int32_t month, int32_t day) {
    CalendarDate date{year, month, day};
    env()->SetDate(&date);
}

void TestHost::SetWeather(int32_t level, float altitude, float depth, float intensity) {
    WeatherParams params{level, 0, altitude, depth, 0, intensity};
    env()->SetWeather(&params);
}

void TestHost::ForgetReleased() {
    auto& m = gfx.meshes;
    m.erase(std::remove_if(m.begin(), m.end(), [](const auto& mesh) { return mesh->released; }), m.end());
    auto& l = gfx.lights;
    l.erase(std::remove_if(l.begin(), l.end(), [](const auto& light) { return light->released; }), l.end());
    gfx.quads.clear();
    gfx.texturesLoaded.clear();
    gfx.preparedMaterials.clear();
    particles.emitted.clear();
    particles.emitterHandlesSeen.clear();
}

bool TestHost::Logged(const std::string& fragment) const {
    return std::any_of(messages.begin(), messages.end(),
                       [&](const std::string& m) { return m.find(fragment) != std::string::npos; });
}

} // namespace testing
} // namespace envsys
