// The textures of the default environment, drawn from noise and simple
// shapes: sky gradient, horizon-cloud bands for every weather level and
// panel, cloud-layer tops and bottoms, sun discs and twilight frames,
// flares, lens-flare shapes, the star sprite and reflection maps.
#pragma once

#include <string>
#include <vector>

#include "host/PngImage.h"

namespace envtools {

struct GeneratedTexture {
    std::string name; // file name below the textures folder
    envhost::PngImage image;
};

// Every texture of the default environment, in a fixed order.
std::vector<GeneratedTexture> GenerateDefaultTextures();

// Tileable fractal noise 0..1 at (x, y) with the given period in lattice
// cells along each axis.
float PeriodicNoise(float x, float y, int periodX, int periodY, int octaves, uint32_t seed);

} // namespace envtools
