#include "clouds/CloudSet.h"

#include <cstring>

#include "config/IniFile.h"
#include "plugin/Log.h"
#include "plugin/PluginState.h"

namespace envsys {

namespace {
constexpr const char* kCloudSection = "Clouds";
} // namespace

void CloudSet::Load(IniFile& file) {
    LogMessage("...loading clouds...");
    maxClouds = file.GetInt(kCloudSection, "MaxClouds", 16);
    maxCloudParticles = file.GetInt(kCloudSection, "MaxCloudParticles", 64);

    char section[kNameBufferSize];
    file.GetString(kCloudSection, "3DCloudMaterial", "", section, sizeof section, 0);
    std::memset(&material, 0, sizeof material);
    if (GraphicsService* gfx = Gfx()) gfx->LoadMaterialRecord(&material, &file, section);

    horizontalSize = file.GetFloat(kCloudSection, "3DCloudHorizontalSize", 0.0f);
    verticalSize = file.GetFloat(kCloudSection, "3DCloudVerticalSize", 0.0f);
    sizeDeviation = file.GetFloat(kCloudSection, "3DCloudSizeDeviation", 0.0f);
    particleDensity = file.GetFloat(kCloudSection, "3DCloudParticleDensity", 0.0f);
    GetColor(particleColor, &file, kCloudSection, "ParticleColor");
    particleSize = file.GetFloat(kCloudSection, "ParticleSize", 0.0f);
    particleSizeDeviation = file.GetFloat(kCloudSection, "ParticleSizeDeviation", 0.0f);
    GetColor(shadowColor, &file, kCloudSection, "ShadowColor");

    Allocate();
}

void CloudSet::Allocate() {
    Release();
    // Negative limits, or limits whose storage taken together could never be
    // addressed, are refused as one failed allocation: no clouds at all
    // rather than a block of clouds whose particle blocks fail one by one.
    const uint64_t bytes = maxClouds >= 0 && maxCloudParticles >= 0
                               ? static_cast<uint64_t>(maxClouds) *
                                     (sizeof(Cloud) + static_cast<uint64_t>(maxCloudParticles) * sizeof(CloudParticle))
                               : kMaxStorageBytes + 1;
    if (bytes > kMaxStorageBytes) {
        LogMessage("Unable to allocate block memory of size %d!", static_cast<int>(maxClouds));
        return;
    }
    if (!clouds.Allocate(maxClouds)) return;
    for (clouds.First(); Cloud* cloud = clouds.Current(); clouds.Next()) {
        if (cloud->particles.Allocate(maxCloudParticles)) cloud->particleCount = maxCloudParticles;
    }
}

void CloudSet::Release() {
    for (clouds.First(); Cloud* cloud = clouds.Current(); clouds.Next()) {
        cloud->particles.Free();
        cloud->particleCount = 0;
    }
    clouds.Free();
}

} // namespace envsys
