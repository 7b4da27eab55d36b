// The settings of 3D particle clouds from the Environment File and zero-filled
// storage for them: a block of clouds, each with its own block of particles,
// sized by the file's limits. Generating, moving and drawing the particles is
// left to whoever uses the storage.
#pragma once

#include <cstdint>

#include "clouds/BlockArray.h"
#include "envsys/Records.h"

namespace envsys {

class IniFile;

struct CloudParticle {
    uint8_t bytes[32];
};
static_assert(sizeof(CloudParticle) == 32, "a particle record is 32 bytes");

struct CloudHeader {
    int32_t particleCount; // records held by particles
    BlockArray<CloudParticle> particles;
};

// Only the header is ever set; the rest of the record stays zero.
struct Cloud : CloudHeader {
    uint8_t reserved[56 - sizeof(CloudHeader)];
};
static_assert(sizeof(Cloud) == 56, "a cloud record is 56 bytes");

class CloudSet {
public:
    int32_t maxClouds = 0;
    int32_t maxCloudParticles = 0;
    MaterialRecord material{};
    float horizontalSize = 0.0f;
    float verticalSize = 0.0f;
    float sizeDeviation = 0.0f;
    float particleDensity = 0.0f;
    float particleColor[3] = {0.0f, 0.0f, 0.0f};
    float particleSize = 0.0f;
    float particleSizeDeviation = 0.0f;
    float shadowColor[3] = {0.0f, 0.0f, 0.0f};
    BlockArray<Cloud> clouds;

    // The whole storage of one load is refused when it could not fit in a
    // 32-bit address space.
    static constexpr uint64_t kMaxStorageBytes = 0xFFFFFFFFull;

    void Load(IniFile& file);
    // Replaces the storage by maxClouds clouds of maxCloudParticles particles.
    void Allocate();
    void Release();
};

} // namespace envsys
