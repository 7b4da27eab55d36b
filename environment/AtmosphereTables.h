#pragma once

#include <cstdint>

#include "envsys/HostServices.h"

namespace envsys {

class IniFile;
struct CelestialFrame;

class AtmosphereTables {
public:
    void Build();
    void Clear();   // Unload: every table emptied
    void Destroy(); // destruction: entries freed, last table first
    float AirDensity(float altitude) const;
    float AirTemperature(float altitude) const;
    float SpeedOfSound(float altitude) const;
    float InverseSpeedOfSound(float altitude) const;
    float DensityRatioRoot(float altitude) const;
};

} // namespace envsys
