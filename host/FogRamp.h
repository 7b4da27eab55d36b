// How much of the fog colour covers a point at a distance: none before
// start, all of it from end on, linear between.
#pragma once

namespace envhost {

inline float FogRamp(float distance, float start, float end) {
    if (!(end > start)) return distance >= end ? 1.0f : 0.0f;
    const float t = (distance - start) / (end - start);
    return t < 0 ? 0 : (t > 1 ? 1 : t);
}

} // namespace envhost
