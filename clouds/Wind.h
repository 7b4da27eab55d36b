// The wind: a base speed and direction, from the Environment File or set by
// the host, disturbed by any number of change generators that at their own
// interval and with their own chance pick random speed and direction offsets
// and move towards them at a fixed rate.
#pragma once

#include <cstdint>

#include "clouds/BlockArray.h"

namespace envsys {

class IniFile;

// One change generator; the first six fields come from the file, the last
// five are its running state and restart at 0 on every load.
struct WindChange {
    float changeTime;      // seconds between change attempts
    float changeChance;    // percent chance of a change per attempt
    float speedRate;       // speed offset change per second
    float speedAmount;     // largest speed offset, either sign
    float directionRate;   // direction offset change, degrees per second
    float directionAmount; // largest direction offset in degrees, either sign
    float timer;
    float speedOffset;
    float directionOffset;
    float targetSpeedOffset;
    float targetDirectionOffset;

    void Update(float dt);
};
static_assert(sizeof(WindChange) == 44, "WindChange is eleven floats");

class Wind {
public:
    float baseSpeed = 0.0f;
    float baseDirection = 0.0f; // degrees
    float speed = 0.0f;
    float direction = 0.0f; // degrees, 0..360
    float gustScale = 0.0f; // set only by SetWind
    float vector[3] = {0.0f, 0.0f, 0.0f};
    BlockArray<WindChange> changes;

    void Load(IniFile& file);
    void Update(float dt);
    // Host operations; the wind's angles cross the interface in radians.
    void SetWind(float directionRadians, float newSpeed, float newGustScale);
    float GetWindDirection() const;
    float* GetWindVector(float* out3) const;
    void Release();
};

} // namespace envsys
