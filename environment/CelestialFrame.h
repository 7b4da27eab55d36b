// The rotations that carry the celestial sphere into the local sky, and the
// unit direction towards the sun. Rows are multiplied from the left: v' = v R.
#pragma once

namespace envsys {

struct CelestialFrame {
    float starRotation[9];
    float inclinationRotation[9];
    float latitudeRotation[9];
    float sunDirection[3];
};

} // namespace envsys
