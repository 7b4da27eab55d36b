// The overcast cloud layer: a flat square grid of textured tiles centred
// under the viewer and fading towards its rim, seen from above with the top
// material and from below with the bottom one. Built for overcast and
// inclement weather; while built, the lighting uses it for the transition
// band.
#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

namespace envsys {

class IniFile;

class CloudLayer {
public:
    char* topTexture = nullptr;    // printf pattern given the weather level + 1
    char* bottomTexture = nullptr; // likewise
    HostMesh* mesh = nullptr;
    MaterialRecord topMaterial{};
    MaterialRecord bottomMaterial{}; // a copy of topMaterial made at load
    int32_t tileCount = 0;           // tiles per side
    double tileSize = 0.0;           // edge of one tile
    double invTileSize = 0.0;
    double altitude = 0.0;

    // What the current build holds, so that it can be released or redone.
    MeshRecord* meshData = nullptr;
    int32_t topTextureHandle = -1;
    int32_t bottomTextureHandle = -1;
    int32_t builtLevel = 0;

    // 16-bit indices address at most 65536 vertices, four per tile.
    static constexpr int32_t kMaxTileCount = 128;

    void Load(IniFile& file);
    void Build(int32_t weatherLevel, float layerAltitude);
    bool IsBuilt() const { return mesh != nullptr; }
    void Draw();
    void Release();

private:
    void ReleaseTextures();
    void ReleaseMesh();
    void ReleaseBuild();
    int32_t LoadLevelTexture(const char* pattern, int32_t weatherLevel);
};

} // namespace envsys
