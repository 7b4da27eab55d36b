// The stars of a binary star data file: each star's screen size and world
// direction follow the turning sky and the light, a slice of them per frame,
// and the visible ones are drawn as twinkling screen-space quads.
#pragma once

#include <cstdint>

#include "clouds/BlockArray.h"
#include "envsys/HostServices.h"

namespace envsys {

class IniFile;
struct CelestialFrame;

struct StarRecord {
    float size; // current screen size
    float magnitude;
    float rightAscension; // degrees
    float declination;    // degrees
    float direction[3];   // world direction, z up
    float color[4];
};

class StarField {
public:
    static constexpr int32_t kClassCount = 7; // O, B, A, F, G, K, M
    static constexpr uint32_t kRecordBytes = 16;

    void Load(IniFile& file);
    // Replaces the stars with those of a star data file; a file that cannot
    // be opened or whose count cannot be read leaves the previous stars.
    void LoadStarData(const char* fileName);
    void UpdateAll();
    void Update(float dt);
    void Draw();
    void Release();
    void RefreshStar(StarRecord& star) const;

    int32_t updateCursor = 0; // index of the last refreshed star
    float starsPerSecond = 0.0f;
    MaterialRecord starMaterial{};
    BlockArray<StarRecord> stars;

    float updateRate = 60.0f;
    float sizeFactor = 0.0f;
    float sizeDeviation = 0.0f;
    float minSize = 0.0f;
    float minHeight = 0.0f;
    float invMinHeight = 0.0f;
    float classColors[kClassCount][4] = {};
    Vertex quadBlock[4] = {};
};

} // namespace envsys
