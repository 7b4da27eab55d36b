#include "testing/TestGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "config/Material.h"

namespace envsys {
namespace testing {

// --- Meshes, lights, view ----------------------------------------------------

TestMesh::TestMesh(CallLog& log, int32_t vertexCount, int32_t indexCount, int32_t meshFormat)
    : vertices(static_cast<size_t>(std::max(vertexCount, 0))), indices(static_cast<size_t>(std::max(indexCount, 0))),
      format(meshFormat), log_(log) {
    // Fresh arrays hold garbage, so that a vertex the plug-in forgets shows.
    std::memset(static_cast<void*>(vertices.data()), 0xCD, vertices.size() * sizeof(Vertex));
    std::fill(indices.begin(), indices.end(), static_cast<uint16_t>(0xCDCD));
    record.vertices = vertices.data();
    record.indices = indices.data();
}

MeshRecord* TestMesh::GetMeshData(MeshRecord** out) {
    MeshRecord* data = dataIsNull ? nullptr : &record;
    if (out != nullptr) *out = data;
    return data;
}

void TestMesh::Commit() {
    log_.Add("Mesh.Commit");
    if (graphics != nullptr) graphics->CheckFinite("Mesh.Commit", &vertices.data()->x, 9 * vertices.size());
    ++commits;
}

void TestMesh::DrawRelative(const float* offset3) {
    log_.Add("Mesh.DrawRelative", {offset3[0], offset3[1], offset3[2]});
    if (graphics != nullptr) graphics->CheckFinite("Mesh.DrawRelative", offset3, 3);
    drawsRelative.push_back({offset3[0], offset3[1], offset3[2]});
    drawMaterials.push_back(record.material);
}

void TestMesh::DrawAt(const float* origin3) {
    log_.Add("Mesh.DrawAt", {origin3[0], origin3[1], origin3[2]});
    if (graphics != nullptr) graphics->CheckFinite("Mesh.DrawAt", origin3, 3);
    drawsAt.push_back({origin3[0], origin3[1], origin3[2]});
    drawMaterials.push_back(record.material);
}

LightRecord* TestLight::GetLightData(LightRecord** out) {
    if (out != nullptr) *out = &record;
    return &record;
}

void TestLight::Commit() {
    log_.Add("Light.Commit");
    if (graphics != nullptr) {
        graphics->CheckFinite("Light.Commit", record.diffuse, 3);
        graphics->CheckFinite("Light.Commit", record.direction, 3);
    }
    ++commits;
}

TestView::TestView(CallLog& log) : log_(log) {
    info.left = 0;
    info.top = 0;
    info.right = 640;
    info.bottom = 480;
}

ViewInfo* TestView::GetViewInfo(ViewInfo** out) {
    if (out != nullptr) *out = &info;
    return &info;
}

void TestView::GetViewMatrix(float* m9) { std::memcpy(m9, matrix, sizeof matrix); }

void TestView::ScreenExtent(float size, float* halfX, float* halfY) {
    *halfX = size * extentScale;
    *halfY = size * extentScale * aspect;
}

float TestView::ScreenScale(float size) { return size * extentScale; }

float TestView::ScreenAspect() { return aspect; }

const int32_t* TestView::GetPanelFlags() {
    log_.Add("View.GetPanelFlags");
    return panelFlags.data();
}

void TestView::ProjectDirection(float* out3, const float* direction3) {
    const float y = direction3[1];
    if (y > 1e-6f) {
        out3[0] = 320.0f + 320.0f * direction3[0] / y;
        out3[1] = 1.0f;
        out3[2] = 240.0f - 320.0f * direction3[2] / y;
    } else {
        out3[0] = -1e6f;
        out3[1] = -1.0f; // behind the viewer
        out3[2] = -1e6f;
    }
}

int32_t TestView::IsSunVisible(const float* projected3, int32_t size) {
    log_.Add("View.IsSunVisible", {projected3[0], projected3[2], static_cast<double>(size)});
    if (sunVisible >= 0) return sunVisible;
    return projected3[1] > 0.0f ? 1 : 0;
}

int32_t TestView::IsPointVisible(const float* projected3) {
    if (pointVisible >= 0) return pointVisible;
    return projected3[1] > 0.0f && projected3[0] >= 0.0f && projected3[0] <= 640.0f && projected3[2] >= 0.0f &&
                   projected3[2] <= 480.0f
               ? 1
               : 0;
}

int32_t TestView::IsMeshVisible(const void*, const float* origin3) {
    log_.Add("View.IsMeshVisible", {origin3[0], origin3[1], origin3[2]});
    return meshVisible;
}

// --- GFX ---------------------------------------------------------------------

TestGraphics::TestGraphics(CallLog& log) : view(log), log_(log) {
    materialLoader = [](MaterialRecord* record, IniFile* file, const char* section) -> int32_t {
        return LoadMaterial(record, file, section) ? 1 : 0;
    };
}

TestGraphics::~TestGraphics() = default;

HostMesh* TestGraphics::CreateMesh(int32_t vertexCount, int32_t indexCount, int32_t format) {
    log_.Add("GFX.CreateMesh",
             {static_cast<double>(vertexCount), static_cast<double>(indexCount), static_cast<double>(format)});
    if (createMeshFails) return nullptr;
    meshes.push_back(std::make_unique<TestMesh>(log_, vertexCount, indexCount, format));
    meshes.back()->dataIsNull = meshDataIsNull;
    if (meshIndicesAreNull) meshes.back()->record.indices = nullptr;
    meshes.back()->graphics = this;
    return meshes.back().get();
}

void TestGraphics::ReleaseMesh(HostMesh** mesh) {
    log_.Add("GFX.ReleaseMesh");
    if (mesh == nullptr || *mesh == nullptr) return;
    static_cast<TestMesh*>(*mesh)->released = true;
    *mesh = nullptr;
}

HostLight* TestGraphics::CreateLight(int32_t kind) {
    log_.Add("GFX.CreateLight", {static_cast<double>(kind)});
    lights.push_back(std::make_unique<TestLight>(log_));
    lights.back()->graphics = this;
    return lights.back().get();
}

void TestGraphics::ReleaseLight(HostLight** light) {
    log_.Add("GFX.ReleaseLight");
    if (light == nullptr || *light == nullptr) return;
    static_cast<TestLight*>(*light)->released = true;
    *light = nullptr;
}

HostView* TestGraphics::GetView() {
    log_.Add("GFX.GetView");
    return viewIsNull ? nullptr : &view;
}

int32_t TestGraphics::LoadTexture(const char* fileName, int32_t a, int32_t b) {
    log_.Add("GFX.LoadTexture", {static_cast<double>(a), static_cast<double>(b)}, fileName);
    texturesLoaded.push_back(LoggedText(fileName));
    if (fileName == nullptr || missingTextures.count(fileName) != 0) return -1;
    const int32_t handle = nextTexture_++;
    textures[handle] = fileName;
    return handle;
}

void TestGraphics::ReleaseTexture(int32_t handle) {
    log_.Add("GFX.ReleaseTexture", {static_cast<double>(handle)});
    textures.erase(handle);
}

int32_t TestGraphics::LoadMaterialRecord(MaterialRecord* record, IniFile* file, const char* section) {
    log_.Add("GFX.LoadMaterialRecord", {}, section);
    if (record == nullptr) return 0;
    return materialLoader ? materialLoader(record, file, section) : 0;
}

int32_t TestGraphics::PrepareMaterial(MaterialRecord* record) {
    log_.Add("GFX.PrepareMaterial", {}, record != nullptr ? std::string(record->stages[0].textureName) : "(null)");
    if (record != nullptr) preparedMaterials.push_back(*record);
    return 1;
}

void TestGraphics::SetReflectionMaps(int32_t row, int32_t countPerRow, const int32_t* handles) {
    std::vector<double> numbers{static_cast<double>(row), static_cast<double>(countPerRow)};
    for (int32_t i = 0; handles != nullptr && i < countPerRow; ++i)
        numbers.push_back(handles[i]);
    log_.Add("GFX.SetReflectionMaps", numbers);
}

void TestGraphics::SetQuadMode(int32_t mode) {
    log_.Add("GFX.SetQuadMode", {static_cast<double>(mode)});
    quadMode_ = mode;
}

void TestGraphics::EndQuads() { log_.Add("GFX.EndQuads"); }

void TestGraphics::SetQuadMaterial(MaterialRecord* record) {
    log_.Add("GFX.SetQuadMaterial");
    quadMaterial_ = record;
}

void TestGraphics::BeginQuads(int32_t flags) { log_.Add("GFX.BeginQuads", {static_cast<double>(flags)}); }

void TestGraphics::DrawQuads(int32_t quadCount, const Vertex* vertices) {
    log_.Add("GFX.DrawQuads", {static_cast<double>(quadCount)});
    if (quadCount > 0) CheckFinite("GFX.DrawQuads", &vertices->x, 9 * static_cast<size_t>(quadCount) * 4);
    for (int32_t q = 0; q < quadCount; ++q) {
        DrawnQuad quad{quadMaterial_, quadMode_, {}};
        std::copy(vertices + 4 * q, vertices + 4 * q + 4, quad.vertices.begin());
        quads.push_back(quad);
    }
}

void TestGraphics::LoadingFinished(int32_t flag) { log_.Add("GFX.LoadingFinished", {static_cast<double>(flag)}); }

void TestGraphics::SetAmbientColor(const float* rgb) {
    log_.Add("GFX.SetAmbientColor", {rgb[0], rgb[1], rgb[2]});
    CheckFinite("GFX.SetAmbientColor", rgb, 3);
    std::copy(rgb, rgb + 3, ambient);
}

void TestGraphics::SetSkyColor(const float* rgb) {
    log_.Add("GFX.SetSkyColor", {rgb[0], rgb[1], rgb[2]});
    CheckFinite("GFX.SetSkyColor", rgb, 3);
    std::copy(rgb, rgb + 3, sky);
}

void TestGraphics::LoadingFinishedLate(int32_t flag) {
    log_.Add("GFX.LoadingFinishedLate", {static_cast<double>(flag)});
}

void TestGraphics::SetFogColor(const float* rgb) {
    log_.Add("GFX.SetFogColor", {rgb[0], rgb[1], rgb[2]});
    CheckFinite("GFX.SetFogColor", rgb, 3);
    std::copy(rgb, rgb + 3, fog);
}

void TestGraphics::SetFogRange(float start, float end) {
    log_.Add("GFX.SetFogRange", {start, end});
    const float range[2] = {start, end};
    CheckFinite("GFX.SetFogRange", range, 2);
    fogRange[0] = start;
    fogRange[1] = end;
}

void TestGraphics::SetSunLightEnabled(int32_t on) {
    log_.Add("GFX.SetSunLightEnabled", {static_cast<double>(on)});
    sunLightEnabled = on;
}

void TestGraphics::SetSunLightLevel(float level) {
    log_.Add("GFX.SetSunLightLevel", {level});
    CheckFinite("GFX.SetSunLightLevel", &level, 1);
    sunLightLevel = level;
}

void TestGraphics::CheckFinite(const char* call, const float* values, size_t count) {
    if (!checkFinite || values == nullptr) return;
    for (size_t i = 0; i < count; ++i)
        if (!std::isfinite(values[i])) {
            if (nonFinite++ == 0) firstNonFinite = call;
            return;
        }
}

int TestGraphics::LiveMeshes() const {
    return static_cast<int>(std::count_if(meshes.begin(), meshes.end(), [](const auto& m) { return !m->released; }));
}

int TestGraphics::LiveLights() const {
    return static_cast<int>(std::count_if(lights.begin(), lights.end(), [](const auto& l) { return !l->released; }));
}

} // namespace testing
} // namespace envsys
