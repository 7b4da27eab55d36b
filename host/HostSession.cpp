#include "host/HostSession.h"

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cmath>

#include "host/InstallLayout.h"

namespace envhost {

namespace {

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

HostSession::HostSession() : gfx(camera, files) {
    shell.Offer("MEM", static_cast<envsys::MemoryService*>(&mem));
    shell.Offer("FMG", static_cast<envsys::FileService*>(&files));
    shell.Offer("RND", static_cast<envsys::RandomService*>(&random));
    shell.Offer("APP", static_cast<envsys::ApplicationService*>(&app));
    shell.Offer("DLL", &dll_);
    shell.Offer("DBG", &dbg_);
    shell.Offer("GFX", static_cast<envsys::GraphicsService*>(&gfx));
    shell.Offer("VMG", static_cast<envsys::ViewerService*>(&camera));
    shell.Offer("PTS", static_cast<envsys::ParticleService*>(&particles));
}

HostSession::~HostSession() { Close(); }

std::string HostSession::ExecutableFolder() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return ".";
    buffer[n] = '\0';
    return FolderOf(buffer);
}

bool HostSession::Open(const SessionOptions& options, std::string* error) {
    Close();
    // The rain streaks draw from the seed too, so --seed gives the picture
    // the preview server draws for the same seed.
    random.Seed(options.seed);
    particles.Seed(options.seed);
    camera.SetViewport(options.width, options.height);
    gfx.SetThreads(options.threads);
    const std::string path = options.modulePath.empty() ? ModulePath(ExecutableFolder()) : options.modulePath;
    module_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module_ == nullptr) {
        if (error != nullptr) *error = "cannot load " + path + ": " + dlerror();
        return false;
    }
    init_ = reinterpret_cast<InitDllFunction>(dlsym(module_, "InitDLL"));
    exit_ = reinterpret_cast<ExitDllFunction>(dlsym(module_, "ExitDLL"));
    if (init_ == nullptr || exit_ == nullptr) {
        if (error != nullptr) *error = path + " does not export InitDLL and ExitDLL";
        dlclose(module_);
        module_ = nullptr;
        return false;
    }
    visibility_ = options.visibility;
    if (!Restart()) {
        if (error != nullptr) *error = path + " registered no ENV object";
        Close();
        return false;
    }
    if (!options.environmentPath.empty()) {
        // The plug-in names files relative to its working directory: the
        // Environment File's own folder.
        files.root = FolderOf(options.environmentPath);
        const size_t slash = options.environmentPath.find_last_of('/');
        const std::string name =
            slash == std::string::npos ? options.environmentPath : options.environmentPath.substr(slash + 1);
        if (files.Resolve(name.c_str()).empty()) {
            if (error != nullptr) *error = "no Environment File " + options.environmentPath;
            Close();
            return false;
        }
        env_->LoadEnvironment(name.c_str());
    }
    return true;
}

bool HostSession::Restart() {
    if (module_ == nullptr || init_ == nullptr) return false;
    // ExitDLL forgets the meshes, lights and textures the system holds
    // with GFX without giving them back; Unload does.
    if (env_ != nullptr) env_->Unload();
    if (initialised_) exit_();
    init_(0, &shell);
    initialised_ = true;
    env_ = shell.Registered("ENV");
    if (env_ != nullptr) env_->SetVisibility(visibility_);
    return env_ != nullptr;
}

void HostSession::Close() {
    if (initialised_ && exit_ != nullptr) exit_();
    initialised_ = false;
    env_ = nullptr;
    if (module_ != nullptr) {
        dlclose(module_);
        module_ = nullptr;
        leakReport = mem.LeakReport();
    }
    init_ = nullptr;
    exit_ = nullptr;
}

FrameTimes HostSession::Frame(float dt, bool draw) {
    FrameTimes t;
    if (env_ == nullptr) return t;
    using Clock = std::chrono::steady_clock;
    gfx.drawing = draw;
    particles.BeginFrame(dt);
    // The viewer moves before the model looks at it.
    for (int i = 0; i < 3; ++i)
        camera.position[i] += static_cast<double>(camera.motion[i]) * dt;
    const auto t0 = Clock::now();
    env_->Update(dt);
    gfx.BeginFrame();
    float wind[3] = {0, 0, 0};
    env_->GetWindVector(wind, 0);
    for (int i = 0; i < 3; ++i)
        particles.wind[i] = std::isfinite(wind[i]) ? wind[i] : 0.0f;
    const auto t1 = Clock::now();
    env_->PrepareFrame();
    const auto t2 = Clock::now();
    gfx.EndScenePhase();
    env_->DrawSky();
    const auto t3 = Clock::now();
    // The host's own scene comes between the sky and the lens flares.
    particles.Update(dt);
    gfx.DrawGround();
    gfx.DrawSceneMeshes();
    if (draw) particles.Draw(gfx, camera.position);
    const auto t4 = Clock::now();
    env_->DrawLensFlare();
    const auto t5 = Clock::now();
    t.update = Seconds(t0, t1);
    t.prepareFrame = Seconds(t1, t2);
    t.drawSky = Seconds(t2, t3);
    t.drawLensFlare = Seconds(t4, t5);
    if (draw) drawnFrames.push_back(t);
    gfx.drawing = true;
    return t;
}

SessionOptions DefaultEnvironmentOptions(const std::string& buildFolder, int width, int height, int threads) {
    SessionOptions options;
    options.modulePath = buildFolder + "/EnvironmentSystem.so";
    options.environmentPath = buildFolder + "/data/default/environment.ini";
    options.width = width;
    options.height = height;
    options.threads = threads;
    return options;
}

} // namespace envhost
