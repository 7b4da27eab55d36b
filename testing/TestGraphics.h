// GFX for tests: meshes, lights and a view that record what the plug-in
// hands them, and every call logged, so that a test can check what was
// drawn, with which material, and what was set.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "envsys/HostServices.h"
#include "testing/CallLog.h"

namespace envsys {
namespace testing {

class TestGraphics;

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
    bool dataIsNull = false;          // GetMeshData answers null
    TestGraphics* graphics = nullptr; // checks what is committed and drawn

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
    TestGraphics* graphics = nullptr;

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
    bool meshIndicesAreNull = false;               // ... or with a record that has no index array
    std::vector<std::unique_ptr<TestMesh>> meshes; // every mesh ever created
    std::vector<std::unique_ptr<TestLight>> lights;
    std::map<int32_t, std::string> textures;       // live handles and their names
    std::vector<std::string> texturesLoaded;       // every name, in order
    std::set<std::string> missingTextures;         // names that load as -1
    std::vector<DrawnQuad> quads;                  // every quad drawn
    std::vector<MaterialRecord> preparedMaterials; // copies of PrepareMaterial records
    int LiveMeshes() const;
    int LiveLights() const;

    // Nothing NaN or infinite may reach graphics: every float handed over
    // (colours, ranges, levels, quad vertices, committed mesh vertices and
    // light records, draw offsets) is checked, without allocating; the count
    // of bad calls and the first one's name are kept for the host to report.
    void CheckFinite(const char* call, const float* values, size_t count);
    bool checkFinite = true;
    int nonFinite = 0;
    const char* firstNonFinite = nullptr;

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

} // namespace testing
} // namespace envsys
