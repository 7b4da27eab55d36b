// Five tables of the standard atmosphere by altitude, every 1500 m from sea
// level to 18000 m, read by linear interpolation and extrapolated beyond.
#pragma once

#include <cstdint>

#include "clouds/LookupTable1D.h"

namespace envsys {

class AtmosphereTables {
public:
    // Loading: every table is built afresh; one that cannot be allocated
    // stays empty (and reads 0) while the others are still built.
    void Build();
    void Clear();   // Unload: every table emptied
    void Destroy(); // destruction: entries freed, last table first
    float AirDensity(float altitude) const { return density.Lookup(altitude); }
    float AirTemperature(float altitude) const { return temperature.Lookup(altitude); }
    float SpeedOfSound(float altitude) const { return speedOfSound.Lookup(altitude); }
    float InverseSpeedOfSound(float altitude) const { return inverseSpeedOfSound.Lookup(altitude); }
    float DensityRatioRoot(float altitude) const { return densityRatioRoot.Lookup(altitude); }

    LookupTable1D density;             // kg/m3
    LookupTable1D temperature;         // K
    LookupTable1D speedOfSound;        // m/s
    LookupTable1D inverseSpeedOfSound; // s/m
    LookupTable1D densityRatioRoot;    // square root of density / sea-level density
};

} // namespace envsys
