#include "host/HostParticles.h"

#include <algorithm>
#include <cmath>

#include "host/SoftwareRenderer.h"

namespace envhost {

int32_t HostParticles::CreateParticleSystem(const char* effectName) {
    if (effectName == nullptr || *effectName == '\0') return -1;
    systems.push_back(effectName);
    return static_cast<int32_t>(systems.size() - 1);
}

void HostParticles::EmitParticles(int32_t* emitter, int32_t system, const envsys::EmitterRecord* record, int32_t) {
    if (record == nullptr || system < 0 || system >= static_cast<int32_t>(systems.size())) return;
    if (emitter != nullptr && *emitter < 0) *emitter = emitters++;
    for (double p : record->position)
        if (!std::isfinite(p)) return;
    std::uniform_real_distribution<float> box(-1.0f, 1.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    // Fractions of a drop carry over as a chance, so slow frames still rain.
    const float wanted = dropsPerSecond * frameSeconds_;
    int count = static_cast<int>(wanted);
    if (unit(engine_) < wanted - count) ++count;
    for (int i = 0; i < count && drops_.size() < maxDrops; ++i) {
        Drop d;
        d.position[0] = record->position[0] + box(engine_) * spread;
        d.position[1] = record->position[1] + box(engine_) * spread;
        d.position[2] = record->position[2] + box(engine_) * spread * 0.6f;
        d.velocity[0] = wind[0] + box(engine_) * 0.4f;
        d.velocity[1] = wind[1] + box(engine_) * 0.4f;
        d.velocity[2] = -fallSpeed * (0.85f + 0.3f * unit(engine_));
        d.age = 0;
        drops_.push_back(d);
    }
}

void HostParticles::Update(float dt) {
    if (!(dt > 0)) return;
    for (Drop& d : drops_) {
        for (int i = 0; i < 3; ++i)
            d.position[i] += d.velocity[i] * dt;
        d.age += dt;
    }
    drops_.erase(std::remove_if(drops_.begin(), drops_.end(),
                                [&](const Drop& d) { return d.age > lifetime || d.position[2] < 0; }),
                 drops_.end());
}

void HostParticles::Draw(SoftwareRenderer& renderer, const double* eye) const {
    // Rain takes the ambient light's colour, a little brighter than the air.
    float rgba[4] = {0, 0, 0, 0.35f};
    for (int i = 0; i < 3; ++i)
        rgba[i] = std::min(1.0f, 0.25f + renderer.ambient[i] * 1.2f);
    const float streak = 0.07f; // seconds of fall one streak shows
    for (const Drop& d : drops_) {
        const Vec3 at{static_cast<float>(d.position[0] - eye[0]), static_cast<float>(d.position[1] - eye[1]),
                      static_cast<float>(d.position[2] - eye[2])};
        const Vec3 tail = at - Vec3{d.velocity[0], d.velocity[1], d.velocity[2]} * streak;
        renderer.DrawStreak(tail, at, rgba);
    }
}

} // namespace envhost
