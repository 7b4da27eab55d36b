#include "host/HostRandom.h"

#include <cmath>

namespace envhost {

float HostRandom::Random(float upperBound) {
    ++draws;
    const uint32_t bits = engine_();
    if (!(upperBound > 0.0f) || !std::isfinite(upperBound)) return 0.0f;
    // 24 random bits make every float fraction below 1 equally likely.
    const float fraction = static_cast<float>(bits >> 8) * (1.0f / 16777216.0f);
    const float value = fraction * upperBound;
    return value < upperBound ? value : std::nextafter(upperBound, 0.0f);
}

} // namespace envhost
