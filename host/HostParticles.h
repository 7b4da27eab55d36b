// PTS: the host's particle service. Every effect name makes a system of
// falling streaks (rain); each emission call spawns drops around the
// emitter's position for the length of the current frame, and the host
// moves and draws them.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "envsys/HostServices.h"
#include "host/Camera.h"

namespace envhost {

class SoftwareRenderer;

class HostParticles : public envsys::ParticleService {
public:
    explicit HostParticles(uint32_t seed = 1) : engine_(seed) {}
    int32_t CreateParticleSystem(const char* effectName) override;
    void EmitParticles(int32_t* emitter, int32_t system, const envsys::EmitterRecord* record, int32_t zero) override;

    // Frame length the next emissions spawn for.
    void BeginFrame(float dt) { frameSeconds_ = dt > 0 ? dt : 0; }
    void Update(float dt);
    // Streaks relative to the viewer at eye.
    void Draw(SoftwareRenderer& renderer, const double* eye) const;
    void Clear() { drops_.clear(); }
    void Seed(uint32_t seed) { engine_.seed(seed); }

    struct Drop {
        double position[3];
        float velocity[3];
        float age;
    };
    const std::vector<Drop>& Drops() const { return drops_; }
    std::vector<std::string> systems;
    int32_t emitters = 0;

    // The wind the plug-in reports; new drops drift with it.
    float wind[3] = {0, 0, 0};
    float dropsPerSecond = 2500; // per emitter
    float spread = 18;           // half width of the spawn box
    float fallSpeed = 9;         // world units per second
    float lifetime = 3;          // seconds
    size_t maxDrops = 30000;

private:
    std::mt19937 engine_;
    std::vector<Drop> drops_;
    float frameSeconds_ = 0;
};

} // namespace envhost
