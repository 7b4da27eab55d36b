// A minimal EnvironmentSystem host: loads the module, hands InitDLL a shell
// with the least services that work (MEM, FMG, RND and a GFX that only
// counts what it is handed), loads the default environment, runs a day hour
// by hour and checks that nothing is left after Unload and ExitDLL.
//   minimal-host [MODULE [ENVIRONMENT_FOLDER]]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
using Module = HMODULE;
static Module OpenModule(const char* path) { return LoadLibraryA(path); }
static void* Symbol(Module m, const char* name) { return reinterpret_cast<void*>(GetProcAddress(m, name)); }
static void CloseModule(Module m) { FreeLibrary(m); }
#else
#include <dlfcn.h>
using Module = void*;
static Module OpenModule(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static void* Symbol(Module m, const char* name) { return dlsym(m, name); }
static void CloseModule(Module m) { dlclose(m); }
#endif

#include "envsys/EnvironmentSystemInterface.h"
#include "envsys/Exports.h"
#include "envsys/HostServices.h"

using namespace envsys;

// MEM: every block is accounted to the owner tag it was allocated under.
struct Memory final : MemoryService {
    std::map<void*, std::string> blocks;
    void* Allocate(uint32_t size, int32_t, int32_t, const char* tag) override {
        void* block = std::malloc(size != 0 ? size : 1);
        if (block != nullptr) blocks[block] = tag != nullptr ? tag : "";
        return block;
    }
    void Free(void* block) override {
        if (blocks.erase(block) != 0) std::free(block); // a block MEM never handed out is ignored
    }
    void ReleaseOwner(const char* tag) override {
        for (auto it = blocks.begin(); it != blocks.end();)
            it = it->second == (tag != nullptr ? tag : "") ? (std::free(it->first), blocks.erase(it)) : std::next(it);
    }
    size_t Left(const std::string& tag) const {
        return std::count_if(blocks.begin(), blocks.end(), [&](const auto& b) { return b.second == tag; });
    }
};

// FMG: the plug-in's names (".\textures\sky.png") below the environment's folder.
struct Files final : FileService {
    std::string root;
    std::vector<std::FILE*> open; // the handle is the index
    std::FILE* At(int32_t h) const { return h >= 0 && h < static_cast<int32_t>(open.size()) ? open[h] : nullptr; }
    std::string Real(const char* path) const {
        std::string name = path != nullptr ? path : "";
        std::replace(name.begin(), name.end(), '\\', '/');
        if (name.compare(0, 2, "./") == 0) name.erase(0, 2);
        return !name.empty() && name[0] == '/' ? name : root + "/" + name;
    }
    int32_t Open(const char* path, int32_t) override {
        std::FILE* file = std::fopen(Real(path).c_str(), "rb");
        if (file == nullptr) return -1;
        open.push_back(file);
        return static_cast<int32_t>(open.size() - 1);
    }
    void Close(int32_t h) override {
        if (At(h) != nullptr) std::fclose(open[h]), open[h] = nullptr;
    }
    int32_t Read(int32_t h, void* buffer, uint32_t n) override {
        return At(h) != nullptr ? static_cast<int32_t>(std::fread(buffer, 1, n, open[h])) : 0;
    }
    int32_t Exists(const char* path, int32_t) override {
        std::FILE* file = std::fopen(Real(path).c_str(), "rb");
        return file != nullptr && std::fclose(file) == 0;
    }
};

// RND: a seeded linear congruential generator, a float from 0 up to the bound.
struct Rng final : RandomService {
    uint32_t state = 2024;
    float Random(float bound) override { return bound * ((state = state * 1664525u + 1013904223u) >> 8) / 16777216.0f; }
};

struct Mesh final : HostMesh {
    MeshRecord record{};
    std::vector<Vertex> vertices;
    std::vector<uint16_t> indices;
    int& draws;
    Mesh(int32_t v, int32_t i, int& drawCount) : vertices(std::max(v, 0)), indices(std::max(i, 0)), draws(drawCount) {
        record.vertices = vertices.data();
        record.indices = indices.data();
    }
    MeshRecord* GetMeshData(MeshRecord** out) override { return out != nullptr ? (*out = &record) : &record; }
    void Commit() override {}
    void DrawRelative(const float*) override { ++draws; }
    void DrawAt(const float*) override { ++draws; }
};

struct Light final : HostLight {
    LightRecord record{};
    LightRecord* GetLightData(LightRecord** out) override { return out != nullptr ? (*out = &record) : &record; }
    void Commit() override {}
};

// A 640 x 480 view looking north, level: a direction (x, y, z) ahead maps to
// the screen point (320 + 320 x / y, 240 - 320 z / y).
struct View final : HostView {
    ViewInfo info{{}, 0, 0, 640, 480};
    float matrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    int32_t panels[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    ViewInfo* GetViewInfo(ViewInfo** out) override { return out != nullptr ? (*out = &info) : &info; }
    void GetViewMatrix(float* m) override { std::memcpy(m, matrix, sizeof matrix); }
    void ScreenExtent(float size, float* halfX, float* halfY) override { *halfX = *halfY = size; }
    float ScreenScale(float size) override { return size; }
    float ScreenAspect() override { return 640.0f / 480.0f; }
    const int32_t* GetPanelFlags() override { return panels; }
    void ProjectDirection(float* out, const float* d) override {
        const bool ahead = d[1] > 1e-6f;
        out[0] = ahead ? 320 + 320 * d[0] / d[1] : -1e6f;
        out[1] = 0;
        out[2] = ahead ? 240 - 320 * d[2] / d[1] : -1e6f;
    }
    int32_t IsSunVisible(const float* p, int32_t) override { return IsPointVisible(p); }
    int32_t IsPointVisible(const float* p) override { return p[0] >= 0 && p[0] < 640 && p[2] >= 0 && p[2] < 480; }
    int32_t IsMeshVisible(const void*, const float*) override { return 1; }
};

// GFX: hands out meshes, lights and the view, and counts the rest.
struct Graphics final : GraphicsService {
    std::map<HostMesh*, std::unique_ptr<Mesh>> meshes;
    std::map<HostLight*, std::unique_ptr<Light>> lights;
    View view;
    int meshDraws = 0, quads = 0, materials = 0, textures = 0, liveTextures = 0;
    float fog[2] = {0, 0};
    template <typename T, typename Base>
    static T* Keep(std::map<Base*, std::unique_ptr<T>>& all, T* object) {
        return (all[object] = std::unique_ptr<T>(object)).get();
    }
    HostMesh* CreateMesh(int32_t v, int32_t i, int32_t) override { return Keep(meshes, new Mesh(v, i, meshDraws)); }
    void ReleaseMesh(HostMesh** mesh) override { meshes.erase(*mesh), *mesh = nullptr; }
    HostLight* CreateLight(int32_t) override { return Keep(lights, new Light); }
    void ReleaseLight(HostLight** light) override { lights.erase(*light), *light = nullptr; }
    HostView* GetView() override { return &view; }
    int32_t LoadTexture(const char*, int32_t, int32_t) override { return ++liveTextures, ++textures; }
    void ReleaseTexture(int32_t) override { --liveTextures; }
    int32_t LoadMaterialRecord(MaterialRecord*, IniFile*, const char*) override { return ++materials; }
    int32_t PrepareMaterial(MaterialRecord*) override { return ++materials; }
    void SetReflectionMaps(int32_t, int32_t, const int32_t*) override {}
    void SetQuadMode(int32_t) override {}
    void EndQuads() override {}
    void SetQuadMaterial(MaterialRecord*) override {}
    void BeginQuads(int32_t) override {}
    void DrawQuads(int32_t count, const Vertex*) override { quads += count; }
    void LoadingFinished(int32_t) override {}
    void SetAmbientColor(const float*) override {}
    void SetSkyColor(const float*) override {}
    void LoadingFinishedLate(int32_t) override {}
    void SetFogColor(const float*) override {}
    void SetFogRange(float start, float end) override { fog[0] = start, fog[1] = end; }
    void SetSunLightEnabled(int32_t) override {}
    void SetSunLightLevel(float) override {}
};

// The application shell: services by tag (a tag not offered gets null), and
// the object the plug-in registers under "ENV".
struct Shell final : ApplicationShell {
    std::map<std::string, void*> services;
    EnvironmentSystemInterface* env = nullptr;
    int32_t Register(const char* name, EnvironmentSystemInterface* object, uint32_t) override {
        if (name != nullptr && std::strcmp(name, "ENV") == 0) env = object;
        return 1;
    }
    int32_t Unregister(const char*) override { return env = nullptr, 1; }
    int32_t Acquire(const char* tag, void** service) override {
        auto it = services.find(tag != nullptr ? tag : "");
        return (*service = it != services.end() ? it->second : nullptr) != nullptr;
    }
    int32_t Release(const char*, void** service) override { return *service = nullptr, 1; }
};

int main(int argc, char** argv) {
    const std::string modulePath = argc > 1 ? argv[1] : ENVSYS_MODULE_PATH;
    Module module = OpenModule(modulePath.c_str());
    auto init = module ? reinterpret_cast<InitDllFunction>(Symbol(module, "InitDLL")) : nullptr;
    auto exit = module ? reinterpret_cast<ExitDllFunction>(Symbol(module, "ExitDLL")) : nullptr;
    if (init == nullptr || exit == nullptr) {
        std::fprintf(stderr, "minimal-host: %s is no EnvironmentSystem module\n", modulePath.c_str());
        return 2;
    }
    Memory mem;
    Files files;
    files.root = argc > 2 ? argv[2] : ENVSYS_DATA_DIR;
    Rng rng;
    Graphics gfx;
    Shell shell; // APP, DLL, DBG, VMG (the viewer stays at the origin) and PTS are not offered
    shell.services = {{"MEM", static_cast<MemoryService*>(&mem)},
                      {"FMG", static_cast<FileService*>(&files)},
                      {"RND", static_cast<RandomService*>(&rng)},
                      {"GFX", static_cast<GraphicsService*>(&gfx)}};
    init(0, &shell);
    EnvironmentSystemInterface* env = shell.env;
    if (env == nullptr) return std::fprintf(stderr, "minimal-host: nothing registered as ENV\n"), 2;
    env->SetVisibility(1.0f); // the clear-weather fog ends at EndClear times this
    env->LoadEnvironment("environment.ini");
    const WeatherParams weather{0, 0, 1500.0f, 150.0f, 0, 0.0f}; // clear; the overcast layer 1500 up
    env->SetWeather(&weather);
    const CalendarDate date{2024, 6, 21};
    env->SetDate(&date);
    for (int hour = 0; hour < 24; ++hour) {
        const TimeOfDay time{hour, 0, 0, 0};
        env->SetTime(&time); // marks a recompute, which the next Update makes
        for (int frame = 0; frame < 3; ++frame) {
            env->Update(1.0f / 30.0f);
            env->PrepareFrame();
            env->DrawSky();
            env->DrawLensFlare();
        }
        float sun[3];
        env->GetSunDirection(sun);
        std::printf("%02d:00 sun %+.3f %+.3f %+.3f light %.3f fog %.0f..%.0f\n", hour, sun[0], sun[1], sun[2],
                    env->GetSunLightLevel(), gfx.fog[0], gfx.fog[1]);
    }
    std::printf("GFX: %d materials, %d textures, %d mesh draws, %d quads\n", gfx.materials, gfx.textures, gfx.meshDraws,
                gfx.quads);
    env->Unload(); // gives the meshes, the light and the textures back
    exit();
    CloseModule(module);
    const size_t blocks = mem.Left("ENV"), objects = gfx.meshes.size() + gfx.lights.size() + gfx.liveTextures;
    if (blocks == 0 && objects == 0)
        std::printf("ENV: nothing left\n");
    else
        std::printf("ENV: %zu blocks and %zu graphics objects left\n", blocks, objects);
    return blocks == 0 && objects == 0 ? 0 : 1;
}
