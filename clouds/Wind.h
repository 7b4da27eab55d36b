#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

namespace envsys {

class IniFile;
struct CelestialFrame;

class Wind {
public:
    void Load(IniFile& file);
    void Update(float dt);
    void SetWind(float directionRadians, float speed, float gustScale);
    float GetWindDirection() const;
    float* GetWindVector(float* out3) const;
    void Release();
};

} // namespace envsys
