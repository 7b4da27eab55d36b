// The rotations that carry the celestial sphere into the local sky, and the
// unit direction towards the sun. Rows are multiplied from the left: v' = v R.
#pragma once

#include <cstdint>

namespace envsys {

struct CelestialFrame {
    float starRotation[9];
    float inclinationRotation[9];
    float latitudeRotation[9];
    float sunDirection[3];
};

// The rotations for a latitude and an axial inclination, in degrees.
void SetLatitudeRotation(CelestialFrame& frame, float degrees);
void SetInclinationRotation(CelestialFrame& frame, float degrees);
// The star rotation and the sun's direction for a day of the year and a
// time of day.
void ComputeSky(CelestialFrame& frame, int32_t dayOfYear, int32_t secondsOfDay);
// The unit direction of a point of the celestial sphere, in degrees.
void CelestialToWorld(const CelestialFrame& frame, float rightAscension, float declination, float* out3);

} // namespace envsys
