// The sky around the viewer: eight panels of 45 degrees of azimuth, each an
// upper mesh (top of the sky down to the horizon ring), a lower mesh (horizon
// ring down below the ground) and, once a weather level is set, a textured
// horizon-cloud band. Geometry is built at load (the band at each weather
// change); a light change only rewrites the vertex colours in place.
#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

namespace envsys {

class IniFile;
struct CelestialFrame;

class SkyDome {
public:
    static constexpr int32_t kPanels = 8;
    static constexpr int32_t kDefaultPanelCount = 8;
    // The highest index of an upper or lower mesh is 3 * (N + 1), which must
    // fit a 16-bit index.
    static constexpr int32_t kMaxPanelCount = 65535 / 3 - 1;

    SkyDome();

    void Load(IniFile& file);
    void BuildDome();
    void BuildHorizonBand(int32_t weatherLevel);
    void UpdateColors();
    void DrawUpper();
    void DrawLower();
    void Release();

    float skyDistance;
    float horizonVertexHeight;
    float panelHeight;
    int32_t panelCount;      // N, columns per panel
    int32_t ringVertexCount; // W = N + 1
    HostMesh* upperMeshes[kPanels];
    HostMesh* lowerMeshes[kPanels];
    HostMesh* bandMeshes[kPanels];
    float* vertexDirections[kPanels]; // 3 * W unit vectors per panel
    MaterialRecord skyMaterial;
    MaterialRecord bandMaterials[kPanels];
    float origin[3];
    int32_t panelFlags[kPanels];
    char* bandTextureFormat;

    // Textures this dome loaded for the band (-1 for none), and the first
    // stage's handle the band material had from its definition.
    int32_t bandTextures[kPanels];
    int32_t bandMaterialTexture;

private:
    void ReleaseBand();
    HostMesh* BuildPanelMesh(int32_t panel, const float* heights, float apexZ, float apexV, int32_t capRing,
                             MaterialRecord* material);
};

} // namespace envsys
