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
    // Inside the table the floor of t is its truncation, which needs no
    // call; floor(t) lies in [0, last) exactly when t does.
    if (t >= 0.0f && t < lastSegment) {
        const int32_t i = static_cast<int32_t>(t);
        return values[i] + ((d - static_cast<float>(i) * step) * (values[i + 1] - values[i])) * invStep;
    }
    // The index stays a float until it is known to be inside the table, so a
    // huge or NaN argument is never converted to an integer out of range.
    const float index = std::floor(t);
    if (extrapolate == 0) return index >= 0.0f ? values[count - 1] : values[0];
    if (index >= 0.0f) {
        const int32_t n = count;
        return values[n - 2] + ((d - static_cast<float>(n - 2) * step) * (values[n - 1] - values[n - 2])) * invStep;
    }
    // Below the first entry, and also a NaN argument, which stays NaN.
    return values[0] + (d * (values[1] - values[0])) * invStep;
}

} // namespace envsys
