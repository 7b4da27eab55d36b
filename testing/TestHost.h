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

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "envsys/EnvironmentSystemInterface.h"
#include "envsys/Exports.h"
#include "envsys/HostServices.h"
#include "testing/AccountingMemory.h"
#include "testing/DiskFiles.h"
#include "testing/MemoryFiles.h"

namespace envsys {
namespace testing {

// Every service call, in order, as "TAG.Operation" with its numeric
// arguments and its text argument (if any).
struct Call {
    std::string name;
    std::vector<double> numbers;
    std::string text;
};

class CallLog {
public:
    void Add(std::string name, std::vector<double> numbers = {}, std::string text = {});
    int Count(const std::string& name) const;
    std::vector<Call> Named(const std::string& name) const;
    // Names of the calls whose name starts with prefix, in order.
    std::vector<std::string> Sequence(const std::string& prefix = "") const;
    const Call* Last(const std::string& name) const;
    void Clear() { calls.clear(); }
    bool enabled = true;
    std::vector<Call> calls;
};

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

class TestMesh final : public HostMesh {
public:
    TestMesh(CallLog& log, int32_t vertexCount, int32_t indexCount, int32_t format);
    MeshRecord* GetMeshData(MeshRecord** out) override;
    void Commit() override;
    void DrawRelative(const float* offset3) override;
    void DrawAt(const float* origin3) override;

    MeshRecord record{};
    std::vector<Vertex> vertices;
    std::vector<uint16_t> indices;
    int32_t format;
    int commits = 0;
    std::vector<std::array<float, 3>> drawsRelative;
    std::vector<std::array<float, 3>> drawsAt;
    std::vector<MaterialRecord*> drawMaterials; // material at each draw
    bool released = false;
    bool dataIsNull = false; // GetMeshData answers null

private:
    CallLog& log_;
};

class TestLight final : public HostLight {
public:
    explicit TestLight(CallLog& log) : log_(log) {}
    LightRecord* GetLightData(LightRecord** out) override;
    void Commit() override;
    LightRecord record{};
    int commits = 0;
    bool released = false;

private:
    CallLog& log_;
};

// A view onto a 640 x 480 viewport. Projection: a direction (x, y, z) with
// y > 0 maps to screen (320 + 320 x / y, 240 - 320 z / y); others are behind.
class TestView : public HostView {
public:
    explicit TestView(CallLog& log);
    ViewInfo* GetViewInfo(ViewInfo** out) override;
    void GetViewMatrix(float* m9) override;
    void ScreenExtent(float size, float* halfX, float* halfY) override;
    float ScreenScale(float size) override;
    float ScreenAspect() override;
    const int32_t* GetPanelFlags() override;
    void ProjectDirection(float* out3, const float* direction3) override;
    int32_t IsSunVisible(const float* projected3, int32_t size) override;
    int32_t IsPointVisible(const float* projected3) override;
    int32_t IsMeshVisible(const void* placement, const float* origin3) override;

    ViewInfo info{};
    float matrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::array<int32_t, 8> panelFlags{{1, 1, 1, 1, 1, 1, 1, 1}};
    float extentScale = 1.0f; // ScreenExtent and ScreenScale multiply by this
    float aspect = 640.0f / 480.0f;
    int32_t sunVisible = -1;   // -1: decided by the projection, else the answer
    int32_t pointVisible = -1; // likewise
    int32_t meshVisible = 1;

private:
    CallLog& log_;
};

// One screen-space quad as drawn: the pass it belongs to and its vertices.
struct DrawnQuad {
    MaterialRecord* material;
    int32_t mode;
    std::array<Vertex, 4> vertices;
};

class TestGraphics : public GraphicsService {
public:
    explicit TestGraphics(CallLog& log);
    ~TestGraphics();
    HostMesh* CreateMesh(int32_t vertexCount, int32_t indexCount, int32_t format) override;
    void ReleaseMesh(HostMesh** mesh) override;
    HostLight* CreateLight(int32_t kind) override;
    void ReleaseLight(HostLight** light) override;
    HostView* GetView() override;
    int32_t LoadTexture(const char* fileName, int32_t a, int32_t b) override;
    void ReleaseTexture(int32_t handle) override;
    int32_t LoadMaterialRecord(MaterialRecord* record, IniFile* file, const char* section) override;
    int32_t PrepareMaterial(MaterialRecord* record) override;
    void SetReflectionMaps(int32_t row, int32_t countPerRow, const int32_t* handles) override;
    void SetQuadMode(int32_t mode) override;
    void EndQuads() override;
    void SetQuadMaterial(MaterialRecord* record) override;
    void BeginQuads(int32_t flags) override;
    void DrawQuads(int32_t quadCount, const Vertex* vertices) override;
    void LoadingFinished(int32_t flag) override;
    void SetAmbientColor(const float* rgb) override;
    void SetSkyColor(const float* rgb) override;
    void LoadingFinishedLate(int32_t flag) override;
    void SetFogColor(const float* rgb) override;
    void SetFogRange(float start, float end) override;
    void SetSunLightEnabled(int32_t on) override;
    void SetSunLightLevel(float level) override;

    // Fills a material record from a section of the plug-in's open document.
    // Defaults to the project's own material reader.
    std::function<int32_t(MaterialRecord*, IniFile*, const char*)> materialLoader;

    TestView view;
    bool viewIsNull = false;                       // GetView answers null
    bool createMeshFails = false;                  // CreateMesh answers null
    bool meshDataIsNull = false;                   // meshes created from now on answer GetMeshData with null
    std::vector<std::unique_ptr<TestMesh>> meshes; // every mesh ever created
    std::vector<std::unique_ptr<TestLight>> lights;
    std::map<int32_t, std::string> textures;       // live handles and their names
    std::vector<std::string> texturesLoaded;       // every name, in order
    std::set<std::string> missingTextures;         // names that load as -1
    std::vector<DrawnQuad> quads;                  // every quad drawn
    std::vector<MaterialRecord> preparedMaterials; // copies of PrepareMaterial records
    int LiveMeshes() const;
    int LiveLights() const;

    // The values handed over most recently.
    float ambient[3] = {0, 0, 0};
    float sky[3] = {0, 0, 0};
    float fog[3] = {0, 0, 0};
    float fogRange[2] = {0, 0};
    int32_t sunLightEnabled = -1;
    float sunLightLevel = 0;

private:
    CallLog& log_;
    int32_t nextTexture_ = 100;
    MaterialRecord* quadMaterial_ = nullptr;
    int32_t quadMode_ = 0;
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

    // One frame in the host's order.
    void Frame(float dt);
    // A file served from memory and loaded as the Environment File.
    int32_t LoadText(const std::string& text, const std::string& name = "test.ini");

    void SetTime(int32_t hours, int32_t minutes = 0, int32_t seconds = 0);
    void SetDate(int32_t year, int32_t month, int32_t day);
    void SetWeather(int32_t level, float altitude = 1000.0f, float depth = 100.0f, float intensity = 0.0f);

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
    InitDllFunction init_ = nullptr;
    ExitDllFunction exit_ = nullptr;
    bool initialised_ = false;
};

} // namespace testing
} // namespace envsys
