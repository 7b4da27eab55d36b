// An evenly spaced table of floats over one float argument, read by linear
// interpolation, clamping or extrapolating along the end segments.
#pragma once

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

} // namespace envsys
