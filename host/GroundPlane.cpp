#include "host/GroundPlane.h"

#include <algorithm>
#include <cmath>

#include "host/FogRamp.h"

namespace envhost {
namespace {

uint32_t Hash(int32_t x, int32_t y) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return h ^ (h >> 15);
}

// The host's ground: fields of a few crop colours, fading to their mean
// where a pixel covers many fields, and here and there a round pond. The
// result is the field colour and how much of the pixel is water.
float GroundAlbedo(float x, float y, float footprint, float* rgb) {
    static const float kFields[4][3] = {
        {0.16f, 0.25f, 0.10f}, {0.22f, 0.30f, 0.12f}, {0.32f, 0.29f, 0.16f}, {0.19f, 0.21f, 0.11f}};
    static const float kMean[3] = {0.22f, 0.26f, 0.12f};
    const float fieldSize = 350.0f;
    const float fx = x / fieldSize, fy = y / fieldSize;
    const int32_t cx = static_cast<int32_t>(std::floor(fx)), cy = static_cast<int32_t>(std::floor(fy));
    const uint32_t h = Hash(cx, cy);
    const float* c = kFields[h & 3];
    // Furrows: a stripe across each field in its own direction.
    const float stripe = (h & 4) ? fx - cx : fy - cy;
    const float shade = 0.92f + 0.08f * std::sin(stripe * 40.0f);
    const float blend = std::min(1.0f, footprint / 40.0f);
    for (int i = 0; i < 3; ++i)
        rgb[i] = c[i] * shade + (kMean[i] - c[i] * shade) * blend;
    // One field in thirteen holds a pond.
    if ((h >> 3) % 13 != 0) return 0.0f;
    const float dx = fx - cx - 0.5f, dy = fy - cy - 0.5f;
    const float edge = 0.3f - std::sqrt(dx * dx + dy * dy);
    return edge <= 0 ? 0.0f : std::min(1.0f, edge * 40.0f) * (1.0f - blend);
}

// Still water mirrors the sky: the sharp reflection map of the row the
// plug-in selected for the light level, at the reflected ray's elevation
// (the map's horizon is at half height), or the sky colour without maps.
void Reflect(const GroundView& g, float sinElevation, float* rgb) {
    if (g.map == nullptr) {
        for (int i = 0; i < 3; ++i)
            rgb[i] = g.sky[i] * 0.8f;
        return;
    }
    float texel[4];
    g.map->Sample(0.5f, 0.5f * (1.0f - sinElevation), 0, texel);
    // Half the map, half the colour of the air at the horizon, so that
    // ponds take on the dusk as well as the light level.
    for (int i = 0; i < 3; ++i)
        rgb[i] = texel[i] * 0.5f + g.fog[i] * 0.4f;
}

} // namespace

void DrawGroundRows(const GroundView& g, FrameBuffer& frame, int rowBegin, int rowEnd) {
    for (int y = std::max(0, rowBegin); y < std::min(frame.Height(), rowEnd); ++y) {
        const Vec3 row = g.forward + g.up * ((g.cy - (y + 0.5f)) / g.focal);
        for (int x = 0; x < frame.Width(); ++x) {
            const Vec3 ray = row + g.right * ((x + 0.5f - g.cx) / g.focal);
            if (ray.z >= -1e-5f) continue;
            const float t = g.eye / -ray.z; // the distance ahead, as the depth buffer holds it
            float& depth = frame.Depth(x, y);
            if (t > depth) continue;
            const float distance = t * std::sqrt(Dot(ray, ray));
            float albedo[3];
            const float water = GroundAlbedo((g.ox + ray.x * t) * g.scale, (g.oy + ray.y * t) * g.scale,
                                             distance / (g.focal * std::max(0.05f, -ray.z)) * g.scale, albedo);
            float mirror[3] = {0, 0, 0};
            if (water > 0) Reflect(g, -ray.z / std::sqrt(Dot(ray, ray)), mirror);
            const float k = FogRamp(distance, g.fogStart, g.fogEnd);
            float* c = frame.Color(x, y);
            for (int i = 0; i < 3; ++i) {
                float lit = std::min(1.0f, albedo[i] * g.light[i]);
                lit += (mirror[i] - lit) * water;
                c[i] = lit + (g.fog[i] - lit) * k;
            }
            depth = t;
        }
    }
}

} // namespace envhost
