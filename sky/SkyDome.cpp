#include "sky/SkyDome.h"

#include <cmath>
#include <cstring>

#include "config/IniFile.h"
#include "config/StringUtils.h"
#include "environment/LightState.h"
#include "plugin/EnvironmentSystem.h"
#include "plugin/FrameContext.h"
#include "plugin/Log.h"
#include "plugin/Memory.h"
#include "plugin/PluginState.h"

namespace envsys {
namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kPanelDegrees = 45.0;
// Values the graphics service expects: the vertex format of CreateMesh and
// the mode a built mesh carries.
constexpr int32_t kMeshFormat = 4;
constexpr int16_t kBuiltMeshMode = 5;
constexpr int32_t kWeatherLevels = 5;

// Sine and cosine of column j of a panel. Column 0 repeats the previous
// panel's last column exactly, so neighbouring panels share bit-identical
// seam vertices.
void ColumnSinCos(int32_t panel, int32_t column, int32_t columns, float* s, float* c) {
    if (column == 0) {
        if (panel == 0) {
            *s = 0.0f;
            *c = 1.0f;
            return;
        }
        panel -= 1;
        column = columns;
    }
    const double theta = (panel + static_cast<double>(column) / columns) * kPanelDegrees * kDegreesToRadians;
    *s = static_cast<float>(std::sin(theta));
    *c = static_cast<float>(std::cos(theta));
}

void SetWhiteVertex(Vertex& v, float x, float y, float z, float u, float tv) {
    v.x = x;
    v.y = y;
    v.z = z;
    v.r = v.g = v.b = v.a = 1.0f;
    v.u = u;
    v.v = tv;
}

void SetColor(Vertex& v, const float* rgba) {
    v.r = rgba[0];
    v.g = rgba[1];
    v.b = rgba[2];
    v.a = rgba[3];
}

// The quad between two rings of one column, as two triangles whose diagonal
// alternates with the column's parity.
uint16_t* WriteBandQuad(uint16_t* out, int32_t a, int32_t b, int32_t c, int32_t d, bool even) {
    const int32_t even6[6] = {a, c, b, c, d, b};
    const int32_t odd6[6] = {a, c, d, a, d, b};
    const int32_t* tri = even ? even6 : odd6;
    for (int32_t i = 0; i < 6; ++i)
        *out++ = static_cast<uint16_t>(tri[i]);
    return out;
}

// The ring-1-to-ring-2 quad of a dome column: its diagonal runs the other way
// from the band quad above it.
uint16_t* WriteLowerQuad(uint16_t* out, int32_t c, int32_t d, int32_t e, int32_t f, bool even) {
    const int32_t even6[6] = {c, f, d, c, e, f};
    const int32_t odd6[6] = {c, e, d, e, f, d};
    const int32_t* tri = even ? even6 : odd6;
    for (int32_t i = 0; i < 6; ++i)
        *out++ = static_cast<uint16_t>(tri[i]);
    return out;
}

// A mesh whose vertex and index arrays can be written, or null: a mesh the
// service hands out without reachable arrays is given back at once.
HostMesh* CreateWritableMesh(GraphicsService* gfx, int32_t vertexCount, int32_t indexCount, MeshRecord** record) {
    HostMesh* mesh = gfx->CreateMesh(vertexCount, indexCount, kMeshFormat);
    if (mesh == nullptr) return nullptr;
    MeshRecord* data = nullptr;
    data = mesh->GetMeshData(&data);
    if (data == nullptr || data->vertices == nullptr || data->indices == nullptr) {
        gfx->ReleaseMesh(&mesh);
        return nullptr;
    }
    *record = data;
    return mesh;
}

void ReleaseMeshes(GraphicsService* gfx, HostMesh** meshes) {
    for (int32_t p = 0; p < SkyDome::kPanels; ++p) {
        if (meshes[p] != nullptr && gfx != nullptr) gfx->ReleaseMesh(&meshes[p]);
        meshes[p] = nullptr;
    }
}

Vertex* VerticesOf(HostMesh* mesh) {
    if (mesh == nullptr) return nullptr;
    MeshRecord* data = nullptr;
    data = mesh->GetMeshData(&data);
    return data != nullptr ? data->vertices : nullptr;
}

void DrawIfVisible(HostView* view, HostMesh* mesh, const float* origin) {
    if (mesh == nullptr) return;
    MeshRecord* data = nullptr;
    data = mesh->GetMeshData(&data);
    if (data == nullptr) return;
    if (view->IsMeshVisible(data->placement, origin) != 0) mesh->DrawAt(origin);
}

} // namespace

SkyDome::SkyDome()
    : skyDistance(0.0f), horizonVertexHeight(0.0f), panelHeight(0.0f), panelCount(0), ringVertexCount(0), upperMeshes{},
      lowerMeshes{}, bandMeshes{}, vertexDirections{}, skyMaterial{}, bandMaterials{}, origin{}, panelFlags{},
      bandTextureFormat(nullptr), bandTextures{}, bandMaterialTexture(-1) {
    for (int32_t p = 0; p < kPanels; ++p)
        bandTextures[p] = -1;
}

void SkyDome::Load(IniFile& file) {
    Release();
    LogMessage("...loading sky...");
    skyDistance = file.GetFloat("Sky", "SkyDistance", 80000.0f);
    panelHeight = file.GetFloat("Sky", "SkyPanelHeight", 10000.0f);
    horizonVertexHeight = file.GetFloat("Sky", "HorizonVertexHeight", 0.15f);
    panelCount = file.GetInt("Sky", "SkyPanelCount", kDefaultPanelCount);
    char name[kNameBufferSize];
    GraphicsService* gfx = Gfx();
    file.GetString("Sky", "SkyMaterial", "", name, kNameBufferSize, kCaseAsStored);
    std::memset(&skyMaterial, 0, sizeof skyMaterial);
    if (gfx != nullptr) gfx->LoadMaterialRecord(&skyMaterial, &file, name);
    file.GetString("Sky", "HorizonCloud", "", name, kNameBufferSize, kCaseAsStored);
    std::memset(&bandMaterials[0], 0, sizeof bandMaterials[0]);
    if (gfx != nullptr) gfx->LoadMaterialRecord(&bandMaterials[0], &file, name);
    for (int32_t p = 1; p < kPanels; ++p)
        bandMaterials[p] = bandMaterials[0];
    bandMaterialTexture = bandMaterials[0].stages[0].textureHandle;
    bandTextureFormat = GetStringCopy(&file, "Sky", "HorizonCloudTexture", kCaseAsStored);
    BuildDome();
}

HostMesh* SkyDome::BuildPanelMesh(int32_t panel, const float* heights, float apexZ, float apexV, int32_t capRing,
                                  MaterialRecord* material) {
    const int32_t n = panelCount;
    const int32_t w = ringVertexCount;
    MeshRecord* data = nullptr;
    HostMesh* mesh = CreateWritableMesh(Gfx(), 3 * w + 1, 15 * n, &data);
    if (mesh == nullptr) return nullptr;

    Vertex* v = data->vertices;
    for (int32_t j = 0; j <= n; ++j) {
        float s, c;
        ColumnSinCos(panel, j, n, &s, &c);
        const float u = static_cast<float>(j) / static_cast<float>(n);
        for (int32_t r = 0; r < 3; ++r)
            SetWhiteVertex(v[r * w + j], skyDistance * s, skyDistance * c, heights[r] * panelHeight, u,
                           1.0f - heights[r]);
    }
    SetWhiteVertex(v[3 * w], 0.0f, 0.0f, apexZ, 0.0f, apexV);

    uint16_t* out = data->indices;
    for (int32_t j = 0; j < n; ++j) {
        const bool even = (j % 2) == 0;
        out = WriteBandQuad(out, j, j + 1, w + j, w + j + 1, even);
        out = WriteLowerQuad(out, w + j, w + j + 1, 2 * w + j, 2 * w + j + 1, even);
    }
    const int32_t cap = capRing * w;
    for (int32_t j = 0; j < n; ++j) {
        *out++ = static_cast<uint16_t>(cap + j);
        *out++ = static_cast<uint16_t>(cap + j + 1);
        *out++ = static_cast<uint16_t>(3 * w);
    }

    data->material = material;
    mesh->Commit();
    data->mode = kBuiltMeshMode;
    return mesh;
}

void SkyDome::BuildDome() {
    // Too few columns make no panel and too many overflow the 16-bit
    // indices; an author's slip should still give a sky, so the default
    // count stands in.
    if (panelCount < 1 || panelCount > kMaxPanelCount) {
        LogMessage("SkyPanelCount %d is outside 1..%d, using %d!", static_cast<int>(panelCount),
                   static_cast<int>(kMaxPanelCount), static_cast<int>(kDefaultPanelCount));
        panelCount = kDefaultPanelCount;
    }
    GraphicsService* gfx = Gfx();
    if (gfx == nullptr) return;
    ReleaseMeshes(gfx, upperMeshes);
    ReleaseMeshes(gfx, lowerMeshes);
    ringVertexCount = panelCount + 1;
    const int32_t w = ringVertexCount;

    const float mid = (1.0f - horizonVertexHeight) * 0.5f + horizonVertexHeight;
    const float upperHeights[3] = {1.0f, mid, horizonVertexHeight};
    for (int32_t p = 0; p < kPanels; ++p) {
        upperMeshes[p] = BuildPanelMesh(p, upperHeights, skyDistance, 0.0f, 0, &skyMaterial);

        // Directions of the ring vertices, so that a colour update needs no
        // square root.
        MemFree(vertexDirections[p]);
        vertexDirections[p] = static_cast<float*>(MemAlloc(static_cast<uint32_t>(9 * w) * sizeof(float)));
        float* dir = vertexDirections[p];
        if (dir == nullptr) continue;
        for (int32_t j = 0; j <= panelCount; ++j) {
            float s, c;
            ColumnSinCos(p, j, panelCount, &s, &c);
            for (int32_t r = 0; r < 3; ++r) {
                float* d = dir + 3 * (r * w + j);
                d[0] = skyDistance * s;
                d[1] = skyDistance * c;
                d[2] = upperHeights[r] * panelHeight;
                const double length = std::sqrt(static_cast<double>(d[0]) * d[0] + static_cast<double>(d[1]) * d[1] +
                                                static_cast<double>(d[2]) * d[2]);
                if (length > 0.0) {
                    d[0] = static_cast<float>(d[0] / length);
                    d[1] = static_cast<float>(d[1] / length);
                    d[2] = static_cast<float>(d[2] / length);
                }
            }
        }
    }

    const float lowerHeights[3] = {horizonVertexHeight, 0.0f, -1.0f};
    for (int32_t p = 0; p < kPanels; ++p)
        lowerMeshes[p] = BuildPanelMesh(p, lowerHeights, -panelHeight, 1.0f, 2, &skyMaterial);
}

void SkyDome::ReleaseBand() {
    GraphicsService* gfx = Gfx();
    ReleaseMeshes(gfx, bandMeshes);
    for (int32_t p = 0; p < kPanels; ++p) {
        if (bandTextures[p] != -1 && gfx != nullptr) gfx->ReleaseTexture(bandTextures[p]);
        bandTextures[p] = -1;
        bandMaterials[p].stages[0].textureHandle = bandMaterialTexture;
    }
}

void SkyDome::BuildHorizonBand(int32_t weatherLevel) {
    // Each weather change replaces the band: the meshes and textures of the
    // previous one go back first, so changing the weather costs nothing.
    ReleaseBand();
    GraphicsService* gfx = Gfx();
    if (gfx == nullptr || ringVertexCount < 2) return;
    if (weatherLevel < 0) weatherLevel = 0;
    if (weatherLevel >= kWeatherLevels) weatherLevel = kWeatherLevels - 1;
    const int32_t n = panelCount;
    const int32_t w = ringVertexCount;

    // Without a usable HorizonCloudTexture the band is still built and shows
    // whatever texture its material definition names, so an author can give
    // one band texture for every weather.
    bool formatUsable = !StrIsEmpty(bandTextureFormat);
    for (int32_t p = 0; p < kPanels; ++p) {
        MeshRecord* data = nullptr;
        HostMesh* mesh = CreateWritableMesh(gfx, 2 * w, 6 * n, &data);
        if (mesh == nullptr) continue;
        Vertex* v = data->vertices;
        for (int32_t j = 0; j <= n; ++j) {
            float s, c;
            ColumnSinCos(p, j, n, &s, &c);
            const float u = static_cast<float>(j) / static_cast<float>(n);
            SetWhiteVertex(v[j], skyDistance * s, skyDistance * c, panelHeight, u, 0.0f);
            SetWhiteVertex(v[w + j], skyDistance * s, skyDistance * c, 0.0f, u, 1.0f);
        }
        uint16_t* out = data->indices;
        for (int32_t j = 0; j < n; ++j)
            out = WriteBandQuad(out, j, j + 1, w + j, w + j + 1, (j % 2) == 0);

        if (formatUsable) {
            char name[kNameBufferSize];
            // A rejected pattern is logged once and the remaining panels keep
            // the material's own texture.
            formatUsable = FormatIntegerPattern(name, kNameBufferSize, bandTextureFormat, 2, weatherLevel + 1, p + 1);
            if (formatUsable) {
                bandTextures[p] = gfx->LoadTexture(name, 1, 1);
                bandMaterials[p].stages[0].textureHandle = bandTextures[p];
            }
        }

        data->material = &bandMaterials[p];
        mesh->Commit();
        data->mode = kBuiltMeshMode;
        bandMeshes[p] = mesh;
    }
}

void SkyDome::UpdateColors() {
    const LightState* light = g_frame.light;
    if (light == nullptr || ringVertexCount < 2) return;
    const int32_t w = ringVertexCount;

    float ring[3][4];
    float glow[3][3];
    for (int32_t i = 0; i < 3; ++i) {
        ring[0][i] = light->skyColor[i];
        ring[1][i] = (light->skyColor[i] + light->horizonColor[i]) * 0.5f;
        ring[2][i] = light->horizonColor[i];
        glow[0][i] = g_frame.sunGlowColor[i];
        glow[2][i] = g_frame.horizonGlowColor[i];
        glow[1][i] = (glow[0][i] + glow[2][i]) * 0.5f;
    }
    ring[0][3] = ring[1][3] = ring[2][3] = 1.0f;
    const float fog[4] = {light->fogColor[0], light->fogColor[1], light->fogColor[2], 1.0f};
    const float band[4] = {light->horizonCloudColor[0], light->horizonCloudColor[1], light->horizonCloudColor[2],
                           1.0f - g_frame.cloudFadeFactor};
    const float* sun = g_frame.sunVector;
    const bool glowOn = g_frame.sunGlowEnabled != 0;

    for (int32_t p = 0; p < kPanels; ++p) {
        Vertex* upper = VerticesOf(upperMeshes[p]);
        Vertex* lower = VerticesOf(lowerMeshes[p]);
        const float* dir = glowOn ? vertexDirections[p] : nullptr;
        for (int32_t r = 0; r < 3; ++r) {
            for (int32_t j = 0; j < w; ++j) {
                const int32_t k = r * w + j;
                float color[4] = {ring[r][0], ring[r][1], ring[r][2], 1.0f};
                if (dir != nullptr) {
                    const float* d = dir + 3 * k;
                    const float t = sun[0] * d[0] + sun[1] * d[1] + sun[2] * d[2];
                    if (t > 0.0f)
                        for (int32_t i = 0; i < 3; ++i)
                            color[i] = t * glow[r][i] + (1.0f - t) * ring[r][i];
                }
                if (upper != nullptr) SetColor(upper[k], color);
                // The lower mesh's top ring repeats the upper horizon ring, so
                // the seam at the horizon never shows.
                if (r == 2 && lower != nullptr) SetColor(lower[j], color);
            }
        }
        if (upper != nullptr) SetColor(upper[3 * w], ring[0]);
        if (lower != nullptr)
            for (int32_t k = w; k <= 3 * w; ++k)
                SetColor(lower[k], fog);

        Vertex* bandVertices = VerticesOf(bandMeshes[p]);
        if (bandVertices != nullptr)
            for (int32_t k = 0; k < 2 * w; ++k)
                SetColor(bandVertices[k], band);
    }
}

void SkyDome::DrawUpper() {
    HostView* view = g_frame.currentView;
    const int32_t* flags = view != nullptr ? view->GetPanelFlags() : nullptr;
    for (int32_t p = 0; p < kPanels; ++p)
        panelFlags[p] = flags != nullptr ? flags[p] : 0;
    origin[0] = origin[1] = origin[2] = 0.0f;
    if (view == nullptr) return;
    for (int32_t p = 0; p < kPanels; ++p)
        if (panelFlags[p] != 0) DrawIfVisible(view, upperMeshes[p], origin);
}

void SkyDome::DrawLower() {
    HostView* view = g_frame.currentView;
    if (view == nullptr) return;
    const bool bandVisible = g_environmentSystem.horizonCloudsVisible != 0;
    for (int32_t p = 0; p < kPanels; ++p) {
        if (panelFlags[p] == 0) continue;
        DrawIfVisible(view, lowerMeshes[p], origin);
        if (bandVisible) DrawIfVisible(view, bandMeshes[p], origin);
    }
}

void SkyDome::Release() {
    // Only the textures this dome loaded are given back; a texture that the
    // band material's definition named belongs to the graphics service's
    // material loader, which is shared by all eight copies of the record.
    ReleaseBand();
    StrFree(&bandTextureFormat);
    GraphicsService* gfx = Gfx();
    ReleaseMeshes(gfx, upperMeshes);
    ReleaseMeshes(gfx, lowerMeshes);
    for (int32_t p = 0; p < kPanels; ++p) {
        MemFree(vertexDirections[p]);
        vertexDirections[p] = nullptr;
    }
    ringVertexCount = 0;
}

} // namespace envsys
