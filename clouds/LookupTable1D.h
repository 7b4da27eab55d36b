// An evenly spaced table of floats over one float argument, read by linear
// interpolation, clamping or extrapolating along the end segments.
#pragma once

#include <cmath>
#include <cstdint>

namespace envsys {

struct LookupTable1D {
    int32_t count = 0;
    int32_t extrapolate = 1;
    float step = 0.0f;
    float invStep = 0.0f;
    float origin = 0.0f;
    float defaultValue = 0.0f;
    float* values = nullptr;

    // Replaces the contents; 1 on success, 0 (logged) when the block cannot be had.
    int32_t Init(int32_t n, float stepSize, float originValue, const float* entries);
    void Clear();
    float Lookup(float x) const;
};

// Inline: the atmosphere queries and the cloud tables read it per call.
inline float LookupTable1D::Lookup(float x) const {
    if (values == nullptr || count < 1) return defaultValue;
    if (count < 2) return values[0];
    const float d = x - origin;
    const float t = d * invStep;
    const float lastSegment = static_cast<float>(count - 1);
    if (extrapolate != 0) {
        // Below the table the first segment's line continues, at and beyond
        // its last entry the last segment's line: the interpolation with the
        // segment index held to 0..count-2 gives both, so one expression
        // serves every argument. (At index 0, i * step is a zero, which
        // leaves d unchanged: d is never zero below the table.) NaN holds at
        // 0 and stays NaN; the index is held while still a float, so no
        // argument converts out of range.
        const float low = t > 0.0f ? t : 0.0f;
        const float held = low < lastSegment - 1.0f ? low : lastSegment - 1.0f;
        const auto i = static_cast<int32_t>(held);
        return values[i] + ((d - static_cast<float>(i) * step) * (values[i + 1] - values[i])) * invStep;
    }
    // Inside the table the floor of t is its truncation, which needs no
    // call; floor(t) lies in [0, last) exactly when t does.
    if (t >= 0.0f && t < lastSegment) {
        const int32_t i = static_cast<int32_t>(t);
        return values[i] + ((d - static_cast<float>(i) * step) * (values[i + 1] - values[i])) * invStep;
    }
    // Outside, clamped to the end entries; NaN takes the first.
    return std::floor(t) >= 0.0f ? values[count - 1] : values[0];
}

} // namespace envsys
