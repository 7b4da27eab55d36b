// RND: the host's random numbers, from a seeded generator so that a render
// can be repeated exactly (the star twinkle and the wind draw from it).
#pragma once

#include <cstdint>
#include <random>

#include "envsys/HostServices.h"

namespace envhost {

class HostRandom : public envsys::RandomService {
public:
    explicit HostRandom(uint32_t seed = 1) : engine_(seed) {}
    // A float from 0 up to, not including, the bound; 0 for a bound that is
    // not positive.
    float Random(float upperBound) override;
    void Seed(uint32_t seed) { engine_.seed(seed); }
    uint64_t draws = 0;

private:
    std::mt19937 engine_;
};

} // namespace envhost
