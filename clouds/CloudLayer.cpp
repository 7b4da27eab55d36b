#include "clouds/CloudLayer.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "config/IniFile.h"
#include "config/StringUtils.h"
#include "plugin/FrameContext.h"
#include "plugin/Log.h"
#include "plugin/PluginState.h"

namespace envsys {

namespace {

constexpr const char* kLayerSection = "CloudLayer";
constexpr int32_t kMeshFormat = 4; // nine floats a vertex: position, colour, uv
constexpr int16_t kBuiltMeshMode = 5;

// Tile sizes and draw offsets go to the host as floats: a value beyond the
// float range (or not a number) would arrive as an infinity or garbage.
bool FitsFloat(double v) { return v >= -FLT_MAX && v <= FLT_MAX; }

} // namespace

void CloudLayer::Load(IniFile& file) {
    LogMessage("...loading cloud layer...");

    // A reload replaces the materials and the tile grid that a present build
    // was made from, so that build is released and, once the new settings are
    // in, made again for the same weather: the host keeps its overcast
    // without having to call SetWeather again, and nothing is leaked.
    const bool rebuild = IsBuilt();
    ReleaseBuild();

    // The earlier patterns are freed rather than left behind: they belong to
    // this layer alone.
    StrFree(&topTexture);
    StrFree(&bottomTexture);
    topTexture = GetStringCopy(&file, kLayerSection, "TopTexture", 0);
    bottomTexture = GetStringCopy(&file, kLayerSection, "BottomTexture", 0);

    char material[kNameBufferSize];
    file.GetString(kLayerSection, "Material", "", material, sizeof material, 0);
    std::memset(&topMaterial, 0, sizeof topMaterial);
    if (GraphicsService* gfx = Gfx()) gfx->LoadMaterialRecord(&topMaterial, &file, material);
    std::memcpy(&bottomMaterial, &topMaterial, sizeof bottomMaterial);

    tileCount = file.GetInt(kLayerSection, "TileCount", 0);
    tileSize = file.GetFloat(kLayerSection, "TileSize", 1.0f);
    invTileSize = tileSize != 0.0 ? 1.0 / tileSize : 0.0;

    if (rebuild) Build(builtLevel, static_cast<float>(altitude));
}

int32_t CloudLayer::LoadLevelTexture(const char* pattern, int32_t weatherLevel) {
    // A missing or rejected pattern gives no name, and the host is not asked
    // for a texture without one. An accepted pattern that is not empty never
    // formats to an empty name: the level number is at least 1.
    if (StrIsEmpty(pattern)) return -1;
    char name[kNameBufferSize];
    if (!FormatIntegerPattern(name, sizeof name, pattern, 1, weatherLevel + 1)) return -1;
    return Gfx()->LoadTexture(name, 1, 1);
}

void CloudLayer::Build(int32_t weatherLevel, float layerAltitude) {
    altitude = layerAltitude;
    // Each build makes a fresh mesh and loads both textures again, so the
    // previous ones go back to the host first rather than piling up with
    // every weather change.
    ReleaseBuild();

    GraphicsService* gfx = Gfx();
    if (gfx == nullptr) return;
    const int32_t n = tileCount;
    if (n < 1 || n > kMaxTileCount) {
        LogMessage("Cloud layer TileCount %d is out of range (1 to %d)!", static_cast<int>(n),
                   static_cast<int>(kMaxTileCount));
        return;
    }
    const double t = tileSize;
    if (!(t > 0.0) || !FitsFloat(t)) {
        LogMessage("Cloud layer TileSize must be above 0!");
        return;
    }
    const int32_t level = weatherLevel < 0 ? 0 : (weatherLevel > 4 ? 4 : weatherLevel);

    HostMesh* created = gfx->CreateMesh(4 * n * n, 6 * n * n, kMeshFormat);
    if (created == nullptr) return;
    MeshRecord* out = nullptr;
    MeshRecord* data = created->GetMeshData(&out);
    if (data == nullptr) data = out;
    if (data == nullptr || data->vertices == nullptr || data->indices == nullptr) {
        gfx->ReleaseMesh(&created);
        return;
    }

    // Integer-valued half extent and squared fade radius; with one tile the
    // radius is 0 and the single tile is fully transparent.
    const double half = std::trunc(n * t * 0.5);
    const double rim = (n - 1) * t * 0.5;
    const double fadeRadius2 = std::trunc(rim * rim);
    const double k = fadeRadius2 > 0.0 ? 1.0 / fadeRadius2 : 0.0;

    Vertex* vertex = data->vertices;
    uint16_t* index = data->indices;
    int32_t tile = 0;
    for (int32_t i = 0; i < n; ++i) {
        const double x0 = std::trunc(i * t - half);
        for (int32_t j = 0; j < n; ++j, ++tile) {
            const double y0 = j * t - half;
            const double corners[4][4] = {
                {x0, y0 + t, 0.0, 0.0}, {x0 + t, y0 + t, 1.0, 0.0}, {x0, y0, 0.0, 1.0}, {x0 + t, y0, 1.0, 1.0}};
            for (const auto& c : corners) {
                double a = 0.0;
                if (k > 0.0) {
                    // At most 1: the squared distance and k are not negative.
                    a = 1.0 - (c[0] * c[0] + c[1] * c[1]) * k;
                    a = a < 0.0 ? 0.0 : a;
                }
                *vertex++ = Vertex{
                    static_cast<float>(c[0]), static_cast<float>(c[1]), 0.0f, 1.0f, 1.0f, 1.0f, static_cast<float>(a),
                    static_cast<float>(c[2]), static_cast<float>(c[3])};
            }
            const uint16_t b = static_cast<uint16_t>(4 * tile);
            const uint16_t tileIndices[6] = {b,
                                             static_cast<uint16_t>(b + 1),
                                             static_cast<uint16_t>(b + 2),
                                             static_cast<uint16_t>(b + 1),
                                             static_cast<uint16_t>(b + 3),
                                             static_cast<uint16_t>(b + 2)};
            std::memcpy(index, tileIndices, sizeof tileIndices);
            index += 6;
        }
    }

    bottomTextureHandle = LoadLevelTexture(bottomTexture, level);
    bottomMaterial.stages[0].textureHandle = bottomTextureHandle;
    topTextureHandle = LoadLevelTexture(topTexture, level);
    topMaterial.stages[0].textureHandle = topTextureHandle;

    created->Commit();
    data->mode = kBuiltMeshMode;
    mesh = created;
    meshData = data;
    builtLevel = level;
}

void CloudLayer::Draw() {
    // The mesh and its data are set together by Build.
    if (mesh == nullptr) return;
    const double* viewer = g_frame.viewerPosition;
    // Truncation towards zero, not floor: the grid snaps to whole tiles
    // towards the origin on both sides of it.
    const double ix = std::trunc(viewer[0] * invTileSize);
    const double iy = std::trunc(viewer[1] * invTileSize);
    const double offset[3] = {ix * tileSize - viewer[0], iy * tileSize - viewer[1], altitude - viewer[2]};
    if (!FitsFloat(offset[0]) || !FitsFloat(offset[1]) || !FitsFloat(offset[2])) return;
    const float o[3] = {static_cast<float>(offset[0]), static_cast<float>(offset[1]), static_cast<float>(offset[2])};
    meshData->material = viewer[2] >= altitude ? &topMaterial : &bottomMaterial;
    mesh->DrawRelative(o);
}

void CloudLayer::ReleaseTextures() {
    // Without GFX the host has taken its objects back already.
    GraphicsService* gfx = Gfx();
    if (topTextureHandle != -1) {
        if (gfx != nullptr) gfx->ReleaseTexture(topTextureHandle);
        topTextureHandle = -1;
        topMaterial.stages[0].textureHandle = -1;
    }
    if (bottomTextureHandle != -1) {
        if (gfx != nullptr) gfx->ReleaseTexture(bottomTextureHandle);
        bottomTextureHandle = -1;
        bottomMaterial.stages[0].textureHandle = -1;
    }
}

void CloudLayer::ReleaseMesh() {
    GraphicsService* gfx = Gfx();
    if (mesh != nullptr && gfx != nullptr) gfx->ReleaseMesh(&mesh);
    mesh = nullptr;
    meshData = nullptr;
}

void CloudLayer::ReleaseBuild() {
    ReleaseTextures();
    ReleaseMesh();
}

void CloudLayer::Release() {
    ReleaseTextures();
    StrFree(&topTexture);
    StrFree(&bottomTexture);
    ReleaseMesh();
}

} // namespace envsys
